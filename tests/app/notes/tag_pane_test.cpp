// The tag bar and the preview in the real window: button 9 and its bar, the preview laid over
// the editor taking the keys, and the snapshot refreshed on note load, "粘贴" and "清空" only.
#include "app/notes/tag_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QWebEngineView>
#include <memory>
#include <optional>

#include "app/frame/main_tool_bar.h"
#include "app/note_window.h"
#include "app/notes/editor_pane.h"
#include "editor/preview/note_preview.h"
#include "editor/preview/preview_scheme.h"
#include "editor/tag_bar.h"

namespace qm {

using testing::NoteWindow;

class TagPaneTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NoteWindow> w_;

    TagPane& tags() { return *w_->window().tags(); }
    // The preview made by the loader is the web engine's one, from the library this test links.
    NotePreview* preview() { return static_cast<NotePreview*>(tags().preview()); }
    // The page shown now, as text.
    QString pageText() {
        // The answer may come after a timeout: it must not land in this frame.
        auto answer = std::make_shared<std::optional<QString>>();
        preview()->view()->page()->runJavaScript(
            QStringLiteral("document.body ? document.body.innerText : ''"),
            [answer](const QVariant& value) { *answer = value.toString(); });
        if (!QTest::qWaitFor([answer] { return answer->has_value(); }, 20000)) {
            return QStringLiteral("<timeout>");
        }
        return **answer;
    }
    // Waits until the page shows `text` (a snapshot loads asynchronously).
    bool pageShows(const QString& text) {
        return QTest::qWaitFor([&] { return pageText() == text; }, 30000);
    }

private slots:
    void init() {
        w_ = std::make_unique<NoteWindow>();
        w_->writeNotebook(2);
        w_->start();
        QVERIFY(QTest::qWaitForWindowExposed(&w_->window()));
        w_->click(1);
    }
    void cleanup() { w_.reset(); }

    void tagButtonShowsBarAndIsRemembered() {
        QAction* button = w_->window().toolBar()->button(TagPane::kTagButton);
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), QStringLiteral("标签"));
        QCOMPARE(button->toolTip(), QStringLiteral("标签代码工具条"));
        QVERIFY(!tags().bar()->isVisible());
        QVERIFY(w_->window().toggleToolBar(TagPane::kTagButton, true));
        QVERIFY(tags().bar()->isVisible());
        QVERIFY(w_->settingsHold(QStringLiteral("工具条显示.9=真")));
        // The bar sits above the editor area.
        QVERIFY(tags().bar()->geometry().bottom() < w_->window().editorArea()->geometry().top());
        QVERIFY(w_->window().toggleToolBar(TagPane::kTagButton, false));
        QVERIFY(!tags().bar()->isVisible());
    }

    void barInsertsIntoTheWindowsEditor() {
        w_->type(QStringLiteral("abc"));
        w_->editor().selectAll();
        tags().bar()->button(2)->trigger();
        QCOMPARE(w_->shown(), QStringLiteral("<b>abc</b>"));
    }

    void previewCoversEditorAndTakesTheKeys() {
        QVERIFY(tags().preview() == nullptr);  // nothing of the browser before the first use
        w_->type(QStringLiteral("<p>预览</p>"));
        tags().bar()->button(TagBar::kPreviewButton)->trigger();
        QVERIFY(tags().previewShown());
        QVERIFY(tags().bar()->button(TagBar::kPreviewButton)->isChecked());
        QCOMPARE(tags().preview()->geometry(), w_->window().editorArea()->rect());
        QVERIFY(pageShows(QStringLiteral("预览")));

        QVERIFY(!w_->editor().isVisible());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus == nullptr || !w_->editor().isAncestorOf(focus));
        QTest::keyClicks(&w_->window(), QStringLiteral("xyz"));
        if (focus != nullptr) QTest::keyClicks(focus, QStringLiteral("xyz"));
        QCOMPARE(w_->shown(), QStringLiteral("<p>预览</p>"));

        tags().bar()->button(TagBar::kPreviewButton)->trigger();
        QVERIFY(!tags().previewShown());
        QVERIFY(w_->editor().isVisible());
    }

    void snapshotFollowsLoadPasteAndClearOnly() {
        w_->type(QStringLiteral("第一"));
        tags().setPreviewShown(true);
        QVERIFY(pageShows(QStringLiteral("第一")));

        // An edit is not followed until the preview is toggled.
        w_->type(QStringLiteral("改过"));
        QTest::qWait(300);
        QCOMPARE(pageText(), QStringLiteral("第一"));

        QApplication::clipboard()->setText(QStringLiteral("粘贴的"));
        w_->window().toolBar()->button(EditorPane::kPasteButton)->trigger();
        QVERIFY(pageShows(QStringLiteral("粘贴的")));

        w_->window().toolBar()->button(EditorPane::kClearButton)->trigger();
        QVERIFY(pageShows(QString()));

        w_->notebook().SetField(2, 7, ToGb(QStringLiteral("另一篇")));
        w_->click(2);
        QVERIFY(pageShows(QStringLiteral("另一篇")));
        QVERIFY(!w_->editor().isVisible());  // still the preview on top
    }
};

}  // namespace qm

int main(int argc, char** argv) {
    qm::PrepareWebPreview();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    qm::TagPaneTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tag_pane_test.moc"
