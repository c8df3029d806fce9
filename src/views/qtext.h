// Text of the core (UTF-8 std::string_view) as a QString, for the views and the windows.
#pragma once

#include <QString>
#include <string_view>

namespace kestro {

inline QString QText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kestro
