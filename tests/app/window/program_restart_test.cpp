// "重新运行本软件": the loaded note is saved and a new start asked for, the stores' files are
// never inherited by the new copy, and the new copy is the same executable without "yes".
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include "app/note_window.h"
#include "app/tree_commands/tree_menus.h"
#include "app/window/program.h"

namespace qm {

using testing::NoteWindow;

class ProgramRestartTest : public QObject {
    Q_OBJECT

private slots:
    void storeFilesAreCloseOnExec() {
        NoteWindow w;
        w.writeNotebook(1);
        w.start();
        const QString folder = QFileInfo(QString::fromStdString(w.folder())).canonicalFilePath();
        int storeFiles = 0;
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QString& entry : fds.entryList(QDir::Files | QDir::System)) {
            const QString target = QFileInfo(fds.filePath(entry)).symLinkTarget();
            if (!target.startsWith(folder + QLatin1Char('/'))) continue;
            const int flags = fcntl(entry.toInt(), F_GETFD);
            QVERIFY2(flags >= 0 && (flags & FD_CLOEXEC) != 0, qPrintable(target));
            ++storeFiles;
        }
        // Both trees and the settings file are open.
        QVERIFY(storeFiles >= 3);
    }

    void restartEntrySavesNoteAndAsksForNewStart() {
        NoteWindow w;
        w.writeNotebook(2);
        w.start();
        w.click(1);
        w.type(QStringLiteral("重启前的文字"));
        QSignalSpy restart(&w.window(), &MainWindow::restartRequested);
        QSignalSpy ended(&w.window(), &MainWindow::programEnded);
        QAction* entry =
            w.window().treeMenus()->notebookMenu().entry(QStringLiteral("重新运行本软件"));
        QVERIFY(entry != nullptr);
        entry->trigger();
        QCOMPARE(restart.count(), 1);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first().first().toInt(), 0);
        QCOMPARE(w.field(1, 7), ToGb(QStringLiteral("重启前的文字")));
        // The same notes come back in the next run.
        w.stop();
        w.start();
        w.click(1);
        QCOMPARE(w.shown(), QStringLiteral("重启前的文字"));
    }

    void newCopyIsSameExecutableWithoutYes() {
        testing::TempDir dir;
        const QString script = QString::fromStdString(dir.File("corvanel"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho \"$#:$*:$(pwd)\" > \"$0.ran\"\n");
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        StartOptions options;
        options.executablePath = script;
        options.programFolder = QString::fromStdString(dir.path());
        options.startHidden = true;  // a run started hidden still restarts with its window
        QVERIFY(StartNewCopy(options));
        const QString ran = script + QStringLiteral(".ran");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(ran).size() > 0, 10000);
        QFile result(ran);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(result.readAll()).trimmed(),
                 QStringLiteral("0::") + QString::fromStdString(dir.path()));

        options.executablePath = QString::fromStdString(dir.File("missing"));
        QVERIFY(!StartNewCopy(options));
    }
};

}  // namespace qm

QTEST_MAIN(qm::ProgramRestartTest)
#include "program_restart_test.moc"
