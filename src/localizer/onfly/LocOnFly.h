// The run-time localizer: switches the running application to another language without a
// restart. It keeps the language model, the list of available languages, builds and loads
// translated resource modules, and re-applies the texts of the model's current language to
// the open forms, frames and data modules through the published properties of the component
// model.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

#include "framework/Classes.h"
#include "framework/Components.h"
#include "localizer/langres/LangFormat.h"
#include "localizer/langres/LangRes.h"
#include "localizer/onfly/LocUtils.h"

namespace langres {
class TLangFile;
}

namespace onfly {

using fw::Exception;
FW_DECLARE_EXCEPTION(ELocOnFlyError, Exception);

// String-table ids of the localizer's messages.
constexpr int SLangFileNotFoundId = 65254;
constexpr int SPathNotExistId = 65255;
constexpr int SNotInitializedId = 65256;
constexpr int SLangNotFoundId = 65257;
constexpr int SCanNotDeleteId = 65258;
constexpr int SInvalidKLangsId = 65259;

class TLFInfoList;
class ILibrarySystem;

// One language the localizer can switch to: a language file in the language folder, or a
// language of the executable's embedded container (no LangFile).
class TLFInfo : public langres::TKObject {
public:
    explicit TLFInfo(TLFInfoList* owner) : Owner(owner) {}
    bool IsNative = false;
    TLFInfoList* Owner;
    std::string LangFile;  // without folder
    uint32_t LangId = 0;
    std::string EnglishLangName;
    std::u16string NativeLangName;
    bool IsEmbedded() const { return LangFile.empty(); }
};

// The available languages, ordered by English name (bytes, case-sensitive); ids are unique.
class TLFInfoList : public langres::TKObjectList {
public:
    std::string Folder;      // as the caller set it
    std::string FolderFull;  // expanded
    // Validates (relative folders are taken from the application's folder) and rescans; the
    // same string again does nothing. ELocOnFlyError when the folder does not exist.
    void SetFolder(const std::string& folder);
    // Merges the application's language files of FolderFull into the list; never removes.
    void Scan();
    int IndexOfLang(uint32_t langId) const;
    bool IsEmbeddedLang(uint32_t langId) const;
    int NativeIndex() const;
    int AddSorted(TLFInfo* info);
    TLFInfo* Items(int index) const { return static_cast<TLFInfo*>(TKObjectList::Items(index)); }
};

// Flags of ExtractEmbeddedLanguage / ReadEmbeddedLanguage.
constexpr uint32_t elRegister = 0x0001;      // list the container's languages not yet listed
constexpr uint32_t elRegisterOnly = 0x0002;  // and extract nothing

// Resolves one segment of an indexed path through an object that is not a collection:
// sender, property name, index; result stays none when the host does not know the object.
using TGetIndexedObjectEvent =
    std::function<void(fw::TObject* sender, const std::string& propName, int index, fw::TObject*& result)>;

class TKLocalizerOnFly;
using TNotifyEvent = std::function<void(TKLocalizerOnFly* sender)>;
using TAfterSwitchEvent = std::function<void(TKLocalizerOnFly* sender, TLFInfo* language)>;

// Uses LocUtilsInstance() for the application file and the module switching.
class TKLocalizerOnFly {
public:
    TKLocalizerOnFly();
    virtual ~TKLocalizerOnFly();
    TKLocalizerOnFly(const TKLocalizerOnFly&) = delete;
    TKLocalizerOnFly& operator=(const TKLocalizerOnFly&) = delete;

    // True until Init ends: no switch events, open forms and screen fonts left alone.
    bool Loading = true;
    bool Initialized = false;
    bool Destroying = false;
    // Set font charsets from the current language (screen fonts on a switch; control fonts
    // where an entry set nothing). Taken from the native language file's KeepCharset option.
    bool AdjustCharset = true;
    // Also switch the loaded libraries that carry their own localization.
    bool TranslateLibraries = false;
    // Delete the previous language's module after a switch; switch back at destruction.
    bool DeleteOldDLLs = false;
    // Language of the resources now in use.
    uint32_t CurrentLangId = 0;
    int CurrentLangIndex = 0;
    // Errors of Init, SwitchToLangCode and the LangFolder setter go to a message box.
    bool ShowErrors = true;
    uint32_t PrevLangId = 0;
    TGetIndexedObjectEvent OnGetIndexedObject;
    TNotifyEvent OnBeforeSwitch;
    TAfterSwitchEvent OnAfterSwitch;

    langres::TLangResource* LangResource() const { return langResource_.get(); }
    TLFInfoList* Languages() const { return languages_.get(); }

    void Init(const std::string& langFolder);
    const std::string& LangFolder() const { return languages_->Folder; }
    void SetLangFolder(const std::string& folder);
    const std::string& LangFolderFull() const { return languages_->FolderFull; }
    const std::string& DLLFolder() const { return dllFolder_; }
    const std::string& DLLFolderFull() const { return dllFolderFull_; }
    void SetDLLFolder(const std::string& folder);
    const std::string& AppFileName() const;
    void SetAppFileName(const std::string& fileName);

    // "", "exe" and "ntv" (any case) mean the native language.
    void SwitchToLangCode(const std::string& code);
    void SwitchLanguage(uint32_t langId, const std::string& code);
    void SwitchToLangFile(const std::string& fileName);
    void SwitchToEmbeddedLang(uint32_t langId);
    void ApplyLanguage(langres::TLangFile& file);
    uint32_t ListNativeLangId() const;
    TModuleHandle MainModule() const;
    // Extracts a language (id 0: the first) of module's container and loads it into model
    // through file: as the native language for id 0, else into a newly appended language.
    bool ReadEmbeddedLanguage(TModuleHandle module, uint32_t langId, uint32_t flags, langres::TLangResource* model,
                              langres::TLangFile& file);
    // Reads module's container, optionally registers its languages and copies one language
    // file image (decompressed) into dest.
    bool ExtractEmbeddedLanguage(TModuleHandle module, uint32_t langId, uint32_t flags, fw::TStream* dest);
    void LoadNativeLanguage();
    // A message box captioned "Localizer Error" with the message and OK.
    virtual void ShowError(const Exception& e);

    // File names derived from the application file.
    std::string LangFileName(const std::string& code) const;
    std::string NativeLangFileName() const;
    std::string NativeSourceFileName() const;
    std::string ModuleFileNameOf(uint32_t langId) const;

    // The loaded libraries with their own localization, switched after the program.
    void SwitchLibraries(const std::string& code);
    // module 0: MainModule. sharesRuntime: the library is in the runtime's module list;
    // otherwise it is reached through its exports.
    void SwitchModule(TModuleHandle module, const std::string& code, bool sharesRuntime);
    bool IsLocalizedModule(TModuleHandle module);
    // Whether current is the module made for own from file (none: from own's build).
    static bool InfoMatches(const TDLLInfoItem& own, const TDLLInfoItem& current, const langres::TLangFile* file);
    ILibrarySystem& LibrarySystem();
    // none: DefaultLibrarySystem(); it must outlive the object.
    void SetLibrarySystem(ILibrarySystem* system) { librarySystem_ = system; }

    virtual void DoAfterSwitch(int index);
    virtual void DoBeforeSwitch();

    // Every open form of the screen, in the screen's order; then every open data module.
    void TranslateForms(langres::TLangResource* res);
    void TranslateDataModules(langres::TLangResource* res);
    // The entries of the component's ancestor classes (nearest first), then its own class's.
    void TranslateComponent(langres::TLangResource* res, fw::TComponent* component);
    void TranslateFormEntry(langres::TLangResource* res, fw::TComponent* component, langres::TLResFormItem* entry);
    // prefix: the property path below the target that the entry's component path went on into.
    void ApplyEntryProperties(langres::TLResComponentItem* entry, fw::TObject* target, const std::string* prefix);
    void ApplyIndexedEntry(fw::TComponent* owner, langres::TLResComponentItem* entry, const std::string& name);
    // Whether a published property was found for the first segment of path.
    bool SetTranslatedProperty(fw::TObject* target, const std::string& path, langres::TLResValue* value);
    bool SetSpecialProperty(fw::TObject* target, const std::string& path, langres::TLResValue* value);

    static void SetFontCharset(fw::TObject* target, int32_t charset);
    static fw::TComponent* FindComponentDeep(fw::TComponent* owner, const std::string& name);
    static fw::TComponent* FindComponentByPath(fw::TComponent* owner, const std::string& path, std::string& rest);
    static bool ClassChainHasName(const fw::TObject* target, std::initializer_list<const char*> names);

private:
    fw::TObject* IndexedObject(fw::TObject* sender, const std::string& propName, int index);
    // Runs f; with ShowErrors an error of the base exception class is shown and swallowed.
    template <class F>
    void Guarded(F f);
    std::unique_ptr<langres::TLangResource> langResource_;
    std::unique_ptr<TLFInfoList> languages_;
    std::string dllFolder_;
    std::string dllFolderFull_;
    ILibrarySystem* librarySystem_ = nullptr;
    // What each model language above the native one was loaded from: a module built from it
    // must carry that file's texts, not those of an earlier file of the same language.
    struct TModelSource {
        std::string FileName;  // empty: the embedded container
        uint32_t Revision = 0;
        uint32_t Build = 0;
    };
    std::map<int, TModelSource> modelSources_;
    static TModelSource SourceOf(const langres::TLangFile& file);
    int ModelIndexFor(langres::TLangFile& file);
};

// Runs f; a language file that is no language file says which file it is.
template <class F>
auto NamingLangFile(const std::string& fileName, F f) -> decltype(f()) {
    try {
        return f();
    } catch (langres::ELFProcError& e) {
        std::string prefix = "Language file \"" + fileName + "\": ";
        if (e.Message().compare(0, prefix.size(), prefix) != 0) e.SetMessage(prefix + e.Message());
        throw;
    }
}

// Whether a language code may be put into a file name: a locale abbreviation (letters, digits,
// '-' and '_') or empty; no separator, dot or drive can lead outside the folder.
bool IsPlainLangCode(const std::string& code);

}  // namespace onfly
