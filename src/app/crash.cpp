#include "app/crash.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "core/units/errors.h"

namespace kestro {

namespace {

// ---- Where exceptions were raised ------------------------------------------------------------
// Every C++ throw passes through __cxa_throw, which the program replaces below. The replacement
// notes the thrown object and the address it was thrown from, then hands over to the run-time.
// A few recent throws are kept, so that a throw caught and handled while another is in flight
// does not hide the one that reaches the report.

struct ThrowSite {
    const void* object = nullptr;
    const void* returnAddress = nullptr;
};

constexpr int ThrowSiteCount = 16;
thread_local ThrowSite ThrowSites[ThrowSiteCount];
thread_local int NextThrowSite = 0;

// The address the object was thrown from (null when it is not among the recent throws); with a
// null object, the most recent throw.
const void* ThrowAddressOf(const void* object) {
    for (int i = 1; i <= ThrowSiteCount; ++i) {
        const ThrowSite& site = ThrowSites[(NextThrowSite - i + ThrowSiteCount) % ThrowSiteCount];
        if (site.returnAddress && (!object || site.object == object))
            return site.returnAddress;
    }
    return nullptr;
}

}  // namespace

uint32_t CodeOffset(const void* address) {
    Dl_info program{};
    Dl_info found{};
    void* self = nullptr;
    const auto function = &CodeOffset;
    static_assert(sizeof self == sizeof function);
    std::memcpy(&self, &function, sizeof self);
    if (!address || dladdr(address, &found) == 0 || !found.dli_fbase)
        return 0xFFFFFFFFu;
    const uintptr_t offset =
        reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(found.dli_fbase);
    if (dladdr(self, &program) != 0 && program.dli_fbase == found.dli_fbase)
        return static_cast<uint32_t>(offset & 0x7FFFFFFFu);
    return static_cast<uint32_t>(offset & 0x7FFFFFFFu) | 0x80000000u;
}

__attribute__((noinline)) CallStack CollectCallStack(int skip) {
    KESTRO_ASSERT(skip >= 0);
    // The walk begins inside the walker (and, under a sanitizer, inside its wrapper of the walk);
    // the list begins at the return address into the function that called this one, found by
    // its value, then moves `skip` callers up.
    constexpr int MaxSkip = 60;
    constexpr int Capacity = CallStackSize + MaxSkip + 8;
    void* frames[Capacity] = {};
    const int count = backtrace(frames, Capacity);
    const void* intoCaller = __builtin_return_address(0);
    int first = 1;
    for (int i = 0; i < count && i < 8; ++i) {
        if (frames[i] == intoCaller) {
            first = i;
            break;
        }
    }
    first += skip < MaxSkip ? skip : MaxSkip;
    CallStack stack;
    int filled = 0;
    for (int i = first; i < count && filled < CallStackSize; ++i) {
        if (!frames[i])
            break;
        stack.entries[filled++] = CodeOffset(static_cast<const char*>(frames[i]) - 1);
    }
    return stack;
}

ExceptionFacts DescribeException(std::exception_ptr exception) {
    const void* object = nullptr;
    ExceptionFacts facts = NameException(exception, &object);
    if (!exception)
        return facts;
    const void* raisedAt = ThrowAddressOf(object);
    if (raisedAt)
        facts.address = CodeOffset(static_cast<const char*>(raisedAt) - 1);
    return facts;
}

__attribute__((noinline)) ExceptionFacts CaptureExceptionFacts(std::exception_ptr exception,
                                                               int skip) {
    KESTRO_ASSERT(skip >= 0);
    ExceptionFacts facts = DescribeException(exception);
    // CollectCallStack counts from this function; one frame more counts from its caller.
    facts.callStack = FormatCallStack(CollectCallStack(skip + 1));
    return facts;
}

}  // namespace kestro

// The run-time's throw, replaced so that the report can say where an exception was raised.
namespace __cxxabiv1 {
extern "C" void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*)) {
    using ThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));
    static const ThrowFunction realThrow = [] {
        ThrowFunction function = nullptr;
        void* symbol = dlsym(RTLD_NEXT, "__cxa_throw");
        static_assert(sizeof symbol == sizeof function);
        std::memcpy(&function, &symbol, sizeof function);
        return function;
    }();
    using kestro::NextThrowSite;
    using kestro::ThrowSiteCount;
    kestro::ThrowSites[NextThrowSite] = {object, __builtin_return_address(0)};
    NextThrowSite = (NextThrowSite + 1) % ThrowSiteCount;
    if (!realThrow)
        std::abort();
    realThrow(object, type, destructor);
    __builtin_unreachable();
}
}  // namespace __cxxabiv1
