// The base address of the maker's web site, written into points files and used by the web links.
#pragma once

#include <string_view>

namespace kestro {

inline constexpr std::string_view WebSiteBase = KESTRO_WEB_BASE;

}  // namespace kestro
