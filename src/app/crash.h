// The facts of an exception that only the running program can give: where it was raised and the
// chain of callers. This library replaces the C++ run-time's throw so that every throw notes its
// site; a static library's object that defines it is pulled into any program that throws, so
// only the program and the tests of these facts link it (not core, not the window library).
#pragma once

#include <cstdint>
#include <exception>

#include "core/units/report.h"

namespace kestro {

// A code address as a 32-bit offset that means something after the program ends: for code of
// the program itself, the offset from the program's load address (give it to addr2line -e
// kestro); for code in a shared library, the offset within that library with the top bit set;
// 0xFFFFFFFF when the address lies in no loaded file.
uint32_t CodeOffset(const void* address);

// The chain of callers: up to 11 return addresses as code offsets, each minus 1 so that it
// points into its call instruction. With skip 0 the list begins with the return address into the
// function that called this one; each further skipped frame moves it one caller up.
CallStack CollectCallStack(int skip);

// Class name, message and raising address of an exception in flight (code, flags, second
// address and call stack are left 0 and empty).
ExceptionFacts DescribeException(std::exception_ptr exception);

// The facts the error report gives for an exception in flight: those of DescribeException and
// the call stack, which with skip 0 begins with the return address into the function that called
// this one.
ExceptionFacts CaptureExceptionFacts(std::exception_ptr exception, int skip);

}  // namespace kestro
