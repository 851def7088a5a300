// Recovery of an edit log against a file: arbitrary log bytes (after a mark, the file's). The
// edits found must lie inside the log, the valid end inside it too, and replaying them as the
// store does must stop cleanly at the first edit that does not fit the file.
#include "common/edit_log.h"

#include <cstdint>
#include <string>

#include "fuzz_input.h"

using qm::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qm::fuzz::FuzzInput input(data, size);
    const std::string log(input.Until("\n#file#\n"));
    const std::string file(input.Rest());
    const qm::EditLog::Recovery recovery = qm::EditLog::Recover(log, file);
    Require(recovery.validEnd <= log.size(), "the valid end lies inside the log");
    if (!recovery.belongs) {
        Require(recovery.edits.empty(), "a log of another file gives no edits");
        return 0;
    }
    std::string image = file;
    for (const qm::EditLog::Edit& edit : recovery.edits) {
        const char* begin = edit.inserted.data();
        Require(edit.inserted.empty() || (begin >= log.data() &&
                                          begin + edit.inserted.size() <= log.data() + log.size()),
                "an edit's bytes lie inside the log");
        if (edit.offset > image.size() || edit.removed > image.size() - edit.offset) break;
        image.replace(edit.offset, edit.removed, edit.inserted);
    }
    return 0;
}
