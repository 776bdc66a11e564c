// The low-level half of the localizer: the settings records that tie a module to its
// translated resource modules, loading such a module as a data file after checking that it was
// made for this program, and pointing a module's resource lookups at it (or back at itself).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/ResourceSource.h"
#include "framework/SysUtils.h"

namespace onfly {

using fw::TModuleHandle;  // 0: no module

using fw::Exception;
FW_DECLARE_EXCEPTION(ELocUtilsError, Exception);
FW_DECLARE_EXCEPTION(ELULoadResLibError, ELocUtilsError);
FW_DECLARE_EXCEPTION(ELUInvalidResLibrary, ELocUtilsError);
FW_DECLARE_EXCEPTION(ELUOutOfVersion, ELocUtilsError);

// The contents of one settings record.
class TDLLInfoItem {
public:
    std::string ModuleFile;
    uint32_t LangId = 0;
    uint32_t Revision = 0;
    std::string EnglishLangName;
    std::u16string NativeLangName;
    uint32_t Build = 0;
};

// Owns its items.
class TDLLInfoList {
public:
    TDLLInfoList() = default;
    virtual ~TDLLInfoList();
    TDLLInfoList(const TDLLInfoList&) = delete;
    TDLLInfoList& operator=(const TDLLInfoList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    int Add(TDLLInfoItem* item);
    TDLLInfoItem* Items(int index) const;  // EListError out of range
    void Delete(int index);
    void Clear();
    // Frees every item and leaves the slots empty.
    virtual void FreeItems();

private:
    std::vector<TDLLInfoItem*> items_;
};

// The platform under the utilities: modules, their own resources (never redirected) and the
// runtime's module list with one resource-module handle per module.
class IModuleSystem {
public:
    virtual ~IModuleSystem() = default;
    virtual TModuleHandle MainModule() = 0;
    // The running executable.
    virtual std::string ExeFileName() = 0;
    virtual std::string ModuleFileName(TModuleHandle module) = 0;
    // The module's own RCDATA resource of that name; false when it has none.
    virtual bool FindRCData(TModuleHandle module, const std::string& name, std::vector<uint8_t>& data) = 0;
    // Loads a file as a data file (no code runs); 0 when it cannot be loaded.
    virtual TModuleHandle LoadDataModule(const std::string& fileName) = 0;
    virtual void UnloadModule(TModuleHandle module) = 0;
    // The module that now serves module's resources (module itself when it is not listed).
    virtual TModuleHandle FindResourceModule(TModuleHandle module) = 0;
    // The first list record of module: res becomes its resource module. False when not listed.
    virtual bool FindListRecord(TModuleHandle module, TModuleHandle& res) = 0;
    virtual void SetListRecord(TModuleHandle module, TModuleHandle res) = 0;
    // The instances of the module list, in list order.
    virtual std::vector<TModuleHandle> ListedModules() = 0;
    // String-table text of module, read through the module list.
    virtual bool ReadString(TModuleHandle module, int id, std::u16string& text) = 0;
    // Where a translated module of module takes its untranslated resources from: a loaded
    // module handle for the resource processor, or (handle 0) a file.
    virtual void BuildSource(TModuleHandle module, uintptr_t& handle, std::string& fileName) = 0;
};

// Modules held in memory, for hosts without a module loader and for tests. Files are read with
// the resource processor; string tables and RCDATA are kept.
class THostModuleSystem : public IModuleSystem {
public:
    THostModuleSystem();
    // A module that is already "loaded"; listed in the module list when listed is true.
    TModuleHandle AddModule(const std::string& fileName, bool listed);
    void AddRCData(TModuleHandle module, const std::string& name, std::vector<uint8_t> data);
    void AddString(TModuleHandle module, int id, std::u16string text);
    // Gives module a record in the module list (once).
    void ListModule(TModuleHandle module);
    void SetMainModule(TModuleHandle module) { main_ = module; }
    void SetExeFileName(std::string name) { exe_ = std::move(name); }
    bool IsLoaded(TModuleHandle module) const { return modules_.count(module) != 0; }
    int LoadedCount() const { return static_cast<int>(modules_.size()); }

    TModuleHandle MainModule() override { return main_; }
    std::string ExeFileName() override { return exe_; }
    std::string ModuleFileName(TModuleHandle module) override;
    bool FindRCData(TModuleHandle module, const std::string& name, std::vector<uint8_t>& data) override;
    TModuleHandle LoadDataModule(const std::string& fileName) override;
    void UnloadModule(TModuleHandle module) override;
    TModuleHandle FindResourceModule(TModuleHandle module) override;
    bool FindListRecord(TModuleHandle module, TModuleHandle& res) override;
    void SetListRecord(TModuleHandle module, TModuleHandle res) override;
    std::vector<TModuleHandle> ListedModules() override;
    bool ReadString(TModuleHandle module, int id, std::u16string& text) override;
    void BuildSource(TModuleHandle module, uintptr_t& handle, std::string& fileName) override;

private:
    struct Contents {
        std::map<std::string, std::vector<uint8_t>> RCData;  // names upper-cased
        std::map<int, std::u16string> Strings;
    };
    // Modules loaded from the same bytes share their contents until one is changed.
    struct Module {
        std::string FileName;
        std::shared_ptr<Contents> Data = std::make_shared<Contents>();
        Contents& Writable();
    };
    // The contents of the files read last, by their bytes: loading the same bytes again (a
    // language switched away from and back to) parses nothing.
    struct ParsedFile {
        std::vector<uint8_t> Bytes;
        std::shared_ptr<Contents> Data;
    };
    static constexpr size_t kParsedFiles = 4;
    struct Record {
        TModuleHandle Instance;
        TModuleHandle Res;
    };
    std::map<TModuleHandle, Module> modules_;
    std::vector<ParsedFile> parsed_;  // most recent last
    std::vector<Record> list_;
    TModuleHandle next_ = 0x10000;
    TModuleHandle main_ = 0;
    std::string exe_;
};

// The platform's module system (Windows: the loader and the runtime's module list).
IModuleSystem& DefaultModuleSystem();

class TKLocUtils {
public:
    // system: none takes DefaultModuleSystem(); it must outlive the object.
    explicit TKLocUtils(IModuleSystem* system = nullptr);
    virtual ~TKLocUtils();
    TKLocUtils(const TKLocUtils&) = delete;
    TKLocUtils& operator=(const TKLocUtils&) = delete;

    TDLLInfoList DLLInfos;
    TDLLInfoItem CurrentInfo;
    std::string AppFileName;
    TModuleHandle MainModule = 0;

    IModuleSystem& System() { return *system_; }
    // Points the utilities at another platform (tests); MainModule and AppFileName follow it.
    void SetSystem(IModuleSystem* system);

    // The library ("QLX_LIBSETTINGS_", "LDLL") or executable ("QLX_EXESETTINGS_", "KEXE")
    // record of module, positioned after the signature. ELUInvalidResLibrary when it is
    // missing or carries another signature.
    std::unique_ptr<fw::TStream> OpenSettings(TModuleHandle module, bool isLibrary);
    // ELUInvalidResLibrary also when the record is cut short.
    void ReadModuleInfo(TModuleHandle module, bool isLibrary, TDLLInfoItem& item);
    // A record from the stream's position; fw::EReadError when it is cut short before the end
    // of the second name.
    static void ReadInfoRecord(fw::TStream& stream, TDLLInfoItem& item);
    // module 0: MainModule. An empty file name answers MainModule and loads nothing.
    TModuleHandle LoadResourceModule(TModuleHandle module, const std::string& fileName);
    bool RevisionsMatch(TModuleHandle module, TModuleHandle resModule);
    void SetModuleResources(TModuleHandle module, TModuleHandle resModule);
    void SwitchMainResources(const std::string& fileName);
    void RestoreMainResources();
    void RestoreModuleResources(TModuleHandle module);
    // Settings of the main module's current resource module; never raises.
    TDLLInfoItem& CurrentModuleInfo();

private:
    [[noreturn]] void RaiseInvalid(TModuleHandle module);
    IModuleSystem* system_;
};

// The one instance, created on first use (the localizer's instance uses it first).
TKLocUtils& LocUtilsInstance();

}  // namespace onfly
