// The file names an export gives to notes: a title made safe for a file system.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The title (GB18030) as a file name (GB18030): each of \ / : * ? | < > becomes its
// full-width form, double quotes are removed, then CR LF pairs and every remaining CR, LF
// and TAB. Whole characters are looked at, so the second byte of a two-byte character is
// never taken for one of these. The result may be empty.
std::string ExportFileName(std::string_view title);

// An ExportFileName result made into one safe path component: "." and ".." become their
// full-width forms (they would name this folder or the one above), and a name longer than
// `maxBytes` once in UTF-8 is cut at a character boundary. Empty stays empty.
std::string SafeComponent(std::string_view name, size_t maxBytes);

}  // namespace qm
