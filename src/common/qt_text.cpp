#include "common/qt_text.h"

#include "common/charset.h"

namespace qm {

QString FromGb(std::string_view gb18030) {
    const std::string utf8 = Gb18030ToUtf8(gb18030);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToGb(const QString& text) { return Utf8ToGb18030(text.toUtf8().toStdString()); }

}  // namespace qm
