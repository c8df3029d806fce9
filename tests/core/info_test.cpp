#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/units/info.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;

TEST(WindowsVersionText, PackedValues) {
    // NT family, 5.1 build 2600 (0x0A28).
    EXPECT_EQ(WindowsVersionText(0x0A280105u), "Windows 5.1.2600");
    EXPECT_EQ(WindowsVersionText(0x23F00206u), "Windows 6.2.9200");
    // Top bit set: the build is kept only below major version 4, without the top bit.
    EXPECT_EQ(WindowsVersionText(0x83E80A03u), "Windows 3.10.1000");
    EXPECT_EQ(WindowsVersionText(0xC0000A04u), "Windows 4.10.0");
    EXPECT_EQ(WindowsVersionText(0u), "Windows 0.0.0");
}

TEST(OperatingSystemText, KernelNameAndRelease) {
    EXPECT_EQ(LinuxVersionText("Linux", "6.1.0-18-amd64"), "Linux 6.1.0-18-amd64");
    EXPECT_EQ(LinuxVersionText("Linux", ""), "Linux");
    EXPECT_EQ(LinuxVersionText("", "6.1"), "Linux 6.1");
    EXPECT_EQ(OperatingSystemText().rfind("Linux ", 0), 0u) << OperatingSystemText();
}

TEST(FirstAddressText, PrefersAnInterfaceThatIsUpAndNotLoopback) {
    const HostInterface loopback{{127, 0, 0, 1}, true, true};
    const HostInterface down{{10, 0, 0, 9}, false, false};
    const HostInterface ethernet{{192, 168, 200, 17}, true, false};
    EXPECT_EQ(FirstAddressText({loopback, down, ethernet}), "192.168.200.17");
    EXPECT_EQ(FirstAddressText({loopback, down}), "127.0.0.1");
    EXPECT_EQ(FirstAddressText({down}), "");
    EXPECT_EQ(FirstAddressText({}), "");
}

TEST(CompiledVersionInfo, VersionStringsOfThisRelease) {
    const TFileVersionInfo info = CompiledVersionInfo();
    EXPECT_EQ(info.FileVersion, "0.9.0.22");
    EXPECT_EQ(info.ProductVersion, "0.9 Beta");
    EXPECT_EQ(info.CompanyName, "Quorvanta Software");
    EXPECT_EQ(info.ProductName, "Kestro Neural Network");
    EXPECT_EQ(info.FileDescription, "Classification results live view");
}

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TempRoot : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("kestro-info-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

using CompanyFolder = TempRoot;

TEST_F(CompanyFolder, CreatedOnFirstStartAndLeftAloneLater) {
    const fs::path company = root / "deeper" / "Quorvanta Software";
    EXPECT_EQ(CompanyDataDirBelow((root / "deeper").string()), company.string() + "/");
    EXPECT_EQ(CompanyDataDirBelow((root / "deeper/").string()), company.string() + "/");
    ASSERT_FALSE(fs::exists(company));

    const TLocalInfo first = ReadLocalInfo((root / "deeper").string());
    EXPECT_EQ(first.CompanyDataDir, company.string() + "/");
    ASSERT_TRUE(fs::is_directory(company));
    std::ofstream(company / "kept.txt") << "kept";

    const TLocalInfo second = ReadLocalInfo((root / "deeper").string());
    EXPECT_EQ(second.CompanyDataDir, first.CompanyDataDir);
    EXPECT_TRUE(fs::exists(company / "kept.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(company), fs::directory_iterator()), 1);
}

TEST_F(CompanyFolder, AFailureToCreateItIsIgnored) {
    // A file where the data root should be: the folder cannot be made.
    std::ofstream(root / "plainfile") << "x";
    TLocalInfo info;
    EXPECT_NO_THROW(info = ReadLocalInfo((root / "plainfile").string()));
    EXPECT_FALSE(fs::exists(root / "plainfile" / "Quorvanta Software"));
    EXPECT_EQ(info.VersionInfo.FileVersion, "0.9.0.22");
}

using GatheredInfo = TempRoot;

TEST_F(GatheredInfo, FactsOfTheRunningProgramAndMachine) {
    const TLocalInfo info = ReadLocalInfo(root.string());
    const fs::path program = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(info.ExeDir, program.parent_path().string() + "/");
    EXPECT_EQ(info.ExeSize, static_cast<int32_t>(fs::file_size(program)));
    EXPECT_GT(info.ExeSize, 0);
    EXPECT_TRUE(info.PersonalDir.ends_with("/")) << info.PersonalDir;
    EXPECT_FALSE(info.UserName.empty());
    EXPECT_NE(info.UserName, "???");
    EXPECT_EQ(info.WindowsVersion, OperatingSystemText());
    EXPECT_EQ(info.BrowserVersion, "||");
    EXPECT_FALSE(info.HostName.empty());
    EXPECT_NE(info.HostName, "???");
    EXPECT_NE(info.HostAddress, "???");
    EXPECT_EQ(info.VersionInfo.ProductVersion, "0.9 Beta");

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(info.StartYear, local.tm_year + 1900);
    EXPECT_EQ(info.StartMonth, local.tm_mon + 1);
    EXPECT_EQ(info.StartDay, local.tm_mday);
}

TEST_F(GatheredInfo, TheProgramRecordIsFilledOnce) {
    GatherLocalInfo(root.string());
    EXPECT_EQ(LocalInfo().CompanyDataDir, (root / "Quorvanta Software").string() + "/");
    EXPECT_EQ(LocalInfo().VersionInfo.FileVersion, "0.9.0.22");
    EXPECT_TRUE(fs::is_directory(root / "Quorvanta Software"));
}

}  // namespace
}  // namespace kestro
