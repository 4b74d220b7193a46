// The programs' core keeps its texts in UTF-8; Qt takes them here.
#pragma once

#include <QString>
#include <string>

namespace talvern {

inline QString qtText(const std::string& text) { return QString::fromStdString(text); }

}  // namespace talvern
