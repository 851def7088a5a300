// The icons of the note trees, by the record's image number: 0 a note with children (folder),
// 1 a note without children (page), 2 a root (book). Drawn once, in code.
#pragma once

#include <QIcon>

namespace qm {

// The icon for `image`; a null icon for any other number (a record added without an icon).
QIcon TreeIcon(int image);

}  // namespace qm
