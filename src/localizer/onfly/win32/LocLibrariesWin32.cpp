// The process's modules and the exports of libraries with a runtime of their own, on Windows.
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include <algorithm>

#include "localizer/onfly/LocLibraries.h"

namespace onfly {

namespace {

using TSwitchToFile = void(WINAPI*)(const char* fileName, TDLLInfoRecord* info);
using TBackToModuleRes = void(WINAPI*)(HMODULE module);
using TEnumProcessModules = BOOL(WINAPI*)(HANDLE process, HMODULE* modules, DWORD cb, DWORD* needed);

HMODULE H(TModuleHandle m) {
    return reinterpret_cast<HMODULE>(m);
}

bool OldNT() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&v)) return false;
#pragma GCC diagnostic pop
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion < 5;
}

// NT 4 has no tool-help: the process-status library, loaded for the call only.
std::vector<TModuleHandle> StatusModules() {
    std::vector<TModuleHandle> out;
    HMODULE psapi = LoadLibraryA("PSAPI.dll");
    if (!psapi) return out;
    auto enumModules =
        reinterpret_cast<TEnumProcessModules>(reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcessModules")));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
    if (enumModules && process) {
        HMODULE buf[4096 / sizeof(HMODULE)];
        DWORD needed = 0;
        if (enumModules(process, buf, sizeof buf, &needed)) {
            // needed counts every module, also those that did not fit.
            DWORD n = std::min<DWORD>(needed, sizeof buf) / sizeof(HMODULE);
            for (DWORD i = 0; i < n; ++i) out.push_back(reinterpret_cast<TModuleHandle>(buf[i]));
        }
    }
    if (process) CloseHandle(process);
    FreeLibrary(psapi);
    return out;
}

std::vector<TModuleHandle> SnapshotModules() {
    std::vector<TModuleHandle> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snap == INVALID_HANDLE_VALUE) return out;
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Module32First(snap, &entry); ok; ok = Module32Next(snap, &entry))
        out.push_back(reinterpret_cast<TModuleHandle>(entry.hModule));
    CloseHandle(snap);
    return out;
}

FARPROC Export(TModuleHandle module, const std::string& name) {
    return GetProcAddress(H(module), name.c_str());
}

class TWin32LibrarySystem : public ILibrarySystem {
public:
    std::vector<TModuleHandle> ProcessModules() override { return OldNT() ? StatusModules() : SnapshotModules(); }

    bool HasExport(TModuleHandle module, const std::string& name) override { return Export(module, name) != nullptr; }

    bool CallSwitchExport(TModuleHandle module, const std::string& fileName, TDLLInfoRecord& record) override {
        auto fn = reinterpret_cast<TSwitchToFile>(reinterpret_cast<void*>(Export(module, SSwitchExport)));
        if (!fn) return false;
        fn(fileName.c_str(), &record);
        return true;
    }

    bool CallReturnExport(TModuleHandle module) override {
        auto fn = reinterpret_cast<TBackToModuleRes>(reinterpret_cast<void*>(Export(module, SReturnExport)));
        if (!fn) return false;
        fn(H(module));
        return true;
    }
};

}  // namespace

ILibrarySystem& DefaultLibrarySystem() {
    static TWin32LibrarySystem system;
    return system;
}

}  // namespace onfly
