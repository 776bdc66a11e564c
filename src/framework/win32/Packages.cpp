#include "framework/win32/Packages.h"

#include <vector>

#include "framework/SysUtils.h"
#include "framework/win32/SysInit.h"

namespace fw {
namespace {

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
        RegisterModule(module);
        if (const char* error = init()) throw EPackageError(error);
    } catch (...) {
        UnregisterModule(module);
        FreeLibrary(module);
        throw;
    }
    return module;
}

void UnloadPackage(HMODULE module) {
    auto fin = reinterpret_cast<TPackageFinalizeProc>(reinterpret_cast<void*>(GetProcAddress(module, "Finalize")));
    if (!fin) {
        UnregisterModule(module);
        FreeLibrary(module);
        throw EPackageError("Invalid package handle");
    }
    fin();
    UnregisterModule(module);
    FreeLibrary(module);
}

}  // namespace fw
