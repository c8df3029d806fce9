// The error report: the facts of an unhandled exception, the readable report and the query
// that submits it. Pure text building: the facts that only the running program can give (where
// an exception was raised, the chain of callers) are gathered by the program's throw hook.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "core/units/info.h"

namespace kestro {

// What the error report says about one exception. Code, flags and the second address come
// from a platform exception record; this platform has none for C++ exceptions, so they stay 0.
struct ExceptionFacts {
    std::string className;
    std::string message;
    uint32_t code = 0;
    uint32_t flags = 0;
    uint32_t secondAddress = 0;
    // Where the exception was raised, as a code offset into the program or a library.
    uint32_t address = 0;
    std::string callStack;
};

// The two texts of a report: the query part of the submission address and the readable
// report (lines end in CR LF, a tab separates each label from its value).
struct ErrorReport {
    std::string query;
    std::string text;
};

// Entries of a collected call stack.
inline constexpr int CallStackSize = 11;

// Up to CallStackSize code offsets of return addresses, innermost first; unused entries are 0.
struct CallStack {
    uint32_t entries[CallStackSize] = {};
};

// The report for facts about an exception and the program's information: query keys p, v,
// s, o, n, m, c, a, t in this order; the second address only when it differs from the address.
ErrorReport BuildReport(const ExceptionFacts& facts, const TLocalInfo& info);

// Makes a text (UTF-8) safe as a query value: white space and control characters trimmed from
// both ends; each run of tab, LF, CR and blank becomes one "%20"; # % & + ; = become %23 %25
// %26 %2B %3b %3D; characters beyond ASCII go as their UTF-8 bytes, percent-encoded, and so do
// the ASCII characters that may not stand in an address (other controls, " < > \ ^ ` { | }).
std::string EncodeQueryValue(std::string_view text);

// The message of a failed assertion with the folders of its source path removed ("/" and "\"
// both separate folders); any other message unchanged.
std::string CleanAssertionMessage(std::string_view className, std::string_view message);

// The entries as 8-digit upper-case hexadecimal numbers separated by ", ", up to the first 0.
std::string FormatCallStack(const CallStack& stack);

// Class name and message of an exception in flight; the other facts are left 0 and empty. When
// given, thrownObject receives the address of the thrown object if it is of a standard or the
// program's exception class, else null.
ExceptionFacts NameException(std::exception_ptr exception, const void** thrownObject = nullptr);

// Raises the test error of the main window: class "EWin32Error", message "Test Error".
[[noreturn]] void RaiseTestError();

}  // namespace kestro
