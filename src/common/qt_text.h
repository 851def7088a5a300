// The boundary between the core's GB18030 byte text and the widgets' QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace qm {

QString FromGb(std::string_view gb18030);
std::string ToGb(const QString& text);

}  // namespace qm
