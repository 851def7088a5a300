// The settings file: INI-style GB18030 text ("[name]" header lines, "key=value" entries,
// CR LF between lines, no line break at the end) kept whole in memory and mirrored into its
// open file edit by edit, so that nothing has to be saved at exit. Reads come from memory.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/journaled_file.h"

namespace qm {

// A window's state and frame as the settings file keeps them. state: 0 normal,
// 1 minimized, 2 maximized.
struct WindowPlacement {
    int state = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// All names, keys and values are GB18030 bytes. Section and key names are compared byte for
// byte. Only the user-interface thread uses the store.
class SettingsStore {
public:
    // Receives the whole memory copy when a write had to be abandoned; the GUI shows the
    // warning and then this text. A write requested from inside the handler is queued and
    // applied after the abandoned one.
    using FailureHandler = std::function<void(const std::string& memory_copy)>;

    SettingsStore() = default;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Loads the file at `path` (a missing file reads as empty) and keeps it open for writing
    // with other writers excluded, creating it when missing. Returns true when edits reach
    // the file; false when the store works from its memory copy alone (the folder is not
    // writable, another process holds the file). Nothing is reported in that case.
    bool open(const std::string& path);

    // The section the typed operations below use; callers set it before their first read.
    void setSection(std::string_view section) { section_ = section; }
    const std::string& section() const { return section_; }

    // Value of `key` in the current section with every "┊*┊" turned into CR LF; `fallback`
    // unchanged when the section or the key is missing. An empty stored value gives "".
    std::string readText(std::string_view key, std::string_view fallback) const;
    // Stores `text` with every CR LF turned into "┊*┊", so that the value stays on one line.
    bool writeText(std::string_view key, std::string_view text);

    // The decimal number the value starts with ("12abc" gives 12, "1e+020" gives 1e20);
    // 0 when it starts with none or the number is out of range; `fallback` when missing.
    double readNumber(std::string_view key, double fallback) const;
    // Stores the number as NumberText writes it: 11 as "11", 0.5 as "0.5".
    bool writeNumber(std::string_view key, double value);

    // True exactly when the stored value is "真"; `fallback` when missing.
    bool readBool(std::string_view key, bool fallback) const;
    // Stores "真" or "假".
    bool writeBool(std::string_view key, bool value);

    // The stored bytes of `key` in `section`, unconverted; std::nullopt when missing.
    std::optional<std::string> readValue(std::string_view section, std::string_view key) const;

    // Stores `value` unchanged as the value of `key` in `section`. A missing section is
    // appended at the end; a missing key is added as the section's last entry; an existing
    // value has its bytes replaced, which moves the rest of the file. Returns false when the
    // section could not be found even after appending its header more than 10 times: the
    // write is abandoned and the failure handler gets the memory copy. A write requested
    // while another is being applied (from the failure handler) is queued, applied in
    // request order after it, and returns true.
    bool writeValue(std::string_view section, std::string_view key, std::string_view value);

    // Writes `placement` into section `section_base` + ".尺寸" ("主界面.尺寸" for an empty
    // base): "位置" = the state, and "左边", "顶边", "宽度", "高度" only when the state is
    // normal or minimized (a maximized window keeps its last normal frame). Leaves the
    // current section as it was.
    void savePlacement(std::string_view section_base, const WindowPlacement& placement);

    // The placement stored by savePlacement: the state, and the frame only when the stored
    // state is normal or minimized. Each missing value (and the frame of a maximized
    // window) comes from `current`. Numbers are rounded to the nearest int.
    WindowPlacement restorePlacement(std::string_view section_base,
                                     const WindowPlacement& current) const;

    void setFailureHandler(FailureHandler handler) { failure_handler_ = std::move(handler); }

    // The memory copy; while the file is writable the file holds exactly these bytes.
    const std::string& memoryCopy() const { return file_.data(); }
    bool writable() const { return file_.writable(); }

    // A write of the file failed: the memory copy holds edits the file lacks. Every later
    // edit, and retryWrites (the window calls it every few seconds), tries to write the whole
    // copy again, crash-safely; the failure ends when one succeeds.
    bool writeFailing() const { return file_.failing(); }
    // The file and the system's reason while writeFailing().
    const WriteError& lastWriteError() const { return file_.lastError(); }
    // True when the file holds the memory copy (or cannot be written at all: see writable()).
    bool retryWrites() { return file_.Retry(); }

    // Test hook: the section lookup rejects every header of `section` (an empty name turns
    // the hook off), as a buffer or name on which the header never matches would, so that
    // the abandoned-write path can be exercised.
    void setUnmatchableSectionForTesting(std::string_view section) {
        unmatchable_section_ = section;
    }

private:
    struct SectionSpan {
        size_t header;  // the "["
        size_t close;   // the header's "]"
    };
    struct PendingWrite {
        std::string section;
        std::string key;
        std::string value;
    };

    std::optional<SectionSpan> findSection(std::string_view section) const;
    // Applies one write; false when it was abandoned.
    bool apply(const PendingWrite& write);
    // The one way bytes change: memory copy and file together, keeping the cache right.
    void edit(size_t offset, size_t length, std::string_view bytes);
    std::optional<double> readNumberIn(std::string_view section, std::string_view key) const;

    JournaledFile file_;
    std::string section_;
    FailureHandler failure_handler_;

    // The section looked up last: lookups repeat the same section many times in a row.
    mutable std::optional<SectionSpan> cached_span_;
    mutable std::string cached_name_;

    std::deque<PendingWrite> pending_;
    bool applying_ = false;

    std::string unmatchable_section_;
};

}  // namespace qm
