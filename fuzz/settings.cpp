// The settings file from arbitrary bytes (and, after a mark, an undo journal beside it), then
// a run of reads and writes chosen by the rest of the input. After every write the file must
// hold exactly the memory copy, and a value written must read back.
#include <cstdint>
#include <string>

#include "common/charset.h"
#include "fuzz_files.h"
#include "fuzz_input.h"
#include "settings/settings_store.h"

namespace {

using qm::fuzz::Require;

constexpr std::string_view kPartMark = "\n#part#\n";
constexpr int kMaxSteps = 64;

// Sections and keys come from a small set (the program's own names are fixed strings too);
// the values are arbitrary.
const char* const kSections[] = {"main", "\xD6\xF7\xBD\xE7\xC3\xE6", "main.size", "x", ""};
const char* const kKeys[] = {"a", "key", "\xCE\xBB\xD6\xC3", "b", "width"};

template <size_t N>
const char* Pick(const char* const (&names)[N], uint8_t choice) {
    return names[choice % N];
}

// A value that stays one line in the file: no CR or LF of its own.
std::string OneLine(std::string_view bytes) {
    std::string value;
    for (const char c : bytes) {
        if (c != '\r' && c != '\n') value.push_back(c);
    }
    return value;
}

void RequireMirrored(const qm::SettingsStore& store, const std::string& path) {
    if (!store.writable()) return;
    std::string onDisk;
    Require(qm::fuzz::ReadWholeFile(path, &onDisk), "the settings file reads");
    Require(onDisk == store.memoryCopy(), "the file holds the memory copy");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qm::fuzz::ScratchFolder folder;
    folder.Clear();
    qm::fuzz::FuzzInput input(data, size);
    const std::string path = folder.File("settings.ini");
    Require(qm::fuzz::WriteWholeFile(path, input.Until(kPartMark)), "the file is written");
    const std::string_view journal = input.Until(kPartMark);
    if (!journal.empty()) {
        Require(qm::fuzz::WriteWholeFile(path + ".journal", journal), "the journal is written");
    }

    qm::SettingsStore store;
    store.open(path);
    RequireMirrored(store, path);
    for (int step = 0; step < kMaxSteps && !input.empty(); ++step) {
        const uint8_t op = input.Byte();
        const std::string section = Pick(kSections, input.Byte());
        const std::string key = Pick(kKeys, input.Byte());
        store.setSection(section);
        switch (op % 6) {
            case 0: {
                const std::string value = OneLine(input.Sized());
                if (store.writeValue(section, key, value)) {
                    Require(store.readValue(section, key) == value, "a value reads back");
                }
                break;
            }
            case 1: {
                // A text with CR LF pairs only, as the editor gives them.
                std::string text = OneLine(input.Sized());
                if (!text.empty()) text.insert(text.size() / 2, "\r\n");
                // The file's stand-in for a line break ("┊*┊") cannot be told from the same
                // characters typed, nor from a "┊" or "┊*" typed next to a line break: a text
                // with "┊" may read back with its line breaks elsewhere.
                static const std::string kBar = qm::Utf8ToGb18030("┊");
                const bool plain = text.find(kBar) == std::string::npos;
                if (store.writeText(key, text) && plain) {
                    Require(store.readText(key, "") == text, "a text reads back");
                }
                break;
            }
            case 2: {
                const double value = static_cast<int16_t>(input.Short()) / 8.0;
                if (store.writeNumber(key, value)) {
                    Require(store.readNumber(key, -1) == value, "a number reads back");
                }
                break;
            }
            case 3: {
                const bool value = (input.Byte() & 1) != 0;
                if (store.writeBool(key, value)) {
                    Require(store.readBool(key, !value) == value, "a flag reads back");
                }
                break;
            }
            case 4: {
                qm::WindowPlacement placement{input.Byte() % 3, static_cast<int16_t>(input.Short()),
                                              static_cast<int16_t>(input.Short()), input.Short(),
                                              input.Short()};
                store.savePlacement(section, placement);
                const qm::WindowPlacement back = store.restorePlacement(section, {});
                Require(back.state == placement.state, "the window state reads back");
                break;
            }
            default:
                store.readText(key, "fallback");
                store.readNumber(key, 0);
                store.readBool(key, false);
                store.readValue(section, key);
                break;
        }
        RequireMirrored(store, path);
    }

    // What the next start reads is what this one left.
    const std::string expected = store.memoryCopy();
    const bool wasWritable = store.writable();
    qm::SettingsStore reopened;
    reopened.open(path);
    if (wasWritable) Require(reopened.memoryCopy() == expected, "the next start reads the same");
    return 0;
}
