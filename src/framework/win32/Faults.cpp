#include "framework/win32/Faults.h"

#include "framework/win32/SysInit.h"

namespace fw {
namespace {

// One guard per active CallGuarded on this thread, innermost first.
struct Guard {
    void* jump[5];  // __builtin_setjmp buffer
    EXCEPTION_RECORD record;
    Guard* outer;
#if defined(__i386__)
    void* sehTop;  // the frame-based handler chain when the guard was set
#endif
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
            return true;
        default:
            // C++ exceptions travel as software exceptions too: never take those. A stack
            // overflow leaves no stack to go on with.
            return false;
    }
}

// First in line for every exception of the process; takes only the faults of a guarded call and
// goes back to where the guard was set. The faulting frames are abandoned, like the frames a
// C++ exception would skip, but without running their destructors: the code that faulted is
// foreign and its state is not to be trusted anyway.
LONG CALLBACK OnFault(EXCEPTION_POINTERS* info) {
    Guard* g = t_guard;
    if (!g || !IsHardwareFault(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    g->record = *info->ExceptionRecord;
    g->record.ExceptionRecord = nullptr;
    __builtin_longjmp(g->jump, 1);
}

void InstallHandlerOnce() {
    static PVOID handler = AddVectoredExceptionHandler(1, &OnFault);
    (void)handler;
}

// Returns false when the call faulted. Kept apart so that nothing of the caller's state lives
// in the frame the jump returns to.
__attribute__((noinline)) bool RunUntilFault(Guard* g, void (*fn)(void*), void* arg) {
    if (__builtin_setjmp(g->jump)) return false;
    fn(arg);
    return true;
}

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
    InstallHandlerOnce();
    Guard g{};
    g.outer = t_guard;
#if defined(__i386__)
    asm volatile("movl %%fs:0, %0" : "=r"(g.sehTop));
#endif
    t_guard = &g;
    bool completed;
    try {
        completed = RunUntilFault(&g, fn, arg);
    } catch (...) {
        t_guard = g.outer;
        throw;
    }
    t_guard = g.outer;
    if (completed) return;
#if defined(__i386__)
    // Registrations of the abandoned frames must not stay on the chain.
    asm volatile("movl %0, %%fs:0" : : "r"(g.sehTop) : "memory");
#endif
    if (g.record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION) throw EAccessViolation(FaultMessage(g.record));
    throw EExternal(FaultMessage(g.record));
}

}  // namespace fw
