// File names both ways: a title of arbitrary bytes made into an export file name and one safe
// path component, and an arbitrary path made into an import title and a folder name.
#include <cstdint>
#include <string>

#include "common/charset.h"
#include "fuzz_input.h"
#include "store/export_name.h"
#include "store/folder_listing.h"

using qm::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qm::fuzz::FuzzInput input(data, size);
    const size_t maxBytes = input.Byte();
    const std::string_view bytes = input.Rest();

    // Export: the title as a file name, then one path component.
    const std::string name = qm::ExportFileName(bytes);
    for (const char c : std::string_view("\r\n\t\"")) {
        Require(name.find(c) == std::string::npos, "no line break, tab or quote in a name");
    }
    const std::string component = qm::SafeComponent(name, maxBytes);
    const std::string utf8 = qm::Gb18030ToUtf8(component);
    Require(utf8.find('/') == std::string::npos, "no slash in a path component");
    Require(utf8.find('\0') == std::string::npos || name.find('\0') != std::string::npos,
            "no zero byte made up");
    Require(component != "." && component != "..", "no name of this or the upper folder");
    Require(utf8.size() <= maxBytes, "a component within its length");
    // The widest character in UTF-8: an undecodable four-byte sequence gives two replacement
    // characters and two digits, eight bytes; with room for it the first character fits.
    if (maxBytes >= 8) {
        Require(component.empty() == name.empty(), "only an empty name gives an empty component");
    }

    // Import: the title of a file and the name of a folder.
    const std::string title = qm::TitleFromFileName(bytes);
    Require(title.find('/') == std::string::npos, "a title holds no folder");
    Require(title.size() <= bytes.size(), "a title is part of the path");
    const std::string folder = qm::LastFolderName(bytes);
    Require(folder.size() <= bytes.size(), "a folder name is part of the path");
    qm::WildcardMatch(bytes.substr(0, bytes.size() / 2), bytes.substr(bytes.size() / 2));
    return 0;
}
