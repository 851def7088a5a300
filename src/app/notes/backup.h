// Backups of the notebook file: a copy "备份文件/笔记本_<time>.qm" after every N changed saves
// of a note and on demand, keeping the newest K copies listed in "历史路径组". The counter,
// N, K and the list live in the settings (section "主界面") and are written at every change.
#pragma once

#include <QObject>
#include <QString>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "common/write_error.h"

namespace qm {

class SettingsStore;

class Backup : public QObject {
    Q_OBJECT
public:
    // Reads "当前保存序号", "触发备份的保存数", "保持备份数" and "历史路径组" from `settings`,
    // which must outlive this object. Backups copy "笔记本.qm" of `programFolder`.
    Backup(SettingsStore* settings, const QString& programFolder, QObject* parent = nullptr);

    // The clock that names the files (seconds since the epoch, shown as local time).
    void setClock(std::function<std::time_t()> now) { now_ = std::move(now); }

    // A note's text was saved changed: the counter grows, and when it reaches the trigger it
    // restarts at 0 and a backup is made; the counter is then stored.
    void countChangedSave();

    // Makes a backup now and returns its full path. The list is updated and stored first;
    // files cut from it are deleted; then the notebook file is copied. A copy that fails is
    // kept in lastError() and signalled by copyFailed (a path whose file never appeared is
    // dropped from the list at a later backup); failures to delete are not reported.
    QString run();
    // Why the last copy failed; empty after one that worked.
    const WriteError& lastError() const { return lastError_; }

signals:
    void copyFailed();

public:
    // Run just before the notebook file is copied (the stores bring the file up to date from
    // their edit logs there, so that the copy holds every saved edit).
    void setBeforeCopy(std::function<void()> hook) { beforeCopy_ = std::move(hook); }

    // The menu's group values: saves per backup and copies kept (0 when none is checked).
    void setTrigger(int saves);
    void setKeep(int count);

    int counter() const { return counter_; }
    int trigger() const { return trigger_; }
    int keep() const { return keep_; }
    // Full paths (UTF-8), newest first.
    const std::vector<std::string>& history() const { return history_; }

private:
    std::string folderPath() const;

    SettingsStore* settings_;
    std::string programFolder_;  // file-system encoding
    std::function<std::time_t()> now_;
    std::function<void()> beforeCopy_;
    int counter_ = 0;
    int trigger_ = 10;
    int keep_ = 10;
    std::vector<std::string> history_;
    WriteError lastError_;
};

}  // namespace qm
