#include <windows.h>

#include "product/NVVantraOSVersion.h"

namespace product {
namespace {

class SystemSource : public IOSVersionSource {
public:
    bool GetVersionExtended(TOSVersionRecord& rec) override {
        OSVERSIONINFOEXA v{};
        v.dwOSVersionInfoSize = sizeof v;  // 156
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v))) return false;
        rec = {v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion, v.wProductType};
        return true;
    }
    bool GetVersionBasic(TOSVersionRecord& rec) override {
        OSVERSIONINFOA v{};
        v.dwOSVersionInfoSize = sizeof v;  // 148
        if (!GetVersionExA(&v)) return false;
        rec = {v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion, 0};
        return true;
    }
    Wow64 QueryWow64() override {
        using Proc = BOOL(WINAPI*)(HANDLE, PBOOL);
        auto proc = reinterpret_cast<Proc>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
        if (!proc) return Wow64::Absent;
        BOOL flag = FALSE;
        if (!proc(GetCurrentProcess(), &flag)) return Wow64::Failed;
        return flag ? Wow64::Yes : Wow64::No;
    }
};

}  // namespace

TVantraOSVersion::TVantraOSVersion() {
    SystemSource source;
    Detect(source);
}

}  // namespace product
