#include "core/units/weblinks.h"

#include <filesystem>
#include <system_error>

#include "core/units/info.h"
#include "core/units/product.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// base with exactly one trailing "/" before the path.
std::string Join(std::string_view base, std::string_view path) {
    return EnsureTrailingChar(base, '/') + std::string(path);
}

// True when path names a regular file (a folder of that name does not count).
bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string SiteBase() {
    return EnsureTrailingChar(WebSiteBase, '/');
}

std::string OnlineHelpAddress(std::string_view base) {
    return Join(base, "kvn/help/?ver=" + std::string(ProductVersion));
}

std::string VersionCheckAddress(std::string_view base, std::string_view fileVersion) {
    return Join(base, "cgi/version.cgi?what=KVN&ver=" + std::string(fileVersion));
}

std::string SupportAddress(std::string_view base) {
    return Join(base, "support/?what=KVN&ver=" + std::string(ProductVersion));
}

std::string ProductPageAddress(std::string_view base) {
    return Join(base, "kvn/?ver=" + std::string(ProductVersion));
}

std::string HomePageAddress(std::string_view base) {
    return Join(base, "");
}

std::string ReportSubmissionAddress(std::string_view base, std::string_view query) {
    return Join(base, "cgi/send_bug.cgi?" + std::string(query));
}

std::string LocalHelpPath(std::string_view programDir) {
    const std::string dir = EnsureTrailingChar(programDir, '/');
    const std::string beside = dir + "help/index.html";
    if (IsRegularFile(beside))
        return beside;
    const std::string installed = dir + "../share/kestro/help/index.html";
    if (IsRegularFile(installed))
        return std::filesystem::path(installed).lexically_normal().string();
    return {};
}

}  // namespace kestro
