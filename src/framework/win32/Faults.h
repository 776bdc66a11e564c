// Hardware faults (access violation, division by zero, ...) inside code the program does not
// own, such as run-time packages and COM servers, turned into the framework's exceptions, so
// that callers report them like any other failure instead of the process dying.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "framework/SysUtils.h"

namespace fw {

FW_DECLARE_EXCEPTION(EExternal, Exception);
FW_DECLARE_EXCEPTION(EAccessViolation, EExternal);

// The message for a fault, e.g. "Access violation at address 00401234 in module 'x.dll'. Read
// of address 00000000".
std::string FaultMessage(const EXCEPTION_RECORD& record);

// Runs fn(arg). A hardware fault on this thread while it runs abandons the faulting code and
// raises EAccessViolation or EExternal with FaultMessage; C++ exceptions pass unchanged. However
// it ends, the thread's float state (x87 control word, MXCSR) is as before and nothing is left
// pending or on the x87 stack.
void CallGuarded(void (*fn)(void*), void* arg);

// The same for a callable; returns its result.
template <class F>
auto Guarded(F&& f) {
    using R = decltype(f());
    if constexpr (std::is_void_v<R>) {
        CallGuarded([](void* p) { (*static_cast<std::remove_reference_t<F>*>(p))(); }, &f);
    } else {
        std::optional<R> result;
        auto call = [&] { result.emplace(f()); };
        CallGuarded([](void* p) { (*static_cast<decltype(call)*>(p))(); }, &call);
        return std::move(*result);
    }
}

}  // namespace fw
