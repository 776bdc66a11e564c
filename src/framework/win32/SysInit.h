// The runtime's module list: one record per module of the program (the executable, loaded
// run-time packages) naming the module that serves its resources. Every string-table read of
// the program goes through it, so pointing a record at a translated resource module translates
// every later lookup.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

struct TLibModule {
    HMODULE Instance = nullptr;
    HMODULE ResInstance = nullptr;   // the module whose resources are used (the module itself by default)
    std::string Name;                // file name without folder and extension
    std::vector<std::string> Units;  // units the module contains (its package information)
};

// Registers the running executable (once) and makes fw::LoadResString read through the list.
void InitModuleList();
// Returns true when it added a record (false: the module already had one).
bool RegisterModule(HMODULE instance);
void UnregisterModule(HMODULE instance);
const std::vector<TLibModule>& LibModuleList();
HMODULE MainInstance();
// The resource module of instance (instance itself when it is not in the list).
HMODULE FindResourceHInstance(HMODULE instance);
// Returns false when instance is not a registered module.
bool SetResourceHInstance(HMODULE instance, HMODULE resInstance);
// String-table text id of the main module's current resource module; false when it has none.
bool LoadResStringFromModule(int id, std::string& out);

// The package-information resource ("PACKAGEINFO", RCDATA): u32 flags, u32 count of required
// packages and their zero-terminated names, u32 count of contained units, each a flags byte
// and a zero-terminated name. Returns false when the module has no such resource; malformed
// data raises EPackageError naming the module.
bool ReadPackageUnits(HMODULE module, std::vector<std::string>& units);
std::vector<std::string> ParsePackageInfo(const void* data, size_t size, const std::string& moduleName);

std::string ModuleFileName(HMODULE module);
// The system's message for an error code, without the trailing line end and period.
std::string SysErrorMessage(uint32_t code);

}  // namespace fw
