#include "app/notes/external_path_change.h"

#include <filesystem>

#include "settings/settings_keys.h"
#include "store/external_file.h"
#include "store/tree_store.h"

namespace qm {

namespace {

std::filesystem::path Canonical(const std::string& path) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::path(path).lexically_normal() : canonical;
}

}  // namespace

bool IsProgramStoragePath(const TreeStore& store, const std::string& path) {
    if (path.empty() || IsDrivePath(path)) return false;
    const std::filesystem::path folder =
        Canonical(store.ResolvePath(settings::Gb("外部存储\\x"))).parent_path();
    const std::filesystem::path file = Canonical(store.ResolvePath(path));
    // Inside the folder itself or below it.
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    return mismatch.first == folder.end() && file != folder;
}

PathChangeOutcome ChangeExternalPath(TreeStore& store, int index, const std::string& newPath,
                                     const UseExistingFile& useExisting) {
    const std::string old = store.GetField(index, kFieldExternalPath);
    if (newPath == old) return PathChangeOutcome::kUnchanged;
    const bool oldFile = store.ExternalFileExists(old);
    const bool oldIsOurs = IsProgramStoragePath(store, old);

    if (newPath.empty()) {
        if (!oldFile || oldIsOurs) {
            // The store's own rule: the text comes back, our file goes.
            return store.SetField(index, kFieldExternalPath, "") ? PathChangeOutcome::kChanged
                                                                 : PathChangeOutcome::kFailed;
        }
        // The user's file stays where it is; its text is copied into the record.
        return store.SetBodyAndPath(index, store.ReadExternalFile(old), "")
                   ? PathChangeOutcome::kChanged
                   : PathChangeOutcome::kFailed;
    }

    if (store.ExternalFileExists(newPath)) {
        if (!useExisting || !useExisting(store.ResolvePath(newPath))) {
            return PathChangeOutcome::kCancelled;
        }
        return store.SetBodyAndPath(index, "", newPath) ? PathChangeOutcome::kChanged
                                                        : PathChangeOutcome::kFailed;
    }
    if (IsDrivePath(newPath)) return PathChangeOutcome::kFailed;  // names no file here

    if (oldFile && oldIsOurs) {
        // SetField moves the file and keeps the old path when the move fails.
        return store.SetField(index, kFieldExternalPath, newPath) ? PathChangeOutcome::kChanged
                                                                  : PathChangeOutcome::kFailed;
    }
    // A user's file is copied, never moved; a body in the record is written out.
    const std::string body =
        oldFile ? store.ReadExternalFile(old) : store.ReadNode(index, kFieldBody);
    if (!store.WriteExternalFile(newPath, body)) return PathChangeOutcome::kFailed;
    return store.SetBodyAndPath(index, "", newPath) ? PathChangeOutcome::kChanged
                                                    : PathChangeOutcome::kFailed;
}

}  // namespace qm
