// The guard around foreign code: a fault nobody handles becomes the framework's exception, foreign
// code keeps its own handlers, and the thread's handler chain survives every way out.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "framework/win32/Faults.h"

using namespace fw;

namespace {

int g_fallback = 42;
const int* volatile g_bad = reinterpret_cast<const int*>(16);
volatile bool g_resume = true;  // whether the foreign handler takes the access violation
volatile int g_unwound = 0;     // unwind calls the foreign handler received

// Reads *p with the address in eax/rax, so that a handler can point it elsewhere and resume.
int ReadThroughAx(const int* p) {
    uintptr_t r = reinterpret_cast<uintptr_t>(p);
    asm volatile("movl (%0), %k0" : "+a"(r) : : "memory");
    return static_cast<int>(r);
}

}  // namespace

// The handler of a foreign function that catches its own access violations: it points the read
// at a value of its own and goes on.
extern "C" EXCEPTION_DISPOSITION vtpTestForeignHandler(EXCEPTION_RECORD* rec, void*, CONTEXT* ctx, void*) {
    if (rec->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
        g_unwound = g_unwound + 1;
        return ExceptionContinueSearch;
    }
    if (rec->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || !g_resume) return ExceptionContinueSearch;
#if defined(__i386__)
    ctx->Eax = reinterpret_cast<DWORD>(&g_fallback);
#else
    ctx->Rax = reinterpret_cast<DWORD64>(&g_fallback);
#endif
    return ExceptionContinueExecution;
}

namespace {

#if defined(__i386__)
struct TRegistration {
    TRegistration* prev;
    void* handler;
};

void* ChainTop() {
    void* top;
    asm volatile("movl %%fs:0, %0" : "=r"(top));
    return top;
}

void SetChainTop(void* top) {
    asm volatile("movl %0, %%fs:0" : : "r"(top) : "memory");
}

// Foreign code with its own frame-based handler, registered by hand as its compiler would; it
// reads *p, then calls then().
__attribute__((noinline)) int ForeignRead(const int* p, void (*then)()) {
    volatile TRegistration reg{static_cast<TRegistration*>(ChainTop()),
                               reinterpret_cast<void*>(&vtpTestForeignHandler)};
    SetChainTop(const_cast<TRegistration*>(&reg));
    int v = ReadThroughAx(p);
    if (then) then();
    SetChainTop(reg.prev);
    return v;
}
#else
// Foreign code whose unwind table names its own handler.
__attribute__((noinline)) int ForeignRead(const int* p, void (*then)()) {
    asm volatile(".seh_handler vtpTestForeignHandler, @except, @unwind");
    int v = ReadThroughAx(p);
    if (then) then();
    return v;
}
#endif

std::string Hex(uintptr_t v) {
    char buf[2 * sizeof v + 1];
    for (size_t i = 0; i < 2 * sizeof v; ++i) buf[i] = "0123456789ABCDEF"[(v >> (4 * (2 * sizeof v - 1 - i))) & 15];
    buf[2 * sizeof v] = '\0';
    return buf;
}

}  // namespace

TEST(Faults, ForeignCodeSeesItsOwnFaultsFirst) {
    g_resume = true;
    try {
        EXPECT_EQ(Guarded([] { return ForeignRead(g_bad, nullptr); }), 42);
    } catch (const Exception& e) {
        ADD_FAILURE() << "a fault the foreign code handled failed the call: " << e.Message();
    }
    // The system's own probes catch their faults themselves.
    try {
        EXPECT_NE(Guarded([] { return IsBadReadPtr(reinterpret_cast<void*>(16), 4); }), 0);
        EXPECT_NE(Guarded([] { return IsBadWritePtr(reinterpret_cast<void*>(16), 4); }), 0);
        EXPECT_EQ(Guarded([] { return IsBadReadPtr(&g_fallback, sizeof g_fallback); }), 0);
    } catch (const Exception& e) {
        ADD_FAILURE() << "IsBadReadPtr inside a guard: " << e.Message();
    }
}

TEST(Faults, AFaultNobodyTakesIsAnAccessViolationAndTheForeignFramesAreUnwound) {
    g_resume = false;
    g_unwound = 0;
    try {
        Guarded([] { return ForeignRead(g_bad, nullptr); });
        ADD_FAILURE() << "a fault passed";
    } catch (const EAccessViolation& e) {
        const std::string m = e.Message();
        EXPECT_EQ(m.rfind("Access violation at address ", 0), 0u) << m;
        const std::string tail = ". Read of address " + Hex(16);
        EXPECT_EQ(m.substr(m.size() - std::min(m.size(), tail.size())), tail) << m;
    }
    // Its frame was told, as a frame is that an exception leaves.
    EXPECT_EQ(g_unwound, 1);
    // A guard inside a guard takes the inner fault; the outer call goes on.
    bool innerFailed = false;
    EXPECT_NO_THROW(Guarded([&] {
        try {
            Guarded([] { return ForeignRead(g_bad, nullptr); });
        } catch (const EAccessViolation&) {
            innerFailed = true;
        }
    }));
    EXPECT_TRUE(innerFailed);
    g_resume = true;
}

TEST(Faults, CxxExceptionsPassUnchanged) {
#if defined(__i386__)
    void* const chain = ChainTop();  // checked below; kept sound for the tests after this one
#endif
    g_resume = true;
    try {
        Guarded([] {
            ForeignRead(
                &g_fallback, +[] { throw std::runtime_error("from a callback"); });
        });
        ADD_FAILURE() << "the exception was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "from a callback");
    }
#if defined(__i386__)
    SetChainTop(chain);
#endif
    EXPECT_EQ(Guarded([] { return ForeignRead(g_bad, nullptr); }), 42);
}

namespace {

struct TFloatState {
    unsigned short Control, Status;
    unsigned Mxcsr;
};

bool HasSse() {
    return IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
}

TFloatState FloatState() {
    TFloatState s{};
    asm volatile("fnstcw %0" : "=m"(s.Control));
    asm volatile("fnstsw %0" : "=m"(s.Status));
    if (HasSse()) asm volatile("stmxcsr %0" : "=m"(s.Mxcsr));
    return s;
}

void SetFloatState(unsigned short control, unsigned mxcsr) {
    asm volatile("fninit\n\tfldcw %0" : : "m"(control));
    if (HasSse()) asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

volatile double g_zero = 0.0;

// What foreign code may leave behind: faults unmasked, other precision and rounding, a division
// by zero pending in the x87 unit and a value on its stack.
void SpoilFloatState() {
    const unsigned short control = 0x1F32;
    asm volatile("fldcw %0" : : "m"(control));
    if (HasSse()) {
        const unsigned csr = 0x7900;
        asm volatile("ldmxcsr %0" : : "m"(csr));
    }
    const double zero = g_zero;
    asm volatile("fld1\n\tfdivl %0" : : "m"(zero) : "memory");
}

}  // namespace

// Whichever way a guarded call ends, the caller's float state is as before it: control word and
// MXCSR as they were (not the defaults), nothing pending, an empty x87 stack.
TEST(Faults, TheFloatStateIsRestoredOnEveryWayOut) {
    const TFloatState ours = FloatState();
    const unsigned short control = 0x027F;  // 53-bit precision, every fault masked
    const unsigned csr = 0x1FC0;            // denormals are zero
    struct Way {
        const char* Name;
        void (*Run)();
    } ways[] = {
        {"a normal return", [] { Guarded([] { SpoilFloatState(); }); }},
        {"a fault",
         [] {
             try {
                 Guarded([] {
                     SpoilFloatState();
                     return ForeignRead(g_bad, nullptr);
                 });
             } catch (const EAccessViolation&) {
             }
         }},
        {"a C++ exception",
         [] {
             try {
                 Guarded([] {
                     SpoilFloatState();
                     throw std::runtime_error("after spoiling");
                 });
             } catch (const std::runtime_error&) {
             }
         }},
    };
    g_resume = false;
    for (const Way& way : ways) {
        SetFloatState(control, csr);
        way.Run();
        const TFloatState after = FloatState();
        EXPECT_EQ(after.Control, control) << way.Name << std::hex << ": " << after.Control;
        EXPECT_EQ(after.Status, 0) << way.Name << std::hex << ": " << after.Status;
        if (HasSse()) EXPECT_EQ(after.Mxcsr, csr) << way.Name << std::hex << ": " << after.Mxcsr;
        SetFloatState(control, csr);  // so that a failure above does not fault below
        volatile double zero = 0.0;
        volatile double inf = 1.0 / zero;
        EXPECT_GT(inf, 1e308) << way.Name;
    }
    g_resume = true;
    SetFloatState(ours.Control, ours.Mxcsr);
}

#if defined(__i386__)
// The frame-based handler chain of the thread (fs:0) is as before the guard after a normal
// return, after a fault, and after a C++ exception that left through a foreign frame that
// registered a handler of its own.
TEST(Faults, TheHandlerChainIsRestoredOnEveryWayOut) {
    void* const before = ChainTop();
    g_resume = true;
    EXPECT_EQ(Guarded([] { return ForeignRead(&g_fallback, nullptr); }), 42);
    EXPECT_EQ(ChainTop(), before) << "after a normal return";
    g_resume = false;
    EXPECT_THROW(Guarded([] { return ForeignRead(g_bad, nullptr); }), EAccessViolation);
    EXPECT_EQ(ChainTop(), before) << "after a fault";
    SetChainTop(before);
    g_resume = true;
    try {
        Guarded([] {
            ForeignRead(
                &g_fallback, +[] { throw std::runtime_error("through a foreign frame"); });
        });
    } catch (const std::runtime_error&) {
    }
    void* after = ChainTop();
    // Repaired before anything can fault on a chain into dead stack.
    SetChainTop(before);
    EXPECT_EQ(after, before) << "after a C++ exception through a foreign frame";
}
#endif
