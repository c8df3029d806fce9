// Facts about the program file, the user and the machine, gathered once at start.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <vector>
#include "core/units/product.h"

namespace kestro {

// The program's version strings. On this platform they are compiled into the program
// rather than read from a version resource.
struct TFileVersionInfo {
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string LegalTrademarks;
    std::string OriginalFilename;
    std::string ProductName;
    std::string ProductVersion;
    std::string Comments;
};

// Everything the About box, the web links and the error report need to know about the
// program and the machine. Texts are UTF-8; folders end in "/".
struct TLocalInfo {
    int32_t ExeSize = 0;
    std::string ExeDir;
    std::string PersonalDir;
    std::string CompanyDataDir;
    std::string HostName;
    std::string HostAddress;
    std::string UserName;
    // The operating system's version text; named after the field the error report reads.
    std::string WindowsVersion;
    std::string BrowserVersion;
    TFileVersionInfo VersionInfo;
    uint16_t StartYear = 0;
    uint16_t StartMonth = 0;
    uint16_t StartDay = 0;
};

// The maker's name, also the name of its folder under the machine-wide data folder.
inline constexpr std::string_view CompanyName = "Quorvanta Software";
// The machine-wide application-data folder of this platform.
inline constexpr std::string_view DefaultCommonDataRoot = "/var/lib/";

// The version strings compiled into the program (file version 0.9.0.22 for this release).
TFileVersionInfo CompiledVersionInfo();

// "Windows major.minor.build" from a packed version value: major = lowest byte, minor =
// second byte; build = high 16 bits when the top bit is clear, high 16 bits without their top
// bit when the top bit is set and major < 4, and 0 otherwise.
std::string WindowsVersionText(uint32_t packedVersion);

// This platform's version text: the kernel's name and release, e.g. "Linux 6.1.0-18-amd64".
std::string LinuxVersionText(std::string_view systemName, std::string_view release);

// The running system's version text (from uname; "???" when it cannot be read).
std::string OperatingSystemText();

// One IPv4 address of a local network interface.
struct HostInterface {
    uint8_t address[4] = {};
    bool up = false;
    bool loopback = false;
};

// The host's first address in dotted decimal: the first interface that is up and not the
// loopback, else the first that is up; empty when there is none.
std::string FirstAddressText(const std::vector<HostInterface>& interfaces);

// The company folder below a data root: root + "/" (if missing) + "Quorvanta Software/".
std::string CompanyDataDirBelow(std::string_view commonDataRoot);

// Gathers a fresh record. Creates the company folder below commonDataRoot when it is missing
// (with every missing parent); a failure to create it is ignored. Never touches the network
// beyond the local interface list, so it cannot hang on a name look-up.
TLocalInfo ReadLocalInfo(std::string_view commonDataRoot);

// Fills the program's one record from the real machine; call once, before any window.
void GatherLocalInfo(std::string_view commonDataRoot = DefaultCommonDataRoot);

// The program's record, read-only after GatherLocalInfo (all empty before it).
const TLocalInfo& LocalInfo();

}  // namespace kestro
