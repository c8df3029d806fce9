// Where an exception was raised and the chain of callers, as the program's throw hook gives them.
#include "app/crash.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/units/report.h"
#include "core/units/uu.h"

namespace kestro {
namespace {

// The offset of a function of this program, or of another loaded file.
uint32_t OffsetOfFunction(void* function) {
    return CodeOffset(function);
}

template <typename F>
void* AddressOf(F* function) {
    void* address = nullptr;
    static_assert(sizeof address == sizeof function);
    std::memcpy(&address, &function, sizeof address);
    return address;
}

// True when offset lies within the first `span` bytes of function.
bool Within(uint32_t offset, void* function, uint32_t span = 0x800) {
    const uint32_t start = OffsetOfFunction(function);
    return offset >= start && offset < start + span;
}

TEST(CodeOffset, ProgramLibrariesAndUnknown) {
    const uint32_t own = CodeOffset(AddressOf(&FormatCallStack));
    EXPECT_EQ(own & 0x80000000u, 0u);
    EXPECT_NE(own, 0u);
    // Two functions of the program keep their distance.
    const auto distance = reinterpret_cast<uintptr_t>(AddressOf(&EncodeQueryValue)) -
                          reinterpret_cast<uintptr_t>(AddressOf(&FormatCallStack));
    EXPECT_EQ(CodeOffset(AddressOf(&EncodeQueryValue)) - own, static_cast<uint32_t>(distance));
    void* libraryFunction = dlsym(RTLD_DEFAULT, "strlen");
    ASSERT_NE(libraryFunction, nullptr);
    EXPECT_EQ(CodeOffset(libraryFunction) & 0x80000000u, 0x80000000u);
    int onTheStack = 0;
    EXPECT_EQ(CodeOffset(&onTheStack), 0xFFFFFFFFu);
    EXPECT_EQ(CodeOffset(nullptr), 0xFFFFFFFFu);
}

CallStack Collected;

__attribute__((noinline)) void Inner(int skip) {
    Collected = CollectCallStack(skip);
    asm volatile("" ::: "memory");  // no tail call: this frame stays on the stack
}

__attribute__((noinline)) void Outer(int skip) {
    Inner(skip);
    asm volatile("" ::: "memory");
}

TEST(CollectCallStack, BeginsAtTheCallerAndSkipsFrames) {
    Outer(0);
    const CallStack noSkip = Collected;
    EXPECT_TRUE(Within(noSkip.entries[0], AddressOf(&Inner))) << FormatCallStack(noSkip);
    EXPECT_TRUE(Within(noSkip.entries[1], AddressOf(&Outer))) << FormatCallStack(noSkip);
    Outer(1);
    const CallStack skipOne = Collected;
    EXPECT_TRUE(Within(skipOne.entries[0], AddressOf(&Outer))) << FormatCallStack(skipOne);
    // The test runner's frames above fill the rest of the list.
    for (int i = 0; i < CallStackSize; ++i)
        EXPECT_NE(skipOne.entries[i], 0u) << i;
}

__attribute__((noinline)) void ThrowRuntimeError() {
    throw std::runtime_error("outer problem");
}

__attribute__((noinline)) void ThrowAndCatchAnother() {
    try {
        throw std::logic_error("handled on the way");
    } catch (const std::logic_error&) {
    }
}

TEST(DescribeException, ClassMessageAndRaisingAddress) {
    std::exception_ptr error;
    try {
        RaiseTestError();
    } catch (...) {
        error = std::current_exception();
    }
    ExceptionFacts facts = DescribeException(error);
    EXPECT_EQ(facts.className, "EWin32Error");
    EXPECT_EQ(facts.message, "Test Error");
    EXPECT_TRUE(Within(facts.address, AddressOf(&RaiseTestError))) << HexLong(facts.address);
    EXPECT_EQ(facts.code, 0u);
    EXPECT_EQ(facts.secondAddress, 0u);

    try {
        ThrowRuntimeError();
    } catch (...) {
        error = std::current_exception();
        // Another exception raised and handled while this one is in flight.
        ThrowAndCatchAnother();
    }
    facts = DescribeException(error);
    EXPECT_EQ(facts.className, "std::runtime_error");
    EXPECT_EQ(facts.message, "outer problem");
    EXPECT_TRUE(Within(facts.address, AddressOf(&ThrowRuntimeError))) << HexLong(facts.address);
}

TEST(DescribeException, ForeignObjectsAndNone) {
    std::exception_ptr error;
    try {
        throw 42;
    } catch (...) {
        error = std::current_exception();
    }
    const ExceptionFacts facts = DescribeException(error);
    EXPECT_EQ(facts.className, "int");
    EXPECT_EQ(facts.message, "");
    EXPECT_EQ(DescribeException(nullptr).className, "");
    EXPECT_EQ(DescribeException(nullptr).address, 0u);
}

ExceptionFacts Captured;

// Stands for the report window's handler, which asks for the callers from its own caller on.
__attribute__((noinline)) void Handler(std::exception_ptr error, int skip) {
    Captured = CaptureExceptionFacts(error, skip);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void CallHandler(std::exception_ptr error, int skip) {
    Handler(error, skip);
    asm volatile("" ::: "memory");
}

// The entries of a formatted call stack ("0040ABCD, 00405678").
std::vector<uint32_t> Entries(const std::string& text) {
    std::vector<uint32_t> entries;
    for (size_t at = 0; at < text.size(); at += 10)
        entries.push_back(static_cast<uint32_t>(std::stoul(text.substr(at, 8), nullptr, 16)));
    return entries;
}

TEST(CaptureExceptionFacts, DescribesTheExceptionAndWalksFromTheCaller) {
    std::exception_ptr error;
    try {
        RaiseTestError();
    } catch (...) {
        error = std::current_exception();
    }
    CallHandler(error, 0);
    const ExceptionFacts fromHandler = Captured;
    CallHandler(error, 1);
    const ExceptionFacts fromCaller = Captured;
    EXPECT_EQ(fromCaller.className, "EWin32Error");
    EXPECT_EQ(fromCaller.message, "Test Error");
    EXPECT_TRUE(Within(fromCaller.address, AddressOf(&RaiseTestError)))
        << HexLong(fromCaller.address);
    // Skip 0 begins in the function that called CaptureExceptionFacts; skip 1 one caller up.
    const std::vector<uint32_t> zero = Entries(fromHandler.callStack);
    const std::vector<uint32_t> one = Entries(fromCaller.callStack);
    ASSERT_GE(zero.size(), 2u) << fromHandler.callStack;
    ASSERT_GE(one.size(), 1u) << fromCaller.callStack;
    EXPECT_TRUE(Within(zero[0], AddressOf(&Handler))) << fromHandler.callStack;
    EXPECT_EQ(one[0], zero[1]) << fromHandler.callStack << " / " << fromCaller.callStack;
}

}  // namespace
}  // namespace kestro
