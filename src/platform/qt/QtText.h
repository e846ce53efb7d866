#pragma once
// Texts are bytes throughout the program; Qt gets them one byte per character (Latin-1),
// so that nothing is converted on the way in or out.
#include <QString>
#include <string>
#include <string_view>

namespace platform {

inline QString Q(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string S(const QString& s) { return s.toLatin1().toStdString(); }

}  // namespace platform
