#include "app/notes/backup.h"

#include <QFile>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/notes/backup_history.h"
#include "app/widgets/settings_adapters.h"
#include "common/charset.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace qm {

namespace {

namespace fs = std::filesystem;

int ReadInt(const SettingsStore& store, const settings::NumberSetting& setting) {
    const double value = settings::Read(store, setting);
    // A hand-edited value out of int range must not overflow the conversion.
    if (!std::isfinite(value) || std::fabs(value) > 1e9) return 0;
    return static_cast<int>(value);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(fs::u8path(path), error);
}

// Copies through a temporary name, so that an interrupted copy never leaves a half file
// under the backup's own name. Returns the system's error, 0 when the copy is in place.
int CopyFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::error_code ignored;
    const fs::path target = fs::u8path(to);
    fs::path partial = target;
    partial += ".part";
    if (!fs::copy_file(fs::u8path(from), partial, fs::copy_options::overwrite_existing, error)) {
        fs::remove(partial, ignored);
        return error.value() != 0 ? error.value() : EIO;
    }
    fs::rename(partial, target, error);
    if (error) fs::remove(partial, ignored);
    return error.value();
}

}  // namespace

Backup::Backup(SettingsStore* settings, const QString& programFolder, QObject* parent)
    : QObject(parent),
      settings_(settings),
      programFolder_(QFile::encodeName(programFolder).toStdString()),
      now_([] { return std::time(nullptr); }) {
    UseMainSection(*settings_);
    counter_ = ReadInt(*settings_, settings::kSaveCounter);
    trigger_ = ReadInt(*settings_, settings::kSavesPerBackup);
    keep_ = ReadInt(*settings_, settings::kBackupsKept);
    // Entries are stored as GB18030 text; the file system takes them as UTF-8.
    history_ = SplitHistory(Gb18030ToUtf8(settings::Read(*settings_, settings::kPathHistory)));
}

std::string Backup::folderPath() const { return programFolder_ + "/备份文件"; }

void Backup::countChangedSave() {
    ++counter_;
    if (counter_ >= trigger_) {
        counter_ = 0;
        run();
    }
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kSaveCounter, counter_);
}

QString Backup::run() {
    const std::string path = folderPath() + "/" + BackupFileName(now_());
    const std::vector<std::string> cut = AddToHistory(&history_, path, keep_, FileExists);
    std::error_code error;
    for (const std::string& old : cut) fs::remove(fs::u8path(old), error);

    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kPathHistory, Utf8ToGb18030(JoinHistory(history_)));

    fs::create_directories(fs::u8path(folderPath()), error);
    if (beforeCopy_) beforeCopy_();
    const int copyError = CopyFile(programFolder_ + "/笔记本.qm", path);
    lastError_ = copyError != 0 ? WriteError{path, copyError} : WriteError{};
    if (copyError != 0) emit copyFailed();
    return QString::fromStdString(path);
}

void Backup::setTrigger(int saves) { trigger_ = saves; }

void Backup::setKeep(int count) { keep_ = count; }

}  // namespace qm
