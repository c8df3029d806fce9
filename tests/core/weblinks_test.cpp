#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/units/product.h"
#include "core/units/weblinks.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;

TEST(WebAddresses, PathsAndQueriesOnTheBase) {
    const std::string base = "https://quorvanta.example/";
    EXPECT_EQ(OnlineHelpAddress(base), "https://quorvanta.example/kvn/help/?ver=0.9 Beta");
    EXPECT_EQ(VersionCheckAddress(base, "0.9.0.22"),
              "https://quorvanta.example/cgi/version.cgi?what=KVN&ver=0.9.0.22");
    EXPECT_EQ(SupportAddress(base), "https://quorvanta.example/support/?what=KVN&ver=0.9 Beta");
    EXPECT_EQ(ProductPageAddress(base), "https://quorvanta.example/kvn/?ver=0.9 Beta");
    EXPECT_EQ(HomePageAddress(base), "https://quorvanta.example/");
    EXPECT_EQ(ReportSubmissionAddress(base, "p=KVN&v=1"),
              "https://quorvanta.example/cgi/send_bug.cgi?p=KVN&v=1");
}

TEST(WebAddresses, ABaseWithoutTrailingSlashGetsOne) {
    EXPECT_EQ(HomePageAddress("http://127.0.0.1:8080"), "http://127.0.0.1:8080/");
    EXPECT_EQ(ProductPageAddress("http://127.0.0.1:8080"),
              "http://127.0.0.1:8080/kvn/?ver=0.9 Beta");
    EXPECT_EQ(SiteBase(), WebSiteBase.ends_with('/') ? std::string(WebSiteBase)
                                                     : std::string(WebSiteBase) + "/");
}

class LocalHelp : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("kestro-help-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "prefix" / "bin");
    }
    void TearDown() override { fs::remove_all(root); }
    std::string Bin() const { return (root / "prefix" / "bin").string() + "/"; }
    static void Touch(const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "<html></html>";
    }
    fs::path root;
};

TEST_F(LocalHelp, MissingHelpGivesNothing) {
    EXPECT_EQ(LocalHelpPath(Bin()), "");
    // A folder named like the page is not a page.
    fs::create_directories(root / "prefix" / "bin" / "help" / "index.html");
    EXPECT_EQ(LocalHelpPath(Bin()), "");
}

TEST_F(LocalHelp, BesideTheProgramThenTheInstalledCopy) {
    const fs::path installed = root / "prefix" / "share" / "kestro" / "help" / "index.html";
    Touch(installed);
    EXPECT_EQ(LocalHelpPath(Bin()), installed.string());
    const fs::path beside = root / "prefix" / "bin" / "help" / "index.html";
    Touch(beside);
    EXPECT_EQ(LocalHelpPath(Bin()), beside.string());
    // The directory may come without its trailing separator.
    EXPECT_EQ(LocalHelpPath((root / "prefix" / "bin").string()), beside.string());
}

}  // namespace
}  // namespace kestro
