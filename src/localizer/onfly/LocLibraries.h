// Libraries that carry their own localization: those sharing the program's runtime are reached
// through the runtime's module list, those with a runtime of their own through two functions
// they export. This header holds the record those exports fill and the platform under them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "localizer/onfly/LocUtils.h"

namespace onfly {

// The export that makes a library load a translated module and describe it, and the one that
// sends it back to its own resources. On i686 both are __stdcall:
//   void __stdcall SwitchToFile(const char* fileName, TDLLInfoRecord* info);
//   void __stdcall BackToModuleRes(HMODULE module);
constexpr const char* SSwitchExport = "SwitchToFile";
constexpr const char* SReturnExport = "BackToModuleRes";

// The block a library's switch export fills: fixed offsets, same on every build.
struct TDLLInfoRecord {
    char ModuleFile[260];  // 8-bit, ends at the first zero or the field's end
    uint32_t LangId;
    uint32_t Revision;
    char EnglishLangName[1024];     // 8-bit, as above
    char16_t NativeLangName[1024];  // UTF-16, as above
    uint32_t Build;
};
static_assert(sizeof(TDLLInfoRecord) == 3344);
static_assert(offsetof(TDLLInfoRecord, LangId) == 260);
static_assert(offsetof(TDLLInfoRecord, Revision) == 264);
static_assert(offsetof(TDLLInfoRecord, EnglishLangName) == 268);
static_assert(offsetof(TDLLInfoRecord, NativeLangName) == 1292);
static_assert(offsetof(TDLLInfoRecord, Build) == 3340);

// Copies the record field by field; names end at their first zero or at their field's end, so
// an unterminated name never reads into the next field.
void CopyInfoRecord(const TDLLInfoRecord& record, TDLLInfoItem& item);
// The reverse, for libraries written with this code; names longer than their field are cut.
void FillInfoRecord(const TDLLInfoItem& item, TDLLInfoRecord& record);

// The process's modules and the exports of libraries with a runtime of their own.
class ILibrarySystem {
public:
    virtual ~ILibrarySystem() = default;
    // Every module mapped into the process (data-file modules need not be included).
    virtual std::vector<TModuleHandle> ProcessModules() = 0;
    virtual bool HasExport(TModuleHandle module, const std::string& name) = 0;
    // False when the library does not export the function (nothing is called then).
    virtual bool CallSwitchExport(TModuleHandle module, const std::string& fileName, TDLLInfoRecord& record) = 0;
    virtual bool CallReturnExport(TModuleHandle module) = 0;
};

// The exports as functions, for hosts without a loader and for tests.
class THostLibrarySystem : public ILibrarySystem {
public:
    using TSwitchFn = std::function<void(const std::string& fileName, TDLLInfoRecord& record)>;
    using TReturnFn = std::function<void(TModuleHandle module)>;

    // Modules in the order the process enumerates them.
    void AddProcessModule(TModuleHandle module) { process_.push_back(module); }
    void SetSwitchExport(TModuleHandle module, TSwitchFn fn) { exports_[module].Switch = std::move(fn); }
    void SetReturnExport(TModuleHandle module, TReturnFn fn) { exports_[module].Return = std::move(fn); }

    std::vector<TModuleHandle> ProcessModules() override;
    bool HasExport(TModuleHandle module, const std::string& name) override;
    bool CallSwitchExport(TModuleHandle module, const std::string& fileName, TDLLInfoRecord& record) override;
    bool CallReturnExport(TModuleHandle module) override;

private:
    struct Exports {
        TSwitchFn Switch;
        TReturnFn Return;
    };
    std::vector<TModuleHandle> process_;
    std::map<TModuleHandle, Exports> exports_;
};

// The platform's (Windows: tool-help snapshot, or the process-status library on old NT).
ILibrarySystem& DefaultLibrarySystem();

}  // namespace onfly
