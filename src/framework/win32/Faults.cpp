#include "framework/win32/Faults.h"

#include "framework/win32/SysInit.h"

namespace fw {
namespace {

// The float state of the thread: foreign code may unmask faults, change precision or rounding,
// or leave a fault pending or values on the x87 stack, and return normally all the same; the
// program's own float code after the call must neither fault nor compute differently.
struct TFloatState {
    unsigned short control;
    unsigned mxcsr;
    bool sse;
};

void SaveFloatState(TFloatState& s) {
    asm volatile("fnstcw %0" : "=m"(s.control));
#if defined(__x86_64__)
    s.sse = true;
#else
    s.sse = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
#endif
    if (s.sse) asm volatile("stmxcsr %0" : "=m"(s.mxcsr));
}

// fninit drops pending x87 faults and what is left on the register stack.
void RestoreFloatState(const TFloatState& s) {
    asm volatile("fninit\n\tfldcw %0" : : "m"(s.control) : "memory");
    if (s.sse) asm volatile("ldmxcsr %0" : : "m"(s.mxcsr) : "memory");
}

// One guard per active CallGuarded on this thread, innermost first.
struct Guard {
#if defined(__i386__)
    // The guard's own entry on the frame-based handler chain (fs:0); first, so that the
    // handler finds the guard from it.
    struct {
        void* prev;
        void* handler;
    } registration;
    void* sehTop;  // the chain when the guard was set
#endif
    void* jump[5];  // __builtin_setjmp buffer
    EXCEPTION_RECORD record;
    TFloatState fpu;
    Guard* outer;
    volatile bool faulted;
};

thread_local Guard* t_guard = nullptr;

bool IsHardwareFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_STACK_CHECK:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_PRIV_INSTRUCTION:
        case 0xC00002B4:  // STATUS_FLOAT_MULTIPLE_FAULTS (SSE)
        case 0xC00002B5:  // STATUS_FLOAT_MULTIPLE_TRAPS (SSE)
            return true;
        default:
            // C++ exceptions travel as software exceptions too: never take those. A stack
            // overflow leaves no stack to go on with.
            return false;
    }
}

bool Unwinding(const EXCEPTION_RECORD* rec) {
    return (rec->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0;
}

}  // namespace

#if defined(__i386__)

// The guard's frame-based handler. Frames of the foreign code registered after the guard come
// before it on the chain, so it sees only what they left. It lets those frames unwind (their
// finally blocks run and they leave the chain), as any exception leaving them would, and
// goes back to where the guard was set.
extern "C" EXCEPTION_DISPOSITION __cdecl vtpGuardFrameHandler(EXCEPTION_RECORD* rec, void* frame, CONTEXT*, void*) {
    if (Unwinding(rec) || !IsHardwareFault(rec->ExceptionCode)) return ExceptionContinueSearch;
    // Kept in memory: the unwinder need not keep the callee-saved registers.
    Guard* volatile g = static_cast<Guard*>(frame);
    g->record = *rec;
    g->record.ExceptionRecord = nullptr;
    RestoreFloatState(g->fpu);  // the foreign finally blocks must not fault on a pending one
    RtlUnwind(frame, nullptr, nullptr, nullptr);
    __builtin_longjmp(g->jump, 1);
}

namespace {

void* ChainTop() {
    void* top;
    asm volatile("movl %%fs:0, %0" : "=r"(top));
    return top;
}

void SetChainTop(void* top) {
    asm volatile("movl %0, %%fs:0" : : "r"(top) : "memory");
}

// Returns false when the call faulted. Kept apart so that nothing of the caller's state lives
// in the frame the jump returns to.
__attribute__((noinline)) bool RunUntilFault(Guard* g, void (*fn)(void*), void* arg) {
    g->registration.prev = g->sehTop;
    g->registration.handler = reinterpret_cast<void*>(&vtpGuardFrameHandler);
    SetChainTop(&g->registration);
    if (__builtin_setjmp(g->jump)) return false;
    fn(arg);
    return true;
}

}  // namespace

#else

// The guard's handler in the unwind table of RunUntilFault: the frames of the foreign code come
// first. It unwinds them (their termination handlers run) and resumes RunUntilFault where the
// call would have returned.
extern "C" EXCEPTION_DISPOSITION vtpGuardFrameHandler(EXCEPTION_RECORD* rec, void* frame, CONTEXT*,
                                                      DISPATCHER_CONTEXT* dc) {
    Guard* g = t_guard;
    if (Unwinding(rec) || !g || !IsHardwareFault(rec->ExceptionCode)) return ExceptionContinueSearch;
    g->record = *rec;
    g->record.ExceptionRecord = nullptr;
    g->faulted = true;
    RestoreFloatState(g->fpu);
    RtlUnwindEx(frame, reinterpret_cast<void*>(dc->ControlPc), rec, nullptr, dc->ContextRecord, dc->HistoryTable);
    return ExceptionContinueSearch;  // not reached
}

namespace {

// Returns false when the call faulted.
__attribute__((noinline)) bool RunUntilFault(Guard* g, void (*fn)(void*), void* arg) {
    asm volatile(".seh_handler vtpGuardFrameHandler, @except");
    g->faulted = false;
    fn(arg);
    return !g->faulted;
}

}  // namespace

#endif

namespace {

std::string Hex(ULONG_PTR value) {
    char buf[2 * sizeof value + 1];
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < 2 * sizeof value; ++i) buf[i] = digits[(value >> (4 * (2 * sizeof value - 1 - i))) & 15];
    buf[2 * sizeof value] = '\0';
    return buf;
}

std::string ModuleOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return {};
    std::string path = ModuleFileName(module);
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace
std::string FaultMessage(const EXCEPTION_RECORD& record) {
    const void* at = record.ExceptionAddress;
    std::string where = "at address " + Hex(reinterpret_cast<ULONG_PTR>(at));
    std::string module = ModuleOf(at);
    if (!module.empty()) where += " in module '" + module + "'";
    switch (record.ExceptionCode) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR: {
            std::string what =
                record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION ? "Access violation " : "In-page error ";
            if (record.NumberParameters >= 2) {
                const char* op = record.ExceptionInformation[0] == 1   ? "Write"
                                 : record.ExceptionInformation[0] == 8 ? "Execution"
                                                                       : "Read";
                return what + where + ". " + op + " of address " + Hex(record.ExceptionInformation[1]);
            }
            return what + where;
        }
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "Division by zero " + where;
        case EXCEPTION_INT_OVERFLOW:
            return "Integer overflow " + where;
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
            return "Floating point division by zero " + where;
        case EXCEPTION_FLT_OVERFLOW:
            return "Floating point overflow " + where;
        case EXCEPTION_FLT_UNDERFLOW:
            return "Floating point underflow " + where;
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_STACK_CHECK:
            return "Invalid floating point operation " + where;
        case EXCEPTION_PRIV_INSTRUCTION:
            return "Privileged instruction " + where;
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "Illegal instruction " + where;
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
            return "Array bounds exceeded " + where;
        case EXCEPTION_DATATYPE_MISALIGNMENT:
            return "Misaligned data access " + where;
        default:
            return "External exception " + Hex(record.ExceptionCode).substr(2 * sizeof(ULONG_PTR) - 8) + " " + where;
    }
}

void CallGuarded(void (*fn)(void*), void* arg) {
    Guard g{};
    g.outer = t_guard;
    SaveFloatState(g.fpu);
#if defined(__i386__)
    g.sehTop = ChainTop();
#endif
    // Every way out (a normal return, a fault, a C++ exception) leaves the thread as the guard
    // found it: the guard's own entry and those of abandoned or skipped foreign frames (a C++
    // exception passes them without unwinding them) do not stay on the chain, and the x87
    // control word, a clean x87 status (nothing pending, an empty register stack) and MXCSR are
    // as before the call.
    auto leave = [&g] {
        t_guard = g.outer;
#if defined(__i386__)
        SetChainTop(g.sehTop);
#endif
        RestoreFloatState(g.fpu);
    };
    t_guard = &g;
    bool completed;
    try {
        completed = RunUntilFault(&g, fn, arg);
    } catch (...) {
        leave();
        throw;
    }
    leave();
    if (completed) return;
    if (g.record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION) throw EAccessViolation(FaultMessage(g.record));
    throw EExternal(FaultMessage(g.record));
}

}  // namespace fw
