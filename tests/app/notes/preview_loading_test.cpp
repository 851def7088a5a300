// The preview's library in the real window: the window starts with nothing of the web engine
// mapped, the first preview loads it and shows the note, and a library that cannot be loaded
// is told in a message while the note stays in the editor.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <memory>

#include "app/note_window.h"
#include "app/notes/tag_pane.h"
#include "app/widgets/message_box.h"
#include "editor/preview_loader.h"
#include "editor/preview_surface.h"
#include "editor/tag_bar.h"

namespace qm {

using testing::NoteWindow;
using testing::TempDir;

namespace {

// Whether the web engine's core library is mapped into this process.
bool WebEngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return true;  // unknown: let the check fail
    return maps.readAll().contains("libQt6WebEngineCore");
}

// The web view inside the preview, found by class name: this test links no web engine.
QObject* WebView(QWidget* preview) {
    for (QWidget* child : preview->findChildren<QWidget*>()) {
        if (child->inherits("QWebEngineView")) return child;
    }
    return nullptr;
}

}  // namespace

class PreviewLoadingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteWindow> w_;
    std::unique_ptr<TempDir> dir_;

    TagPane& tags() { return *w_->window().tags(); }
    QAction* previewButton() { return tags().bar()->button(TagBar::kPreviewButton); }

    // Presses the preview button with the library at `path`, which cannot be loaded; checks
    // the message names the file and the editor keeps the note.
    void checkLoadFailure(const QString& path, const QString& reason) {
        PreviewLoader::setLibraryPath(path);
        w_->type(QStringLiteral("<p>仍在编辑</p>"));
        previewButton()->trigger();

        QVERIFY(tags().preview() == nullptr);
        QVERIFY(!tags().previewShown());
        QVERIFY(!previewButton()->isChecked());
        QVERIFY(w_->editor().isVisible());
        QCOMPARE(w_->shown(), QStringLiteral("<p>仍在编辑</p>"));
        QCOMPARE(MessageBox::shown().size(), 1);
        const MessageBox::Record& box = MessageBox::shown().first();
        QCOMPARE(box.kind, MessageBox::Kind::kWarning);
        QVERIFY2(box.text.startsWith(QStringLiteral("无法打开网页预览")), qPrintable(box.text));
        QVERIFY2(box.text.contains(path), qPrintable(box.text));
        QVERIFY2(box.text.contains(reason), qPrintable(box.text));
        QVERIFY(!WebEngineMapped());
    }

private slots:
    void initTestCase() { MessageBox::setAnswerInAdvance(true); }
    void init() {
        dir_ = std::make_unique<TempDir>();
        MessageBox::clearShown();
        w_ = std::make_unique<NoteWindow>();
        w_->writeNotebook(2);
        w_->start();
        QVERIFY(QTest::qWaitForWindowExposed(&w_->window()));
        w_->click(1);
    }
    void cleanup() {
        w_.reset();
        PreviewLoader::setLibraryPath({});
    }

    void libraryIsLookedForBesideTheProgramFirst() {
        const QStringList places = PreviewLoader::candidates();
        QVERIFY(!places.isEmpty());
        QCOMPARE(places.first(), QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QLatin1String(kPreviewLibraryFile)));
        PreviewLoader::setLibraryPath(QStringLiteral("/elsewhere/libcorvanel_preview.so"));
        QCOMPARE(PreviewLoader::candidates(),
                 QStringList{QStringLiteral("/elsewhere/libcorvanel_preview.so")});
    }

    // The failures run first: once loaded, the library stays for the rest of the process.
    void missingLibraryIsToldAndTheEditorStays() {
        checkLoadFailure(QString::fromStdString(dir_->File("libcorvanel_preview.so")),
                         QStringLiteral("No such file"));
    }

    void brokenLibraryIsToldAndALaterPressTriesAgain() {
        const QString path = QString::fromStdString(dir_->File("libcorvanel_preview.so"));
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a library");
        broken.close();
        checkLoadFailure(path, path);
        // Pressed again, the same failure is told again: nothing is left half made.
        previewButton()->trigger();
        QCOMPARE(MessageBox::shown().size(), 2);
        QVERIFY(w_->editor().isVisible());
    }

    void startMapsNoWebEngineAndTheFirstPreviewLoadsIt() {
        QVERIFY(!WebEngineMapped());
        w_->type(
            QStringLiteral("<html><head><title>预览的笔记</title></head>"
                           "<body><p>正文</p></body></html>"));
        previewButton()->trigger();

        QVERIFY(MessageBox::shown().isEmpty());
        QVERIFY(WebEngineMapped());
        QVERIFY(tags().previewShown());
        QVERIFY(tags().preview()->started());
        QVERIFY(!w_->editor().isVisible());
        QSignalSpy loaded(tags().preview(), &PreviewSurface::pageLoaded);
        QVERIFY(loaded.wait(60000));
        QCOMPARE(loaded.first().first().toBool(), true);
        // The page's title comes from the note's text.
        QObject* view = WebView(tags().preview());
        QVERIFY(view != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(view->property("title").toString(), QStringLiteral("预览的笔记"),
                                  20000);

        previewButton()->trigger();
        QVERIFY(!tags().previewShown());
        QVERIFY(w_->editor().isVisible());
    }
};

}  // namespace qm

// As the program's main: nothing of the preview is prepared before the application exists.
int main(int argc, char** argv) {
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    qm::PreviewLoadingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "preview_loading_test.moc"
