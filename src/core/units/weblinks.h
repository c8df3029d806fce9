// The addresses that the Help menu, the About box and the error report open or call, and the
// place of the local help page.
#pragma once

#include <string>
#include <string_view>

namespace kestro {

// The maker's site with a trailing "/" (the build-time base address).
std::string SiteBase();

// base + "kvn/help/?ver=0.9 Beta" (the blank is part of the query).
std::string OnlineHelpAddress(std::string_view base);

// base + "cgi/version.cgi?what=KVN&ver=" + the program's file version.
std::string VersionCheckAddress(std::string_view base, std::string_view fileVersion);

// base + "support/?what=KVN&ver=0.9 Beta".
std::string SupportAddress(std::string_view base);

// base + "kvn/?ver=0.9 Beta": the product page.
std::string ProductPageAddress(std::string_view base);

// The maker's home page: the site's root.
std::string HomePageAddress(std::string_view base);

// base + "cgi/send_bug.cgi?" + the report's query.
std::string ReportSubmissionAddress(std::string_view base, std::string_view query);

// The local help page: help/index.html beside the program, else the installed copy
// <prefix>/share/kestro/help/index.html for a program in <prefix>/bin; "" when neither is a
// regular file. programDir ends in "/".
std::string LocalHelpPath(std::string_view programDir);

}  // namespace kestro
