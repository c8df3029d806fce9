// Exceptions of the program and the always-on assertion of its own logic.
#pragma once

#include <stdexcept>
#include <string>

namespace kestro {

// Base of every exception the program raises itself; carries the class name shown in the
// error report.
class Exception : public std::runtime_error {
  public:
    Exception(std::string className, const std::string& message)
        : std::runtime_error(message), className_(std::move(className)) {}
    const std::string& ClassName() const { return className_; }

  private:
    std::string className_;
};

// A violated precondition of the program's own logic.
class EAssertionFailed : public Exception {
  public:
    explicit EAssertionFailed(const std::string& message)
        : Exception("EAssertionFailed", message) {}
};

// Throws EAssertionFailed with the message "Assertion failure (PATH, line N)".
[[noreturn]] void FailAssertion(const char* path, int line);

}  // namespace kestro

// Always-on check of the program's own logic; never compiled out.
#define KESTRO_ASSERT(condition)                         \
    do {                                                 \
        if (!(condition))                                \
            ::kestro::FailAssertion(__FILE__, __LINE__); \
    } while (false)
