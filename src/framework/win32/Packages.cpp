#include "framework/win32/Packages.h"

#include <map>
#include <vector>

#include "framework/SysUtils.h"
#include "framework/win32/Faults.h"
#include "framework/win32/SysInit.h"

namespace fw {
namespace {

// Module records this loader added, with the number of loads that share each: a module that
// already had a record (the program itself named as a package, say) keeps it.
std::map<HMODULE, int>& OwnRecords() {
    static std::map<HMODULE, int> records;
    return records;
}

void AddRecord(HMODULE module) {
    auto& own = OwnRecords();
    if (RegisterModule(module))
        own[module] = 1;
    else if (auto it = own.find(module); it != own.end())
        ++it->second;
}

void DropRecord(HMODULE module) {
    auto& own = OwnRecords();
    auto it = own.find(module);
    if (it == own.end()) return;
    if (--it->second == 0) {
        own.erase(it);
        UnregisterModule(module);
    }
}

std::string PackageName(const std::string& fileName) {
    size_t slash = fileName.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

// Refuses a package that contains a unit some module of the process already contains.
void CheckForDuplicateUnits(HMODULE module, const std::vector<std::string>& units) {
    std::string name = PackageName(ModuleFileName(module));
    for (const auto& unit : units)
        for (const auto& m : LibModuleList()) {
            if (m.Instance == module) continue;
            for (const auto& other : m.Units)
                if (SameTextAscii(unit, other))
                    throw EPackageError(Format(
                        "Cannot load package '%s.'  It contains unit '%s,'which is also contained in package '%s'",
                        {name, unit, m.Name}));
        }
}

}  // namespace

HMODULE LoadPackage(const std::string& name) {
    UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(name.c_str());
    DWORD err = GetLastError();
    SetErrorMode(oldMode);
    if (!module) throw EPackageError(Format("Can't load package %s.\r\n%s", {name, SysErrorMessage(err)}));
    try {
        std::vector<std::string> units;
        ReadPackageUnits(module, units);
        CheckForDuplicateUnits(module, units);
        auto init = reinterpret_cast<TPackageInitProc>(reinterpret_cast<void*>(GetProcAddress(module, "Initialize")));
        if (!init) throw EPackageError(Format("Invalid package file '%s'", {ModuleFileName(module)}));
        AddRecord(module);
        // A fault inside the package is its initialisation error.
        if (const char* error = Guarded([init] { return init(); })) throw EPackageError(error);
    } catch (...) {
        DropRecord(module);
        FreeLibrary(module);
        throw;
    }
    return module;
}

void UnloadPackage(HMODULE module) {
    auto fin = reinterpret_cast<TPackageFinalizeProc>(reinterpret_cast<void*>(GetProcAddress(module, "Finalize")));
    if (!fin) {
        DropRecord(module);
        FreeLibrary(module);
        throw EPackageError("Invalid package handle");
    }
    try {
        Guarded([fin] { fin(); });
    } catch (...) {
        DropRecord(module);
        FreeLibrary(module);
        throw;
    }
    DropRecord(module);
    FreeLibrary(module);
}

}  // namespace fw
