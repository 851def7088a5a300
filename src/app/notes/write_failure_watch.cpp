#include "app/notes/write_failure_watch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QWidget>
#include <cerrno>

#include "app/widgets/file_dialog.h"
#include "app/widgets/message_box.h"
#include "common/write_error.h"
#include "settings/settings_store.h"
#include "store/tree_store.h"

namespace qm {

const char* const WriteFailureWatch::kUnsavedMark = "（未保存到磁盘）";
const char* const WriteFailureWatch::kReadOnlyMark = "（只读，修改无法保存）";

namespace {

QString FileName(const std::string& path) { return QFile::decodeName(path.c_str()); }

QString Mark(const char* mark) { return QString::fromUtf8(mark); }

}  // namespace

QString ReasonText(const WriteError& error) {
    // The store names these two itself; every other code is the system's own reason.
    if (error.code == ESTALE) return QStringLiteral("文件被其他程序替换了");
    if (error.code == ENOENT) return QStringLiteral("文件被删除了");
    return QString::fromLocal8Bit(error.reason().c_str());
}

WriteFailureWatch::WriteFailureWatch(std::vector<Tree> trees, SettingsStore* settings,
                                     QWidget* window, QObject* parent)
    : QObject(parent),
      trees_(std::move(trees)),
      settings_(settings),
      window_(window),
      treeEpisodes_(trees_.size(), false) {
    for (const Tree& tree : trees_) {
        // Told inside a store call: the message waits until the call has returned.
        tree.store->SetWriteFailureHandler([this] {
            if (checkPosted_) return;
            checkPosted_ = true;
            QTimer::singleShot(0, this, [this] {
                checkPosted_ = false;
                check();
            });
        });
    }
    timer_.setInterval(kRetryMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        retryNow();
        check();
    });
    timer_.start();
}

bool WriteFailureWatch::reportOpenProblems() {
    QStringList notices;
    for (const Tree& tree : trees_) {
        const TreeStore& store = *tree.store;
        const QString file = FileName(store.openError().path);
        const QString reason = ReasonText(store.openError());
        switch (store.openProblem()) {
            case TreeStore::OpenProblem::kNone:
                break;
            case TreeStore::OpenProblem::kUnreadable:
                MessageBox::critical(
                    window_,
                    QStringLiteral("%1文件存在，但无法读取：\n%2\n原因：%3\n\n为了不覆盖其中的"
                                   "笔记，本软件不会打开或改写它。请检查文件的权限或磁盘后"
                                   "再启动本软件。")
                        .arg(tree.name, file, reason));
                return false;
            case TreeStore::OpenProblem::kLocked:
                notices << QStringLiteral("%1文件正被另一个程序打开并写入。").arg(tree.name);
                break;
            case TreeStore::OpenProblem::kNotWritable:
                notices << QStringLiteral("%1文件无法写入：\n%2\n原因：%3")
                               .arg(tree.name, file, reason);
                break;
        }
    }
    // One notice for both trees: in a folder that cannot be written both fail alike.
    if (!notices.isEmpty()) {
        MessageBox::warning(window_,
                            notices.join(QStringLiteral("\n\n")) +
                                QStringLiteral("\n\n在这里所做的修改无法保存，关闭后会丢失。"));
    }
    updateCaption();
    return true;
}

bool WriteFailureWatch::retryNow() {
    bool ok = true;
    for (const Tree& tree : trees_) {
        if (tree.store->writeFailing()) ok = tree.store->RetryWrites() && ok;
    }
    if (settings_->writeFailing()) ok = settings_->retryWrites() && ok;
    return ok;
}

bool WriteFailureWatch::unsaved() const {
    for (const Tree& tree : trees_) {
        if (tree.store->unsaved()) return true;
    }
    return false;
}

bool WriteFailureWatch::failing() const {
    for (const Tree& tree : trees_) {
        if (tree.store->writeFailing()) return true;
    }
    return settings_->writeFailing();
}

void WriteFailureWatch::check() {
    // A message box runs its own event loop, where the timer and the stores call again.
    if (checking_) return;
    checking_ = true;
    updateCaption();
    for (size_t i = 0; i < trees_.size(); ++i) {
        TreeStore& store = *trees_[i].store;
        if (!store.writeFailing()) {
            treeEpisodes_[i] = false;
            continue;
        }
        if (treeEpisodes_[i]) continue;
        treeEpisodes_[i] = true;
        report(trees_[i].name, store.lastWriteError(), store.unsaved());
    }
    if (!settings_->writeFailing()) {
        settingsEpisode_ = false;
    } else if (!settingsEpisode_) {
        settingsEpisode_ = true;
        report(QStringLiteral("设置"), settings_->lastWriteError(), true);
    }
    updateCaption();
    checking_ = false;
}

void WriteFailureWatch::report(const QString& name, const WriteError& error, bool unsaved) {
    const QString what =
        unsaved ? QStringLiteral(
                      "修改暂时只保存在内存中。本软件每隔几秒会自动重试，能写入时会立刻"
                      "把全部修改写进文件。在此之前请不要关机；可以先腾出磁盘空间。")
                : QStringLiteral("修改已记在日志文件中，没有丢失；本软件会稍后重试。");
    MessageBox::notice(window_, QStringLiteral("%1文件写入失败：\n%2\n原因：%3\n\n%4")
                                    .arg(name, FileName(error.path), ReasonText(error), what));
}

void WriteFailureWatch::reportBackupFailure(const WriteError& error) {
    MessageBox::notice(window_,
                       QStringLiteral("备份文件写入失败：\n%1\n原因：%2\n\n笔记本本身没有受"
                                      "影响。")
                           .arg(FileName(error.path), ReasonText(error)));
}

void WriteFailureWatch::updateCaption() {
    bool readOnly = false;
    for (const Tree& tree : trees_) {
        readOnly = readOnly || tree.store->openProblem() == TreeStore::OpenProblem::kLocked ||
                   tree.store->openProblem() == TreeStore::OpenProblem::kNotWritable;
    }
    QString caption = window_->windowTitle();
    for (const char* mark : {kUnsavedMark, kReadOnlyMark}) {
        if (caption.endsWith(Mark(mark))) caption.chop(Mark(mark).size());
    }
    if (unsaved()) {
        caption += Mark(kUnsavedMark);
    } else if (readOnly) {
        caption += Mark(kReadOnlyMark);
    }
    if (caption != window_->windowTitle()) window_->setWindowTitle(caption);
}

bool WriteFailureWatch::confirmEnd() {
    if (endConfirmed_) return true;
    while (!retryNow() && unsaved()) {
        updateCaption();
        const QMessageBox::StandardButton answer = MessageBox::ask(
            window_,
            QStringLiteral("有修改还没能写入磁盘，只保存在内存中，退出后会丢失。\n\n可以先腾出磁盘"
                           "空间再重试，或把笔记本另存一份副本到别的文件夹。"),
            {{QMessageBox::Retry, QStringLiteral("重试")},
             {QMessageBox::Save, QStringLiteral("保存副本到…")},
             {QMessageBox::Discard, QStringLiteral("退出并丢弃修改")},
             {QMessageBox::Cancel, QStringLiteral("返回")}},
            QMessageBox::Retry, QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) return false;
        if (answer == QMessageBox::Discard) break;
        if (answer != QMessageBox::Save) continue;
        const QString folder =
            FileDialog::getExistingDirectory(window_, QStringLiteral("选择保存副本的文件夹"));
        if (folder.isEmpty()) continue;
        QString error;
        if (!saveCopies(folder, &error)) {
            MessageBox::warning(window_, error);
            continue;
        }
        MessageBox::information(window_, QStringLiteral("已把内存中的笔记另存到\n") + folder);
        break;
    }
    endConfirmed_ = true;
    updateCaption();
    return true;
}

QString WriteFailureWatch::endUnattended(const QStringList& folders) {
    endConfirmed_ = true;
    if (retryNow() || !unsaved()) return {};
    for (const QString& folder : folders) {
        QString error;
        if (folder.isEmpty() || !saveCopies(folder, &error)) continue;
        qWarning("Changes that could not be written were saved as a copy in %s",
                 qPrintable(folder));
        return folder;
    }
    qWarning("Changes that could not be written are lost: no copy could be saved");
    return {};
}

bool WriteFailureWatch::saveCopies(const QString& folder, QString* error) const {
    for (const Tree& tree : trees_) {
        if (!tree.store->unsaved()) continue;
        // A file of the same name there is never overwritten: the copy gets a number.
        QString target = QDir(folder).filePath(tree.name + QStringLiteral(".qm"));
        for (int n = 2; QFileInfo::exists(target); ++n) {
            target = QDir(folder).filePath(tree.name + QStringLiteral("(%1).qm").arg(n));
        }
        if (!tree.store->SaveCopy(QFile::encodeName(target).toStdString())) {
            *error = QStringLiteral("副本无法写入：\n%1\n原因：%2")
                         .arg(target, ReasonText(WriteError{"", errno}));
            return false;
        }
    }
    return true;
}

}  // namespace qm
