#pragma once

#include <QString>
#include <string_view>

namespace tx {

// A text of the program for a message box or dialog: "\r" in it is a line break.
inline QString MessageText(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

}  // namespace tx
