#include <gtest/gtest.h>

#include "core/units/errors.h"
#include "core/units/report.h"
#include "core/units/uu.h"

namespace kestro {
namespace {

TEST(EncodeQueryValue, BlanksAndLineBreaks) {
    EXPECT_EQ(EncodeQueryValue("a  b"), "a%20b");
    EXPECT_EQ(EncodeQueryValue("   "), "");
    EXPECT_EQ(EncodeQueryValue(""), "");
    EXPECT_EQ(EncodeQueryValue("first\r\nsecond"), "first%20second");
    EXPECT_EQ(EncodeQueryValue("a\t \n\rb c"), "a%20b%20c");
    // Trimmed at both ends, so no "%20" leads or trails.
    EXPECT_EQ(EncodeQueryValue("\r\n  word \t"), "word");
}

TEST(EncodeQueryValue, ReservedCharacters) {
    EXPECT_EQ(EncodeQueryValue("50% = half & more; #1+"),
              "50%25%20%3D%20half%20%26%20more%3b%20%231%2B");
    // Characters that may stand in a query are kept.
    EXPECT_EQ(EncodeQueryValue("user@host.example/path?x:y!"), "user@host.example/path?x:y!");
}

TEST(EncodeQueryValue, UnicodeWhiteSpaceAndControlsAreTrimmed) {
    // U+3000 ideographic space, U+00A0 no-break space, U+0085 next line, U+2028, U+202F, DEL.
    EXPECT_EQ(EncodeQueryValue("\u3000\u00A0\u0085x\u2028\u202F\x7F"), "x");
    EXPECT_EQ(EncodeQueryValue("\x01\x02ok\x1F"), "ok");
    // U+205F is not in the list of trimmed characters: it stays, as UTF-8 bytes.
    EXPECT_EQ(EncodeQueryValue("\u205Fx"), "%E2%81%9Fx");
    // A no-break space inside the text is not a blank-like character.
    EXPECT_EQ(EncodeQueryValue("a\u00A0b"), "a%C2%A0b");
}

TEST(EncodeQueryValue, NonAsciiGoesAsPercentEncodedUtf8) {
    EXPECT_EQ(EncodeQueryValue("Z\u00FCrich \u20AC5"), "Z%C3%BCrich%20%E2%82%AC5");
    EXPECT_EQ(EncodeQueryValue("\U0001F600"), "%F0%9F%98%80");
    // Bytes that are not UTF-8 go one by one.
    EXPECT_EQ(EncodeQueryValue("a\xFF\xC3z"), "a%FF%C3z");
    // Controls inside the text and characters not allowed in an address are encoded too.
    EXPECT_EQ(EncodeQueryValue("a\x01z"), "a%01z");
    EXPECT_EQ(EncodeQueryValue("<\"x\"|{\\}^`>"), "%3C%22x%22%7C%7B%5C%7D%5E%60%3E");
}

TEST(CleanAssertionMessage, KeepsTheLastElementOfTheSourcePath) {
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed",
                                    "Assertion failure (C:\\work\\units\\glowny, line 1523)"),
              "Assertion failure (glowny, line 1523)");
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed",
                                    "Assertion failure (src/core/units/glowny/points.cpp, line 7)"),
              "Assertion failure (points.cpp, line 7)");
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed", "Assertion failure (a/b\\c, line 1)"),
              "Assertion failure (c, line 1)");
}

TEST(CleanAssertionMessage, LeavesOtherMessagesAlone) {
    // No comma, no separator before the comma, another class, another beginning.
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed", "Assertion failure (a/b line 1)"),
              "Assertion failure (a/b line 1)");
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed", "Assertion failure (glowny, in a/b)"),
              "Assertion failure (glowny, in a/b)");
    EXPECT_EQ(CleanAssertionMessage("EWin32Error", "Assertion failure (a/b, line 1)"),
              "Assertion failure (a/b, line 1)");
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed", "Failure (a/b, line 1)"),
              "Failure (a/b, line 1)");
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed", "Assertion failure ("),
              "Assertion failure (");
}

TEST(CleanAssertionMessage, RealAssertionOfThisProgram) {
    std::string message;
    int line = 0;
    try {
        line = __LINE__ + 1;
        KESTRO_ASSERT(message.size() == 99);
    } catch (const EAssertionFailed& error) {
        message = error.what();
    }
    ASSERT_NE(message.find('/'), std::string::npos) << message;
    EXPECT_EQ(CleanAssertionMessage("EAssertionFailed", message),
              "Assertion failure (report_test.cpp, line " + std::to_string(line) + ")");
}

// The program information of the test error's examples.
TLocalInfo ExampleInfo() {
    TLocalInfo info;
    info.VersionInfo.FileVersion = "0.9.0.22";
    info.ExeSize = 1234567;
    info.WindowsVersion = "Windows 5.1.2600";
    info.UserName = "secret-user";
    info.HostName = "secret-host";
    info.HostAddress = "10.1.2.3";
    info.ExeDir = "/secret/dir/";
    return info;
}

ExceptionFacts TestErrorFacts() {
    ExceptionFacts facts;
    facts.className = "EWin32Error";
    facts.message = "Test Error";
    facts.address = 0x00401234;
    facts.secondAddress = 0x7C81EB33;
    facts.callStack = "0040ABCD, 00405678";
    return facts;
}

TEST(BuildReport, TestErrorWithDifferentAddresses) {
    const ErrorReport report = BuildReport(TestErrorFacts(), ExampleInfo());
    EXPECT_EQ(report.query,
              "p=KVN&v=0.9.0.22&s=1234567&o=Windows%205.1.2600&n=EWin32Error&m=Test%20Error"
              "&c=00000000&a=00401234,7C81EB33&t=0040ABCD,%2000405678");
    EXPECT_EQ(report.text,
              "Program: KVN 0.9.0.22 (1234567 bytes)\r\n"
              "OS:\tWindows 5.1.2600\r\n"
              "Error name:\tEWin32Error\r\n"
              "Error message:\tTest Error\r\n"
              "Error Code:\t00000000\r\n"
              "Address:\t00401234\r\n"
              "Addr. 2:\t7C81EB33\r\n"
              "Call stack:\t0040ABCD, 00405678\r\n");
}

TEST(BuildReport, EqualAddressesHaveNoSecondAddress) {
    ExceptionFacts facts = TestErrorFacts();
    facts.secondAddress = facts.address;
    facts.code = 0xC0000005;
    const ErrorReport report = BuildReport(facts, ExampleInfo());
    EXPECT_NE(report.query.find("&c=C0000005&a=00401234&t="), std::string::npos) << report.query;
    EXPECT_EQ(report.text.find("Addr. 2:"), std::string::npos);
    EXPECT_NE(report.text.find("Error Code:\tC0000005\r\nAddress:\t00401234\r\nCall stack:"),
              std::string::npos);
}

TEST(BuildReport, NoPlatformRecordReportsSecondAddressZero) {
    ExceptionFacts facts = TestErrorFacts();
    facts.secondAddress = 0;
    const ErrorReport report = BuildReport(facts, ExampleInfo());
    EXPECT_NE(report.query.find("&a=00401234,00000000&t="), std::string::npos);
    EXPECT_NE(report.text.find("Addr. 2:\t00000000\r\n"), std::string::npos);
}

TEST(BuildReport, CarriesNoPrivateFacts) {
    const ErrorReport report = BuildReport(TestErrorFacts(), ExampleInfo());
    for (const std::string& text : {report.query, report.text}) {
        EXPECT_EQ(text.find("secret"), std::string::npos) << text;
        EXPECT_EQ(text.find("10.1.2.3"), std::string::npos) << text;
    }
}

TEST(BuildReport, ValuesAreEncodedAndAssertionsCleaned) {
    TLocalInfo info = ExampleInfo();
    info.WindowsVersion = "Linux 6.1.0-1#2&x=y";
    ExceptionFacts facts;
    facts.className = "EAssertionFailed";
    facts.message = "Assertion failure (src/core/units/nnet.cpp, line 12)";
    const ErrorReport report = BuildReport(facts, info);
    EXPECT_NE(report.query.find("&o=Linux%206.1.0-1%232%26x%3Dy&n=EAssertionFailed"
                                "&m=Assertion%20failure%20(nnet.cpp,%20line%2012)&c="),
              std::string::npos)
        << report.query;
    EXPECT_NE(report.text.find("OS:\tLinux 6.1.0-1#2&x=y\r\n"), std::string::npos);
    EXPECT_NE(report.text.find("Error message:\tAssertion failure (nnet.cpp, line 12)\r\n"),
              std::string::npos);
    // An empty call stack gives an empty value and line.
    EXPECT_TRUE(report.query.ends_with("&t="));
    EXPECT_TRUE(report.text.ends_with("Call stack:\t\r\n"));
    EXPECT_EQ(report.query.find(' '), std::string::npos);
}

TEST(FormatCallStack, HexEntriesUpToTheFirstZero) {
    CallStack stack;
    EXPECT_EQ(FormatCallStack(stack), "");
    stack.entries[0] = 0x1A2B;
    stack.entries[1] = 0xFFFFFFFF;
    stack.entries[3] = 7;  // after the 0 in entry 2: not shown
    EXPECT_EQ(FormatCallStack(stack), "00001A2B, FFFFFFFF");
    for (int i = 0; i < CallStackSize; ++i)
        stack.entries[i] = static_cast<uint32_t>(i + 1);
    EXPECT_EQ(FormatCallStack(stack),
              "00000001, 00000002, 00000003, 00000004, 00000005, 00000006, 00000007, 00000008, "
              "00000009, 0000000A, 0000000B");
}

}  // namespace
}  // namespace kestro
