// The preview rendering real pages headless: Chinese text under either declared charset, a
// page larger than setHtml takes, and pages that reach for local files, the network, windows
// and dialogs.
#include "editor/preview/note_preview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>
#include <memory>
#include <optional>

#include "common/charset.h"
#include "editor/preview/preview_guard.h"
#include "editor/preview/preview_scheme.h"

namespace qm {

class NotePreviewTest : public QObject {
    Q_OBJECT

private:
    // Shows a UTF-8 literal (as the note's GB18030 text) and waits for the page.
    bool show(const QString& html) {
        QSignalSpy loaded(preview_, &NotePreview::pageLoaded);
        preview_->showText(Utf8ToGb18030(html.toStdString()));
        if (!loaded.wait(60000)) return false;
        return loaded.first().first().toBool();
    }
    QVariant eval(const QString& script) {
        // The answer may come after a timeout: it must not land in this frame.
        auto answer = std::make_shared<std::optional<QVariant>>();
        preview_->view()->page()->runJavaScript(
            script, [answer](const QVariant& value) { *answer = value; });
        if (!QTest::qWaitFor([answer] { return answer->has_value(); }, 20000)) {
            return QStringLiteral("<timeout>");
        }
        return **answer;
    }

    QWidget* host_ = nullptr;
    NotePreview* preview_ = nullptr;

private slots:
    void initTestCase() {
        host_ = new QWidget;
        host_->resize(640, 480);
        preview_ = new NotePreview(host_);
        host_->show();
        QVERIFY(!preview_->started());
        QVERIFY(!preview_->isVisible());
    }
    void cleanupTestCase() { delete host_; }

    void rendersChineseUnderDeclaredCharset_data() {
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("charset");
        QTest::newRow("gbk") << QStringLiteral("<meta charset=\"gbk\">")
                             << QStringLiteral("gb18030");
        QTest::newRow("gb2312 http-equiv")
            << QStringLiteral(
                   "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                   "charset=gb2312\">")
            << QStringLiteral("gb18030");
        QTest::newRow("utf-8") << QStringLiteral("<meta charset=\"utf-8\">")
                               << QStringLiteral("utf-8");
        QTest::newRow("none") << QString() << QStringLiteral("utf-8");
    }
    void rendersChineseUnderDeclaredCharset() {
        QFETCH(QString, head);
        QFETCH(QString, charset);
        QVERIFY(
            show(QStringLiteral("<html><head>%1</head><body><p id=t>中文预览𠀀</p></body></html>")
                     .arg(head)));
        QVERIFY(preview_->isVisible());
        QCOMPARE(preview_->geometry(), host_->rect());
        QCOMPARE(eval(QStringLiteral("document.getElementById('t').innerText")).toString(),
                 QStringLiteral("中文预览𠀀"));
        QCOMPARE(eval(QStringLiteral("document.characterSet")).toString().toLower(), charset);
    }

    void showsPageLargerThanSetHtmlTakes() {
        QString html = QStringLiteral("<html><body><p>开始</p>");
        const QString row = QStringLiteral("<p>第%1行，这是一段很长的笔记。</p>\n");
        int rows = 0;
        qsizetype bytes = 0;
        while (bytes < 3 * 1024 * 1024) {
            const QString line = row.arg(++rows);
            bytes += line.toUtf8().size();
            html += line;
        }
        html += QStringLiteral("<p id=end>末尾</p></body></html>");
        QVERIFY(show(html));
        QCOMPARE(eval(QStringLiteral("document.getElementById('end').innerText")).toString(),
                 QStringLiteral("末尾"));
        QCOMPARE(eval(QStringLiteral("document.getElementsByTagName('p').length")).toInt(),
                 rows + 2);
    }

    void reachesNoLocalFileAndNoNetwork() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString image = dir.filePath(QStringLiteral("secret.png"));
        QImage pixels(40, 30, QImage::Format_RGB32);
        pixels.fill(Qt::red);
        QVERIFY(pixels.save(image));
        const QString text = dir.filePath(QStringLiteral("secret.txt"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("top secret");
        file.close();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString web = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());

        const int blockedBefore = preview_->guard() ? preview_->guard()->blockedCount() : 0;
        QVERIFY(show(QStringLiteral("<img id=a src=\"file://%1\"><img id=b src=\"%1\"><img id=c "
                                    "src=\"%3/x.png\"><iframe id=f src=\"file://%2\"></iframe>"
                                    "<link rel=stylesheet href=\"%3/s.css\">"
                                    "<script>var got='none';fetch('file://%2').then(r=>r.text())"
                                    ".then(t=>got=t).catch(e=>got='refused');</script>")
                         .arg(image, text, web)));
        QTRY_COMPARE_WITH_TIMEOUT(eval(QStringLiteral("got")).toString(), QStringLiteral("refused"),
                                  10000);
        for (const char* id : {"a", "b", "c"}) {
            QCOMPARE(eval(QStringLiteral("document.getElementById('%1').naturalWidth")
                              .arg(QLatin1String(id)))
                         .toInt(),
                     0);
        }
        QCOMPARE(eval(QStringLiteral("(function(){try{return document.getElementById('f')"
                                     ".contentDocument.body.innerText}catch(e){return ''}})()"))
                     .toString()
                     .contains(QStringLiteral("top secret")),
                 false);
        QVERIFY(preview_->guard()->blockedCount() > blockedBefore);
        QTest::qWait(200);
        QVERIFY(!server.hasPendingConnections());
    }

    void opensNoWindowsAndDialogsDoNotBlock() {
        QVERIFY(
            show(QStringLiteral("<script>alert('x');confirm('y');prompt('z');</script>"
                                "<p id=t>after</p>")));
        QCOMPARE(eval(QStringLiteral("document.getElementById('t').innerText")).toString(),
                 QStringLiteral("after"));
        QCOMPARE(eval(QStringLiteral("window.open('qmpreview:note/1') === null")).toBool(), true);
    }

    void scriptCannotLeaveThePage() {
        QVERIFY(show(QStringLiteral("<p id=t>stay</p>")));
        const QUrl before = preview_->view()->url();
        QSignalSpy clicked(preview_, &NotePreview::linkClicked);
        eval(QStringLiteral("location.href = 'https://example.com/'"));
        QTest::qWait(500);
        eval(QStringLiteral("location.href = 'file:///etc/hostname'"));
        QTest::qWait(500);
        QCOMPARE(preview_->view()->url(), before);
        QCOMPARE(eval(QStringLiteral("document.getElementById('t').innerText")).toString(),
                 QStringLiteral("stay"));
        // The engine reports a script's navigation as a link click, so it is handed on like
        // one (see linkClicked): whoever opens links must not do so without the user.
        QVERIFY(clicked.count() <= 2);
    }

    void refreshOnlyWhileShown() {
        QVERIFY(show(QStringLiteral("<p id=t>one</p>")));
        preview_->hide();
        const QUrl hiddenUrl = preview_->view()->url();
        preview_->refresh(Utf8ToGb18030("<p id=t>two</p>"));
        QVERIFY(!preview_->isVisible());
        QCOMPARE(preview_->view()->url(), hiddenUrl);
    }
};

}  // namespace qm

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qm::PrepareWebPreview();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    qm::NotePreviewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "note_preview_test.moc"
