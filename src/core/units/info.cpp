#include "core/units/info.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QStandardPaths>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "core/units/uu.h"

namespace kestro {

namespace {

TLocalInfo ProgramInfo;

// The path of the running program file ("" when the system does not tell).
std::string ProgramPath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

// The user's documents folder with a trailing "/" ("/" when unknown, as with a missing
// shell-folder value).
std::string DocumentsDir() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return EnsureTrailingChar(documents.toStdString(), '/');
}

// The logged-on user's name, at most 256 characters; "???" when it cannot be read.
std::string UserNameText() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name)
        return "???";
    std::string name(found->pw_name);
    if (name.size() > 256)
        name.resize(256);
    return name;
}

// The IPv4 addresses of the local interfaces, from the kernel (no name service involved).
std::vector<HostInterface> LocalInterfaces(bool& ok) {
    std::vector<HostInterface> result;
    ifaddrs* list = nullptr;
    ok = getifaddrs(&list) == 0;
    if (!ok)
        return result;
    for (const ifaddrs* item = list; item; item = item->ifa_next) {
        if (!item->ifa_addr || item->ifa_addr->sa_family != AF_INET)
            continue;
        sockaddr_in address{};
        std::memcpy(&address, item->ifa_addr, sizeof address);
        const uint32_t host = ntohl(address.sin_addr.s_addr);
        result.push_back({{static_cast<uint8_t>(host >> 24), static_cast<uint8_t>(host >> 16),
                           static_cast<uint8_t>(host >> 8), static_cast<uint8_t>(host)},
                          (item->ifa_flags & IFF_UP) != 0,
                          (item->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return result;
}

}  // namespace

TFileVersionInfo CompiledVersionInfo() {
    TFileVersionInfo info;
    info.CompanyName = std::string(CompanyName);
    info.FileDescription = "Classification results live view";
    info.FileVersion = std::string(FileVersion);
    info.InternalName = "kestro";
    info.LegalCopyright = "Copyright \u00A9 2025 Quorvanta Software";
    info.OriginalFilename = "kestro";
    info.ProductName = std::string(ProductName);
    info.ProductVersion = std::string(ProductVersion);
    return info;
}

std::string WindowsVersionText(uint32_t packedVersion) {
    const uint32_t major = packedVersion & 0xFF;
    const uint32_t minor = (packedVersion >> 8) & 0xFF;
    uint32_t build = 0;
    if ((packedVersion & 0x80000000u) == 0)
        build = packedVersion >> 16;
    else if (major < 4)
        build = (packedVersion >> 16) & 0x7FFF;
    return "Windows " + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(build);
}

std::string LinuxVersionText(std::string_view systemName, std::string_view release) {
    std::string text(systemName.empty() ? std::string_view("Linux") : systemName);
    if (!release.empty())
        text += " " + std::string(release);
    return text;
}

std::string OperatingSystemText() {
    utsname names{};
    if (uname(&names) != 0)
        return "???";
    return LinuxVersionText(names.sysname, names.release);
}

std::string FirstAddressText(const std::vector<HostInterface>& interfaces) {
    // The first interface that is up and not the loopback, else the first one that is up.
    const HostInterface* chosen = nullptr;
    for (const HostInterface& item : interfaces) {
        if (item.up && !item.loopback) {
            chosen = &item;
            break;
        }
        if (item.up && !chosen)
            chosen = &item;
    }
    if (!chosen)
        return {};
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(chosen->address[i]);
    }
    return text;
}

std::string CompanyDataDirBelow(std::string_view commonDataRoot) {
    return EnsureTrailingChar(commonDataRoot, '/') + std::string(CompanyName) + "/";
}

TLocalInfo ReadLocalInfo(std::string_view commonDataRoot) {
    TLocalInfo info;
    const std::string programPath = ProgramPath();
    const std::filesystem::path programFile(programPath);
    info.ExeDir = programPath.empty() ? std::string()
                                      : EnsureTrailingChar(programFile.parent_path().string(), '/');
    info.PersonalDir = DocumentsDir();
    info.CompanyDataDir = CompanyDataDirBelow(commonDataRoot);

    // The company folder is made once; an existing one is left alone, failures are ignored.
    std::error_code error;
    if (!std::filesystem::is_directory(info.CompanyDataDir, error))
        std::filesystem::create_directories(info.CompanyDataDir, error);

    info.UserName = UserNameText();
    info.WindowsVersion = OperatingSystemText();
    // No browser registry on this platform: three empty parts.
    info.BrowserVersion = "||";

    info.HostName = "???";
    info.HostAddress = "???";
    char hostName[256] = {};
    if (gethostname(hostName, sizeof hostName - 1) == 0) {
        info.HostName = hostName;
        bool listed = false;
        const std::vector<HostInterface> interfaces = LocalInterfaces(listed);
        info.HostAddress = listed ? FirstAddressText(interfaces) : std::string();
    } else {
        info.HostAddress.clear();
    }

    info.ExeSize = 0;
    if (!programPath.empty()) {
        const uintmax_t size = std::filesystem::file_size(programFile, error);
        if (!error)
            info.ExeSize = static_cast<int32_t>(
                std::min<uintmax_t>(size, std::numeric_limits<int32_t>::max()));
    }
    info.VersionInfo = CompiledVersionInfo();

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) {
        info.StartYear = static_cast<uint16_t>(local.tm_year + 1900);
        info.StartMonth = static_cast<uint16_t>(local.tm_mon + 1);
        info.StartDay = static_cast<uint16_t>(local.tm_mday);
    }
    return info;
}

void GatherLocalInfo(std::string_view commonDataRoot) {
    ProgramInfo = ReadLocalInfo(commonDataRoot);
}

const TLocalInfo& LocalInfo() {
    return ProgramInfo;
}

}  // namespace kestro
