// Switching the loaded libraries that carry their own localization to the program's language.
#include "localizer/onfly/LocLibraries.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/onfly/LocOnFly.h"
#include "localizer/onfly/OnFlyPlatform.h"

namespace onfly {

using namespace fw;
using langres::TLangFile;
namespace pf = platform;

namespace {

constexpr int SFileNotExistId = 65242;

std::string Res(int id, const char* english) {
    return LoadResString(id, english);
}
// The platform names modules in a buffer of 261 characters.
constexpr size_t kMaxModuleName = 260;

template <size_t N>
std::string Narrow(const char (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n] != 0) ++n;
    return std::string(field, n);
}

template <size_t N>
std::u16string Wide(const char16_t (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n] != 0) ++n;
    return std::u16string(field, n);
}

template <class C, size_t N>
void Put(C (&field)[N], const std::basic_string<C>& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), N) * sizeof(C));
}

}  // namespace

void CopyInfoRecord(const TDLLInfoRecord& record, TDLLInfoItem& item) {
    item.ModuleFile = Narrow(record.ModuleFile);
    item.LangId = record.LangId;
    item.Revision = record.Revision;
    item.EnglishLangName = Narrow(record.EnglishLangName);
    item.NativeLangName = Wide(record.NativeLangName);
    item.Build = record.Build;
}

void FillInfoRecord(const TDLLInfoItem& item, TDLLInfoRecord& record) {
    Put(record.ModuleFile, item.ModuleFile);
    record.LangId = item.LangId;
    record.Revision = item.Revision;
    Put(record.EnglishLangName, item.EnglishLangName);
    Put(record.NativeLangName, item.NativeLangName);
    record.Build = item.Build;
}

// ---- THostLibrarySystem

std::vector<TModuleHandle> THostLibrarySystem::ProcessModules() {
    return process_;
}

bool THostLibrarySystem::HasExport(TModuleHandle module, const std::string& name) {
    auto it = exports_.find(module);
    if (it == exports_.end()) return false;
    if (name == SSwitchExport) return static_cast<bool>(it->second.Switch);
    if (name == SReturnExport) return static_cast<bool>(it->second.Return);
    return false;
}

bool THostLibrarySystem::CallSwitchExport(TModuleHandle module, const std::string& fileName, TDLLInfoRecord& record) {
    auto it = exports_.find(module);
    if (it == exports_.end() || !it->second.Switch) return false;
    it->second.Switch(fileName, record);
    return true;
}

bool THostLibrarySystem::CallReturnExport(TModuleHandle module) {
    auto it = exports_.find(module);
    if (it == exports_.end() || !it->second.Return) return false;
    it->second.Return(module);
    return true;
}

// ---- TKLocalizerOnFly: the libraries

ILibrarySystem& TKLocalizerOnFly::LibrarySystem() {
    return librarySystem_ ? *librarySystem_ : DefaultLibrarySystem();
}

bool TKLocalizerOnFly::IsLocalizedModule(TModuleHandle module) {
    std::vector<uint8_t> data;
    return LocUtilsInstance().System().FindRCData(module, langres::SLibSettingsName, data);
}

bool TKLocalizerOnFly::InfoMatches(const TDLLInfoItem& own, const TDLLInfoItem& current, const TLangFile* file) {
    return own.Revision == current.Revision && current.Build == (file ? file->Build : own.Build);
}

void TKLocalizerOnFly::SwitchLibraries(const std::string& code) {
    TKLocUtils& utils = LocUtilsInstance();
    TModuleHandle main = utils.MainModule;
    // Libraries sharing the runtime: one that fails keeps what it had, the others go on.
    for (TModuleHandle module : utils.System().ListedModules()) {
        if (module == main) continue;
        try {
            SwitchModule(module, code, true);
        } catch (...) {
        }
    }
    ILibrarySystem& libs = LibrarySystem();
    for (TModuleHandle module : libs.ProcessModules()) {
        if (module == main || !libs.HasExport(module, SSwitchExport) || !IsLocalizedModule(module)) continue;
        SwitchModule(module, code, false);
    }
}

void TKLocalizerOnFly::SwitchModule(TModuleHandle module, const std::string& code, bool sharesRuntime) {
    TKLocUtils& utils = LocUtilsInstance();
    IModuleSystem& sys = utils.System();
    ILibrarySystem& libs = LibrarySystem();
    if (!module) module = utils.MainModule;
    // The code becomes part of file names that are deleted and written.
    if (!IsPlainLangCode(code))
        throw ELocOnFlyError(Format(Res(SLangNotFoundId, "Language \"%s\" is not found"), {code}));

    // 1-2: names
    std::string moduleFile = sys.ModuleFileName(module);
    // A name the platform could only give cut short names another file: treated as no name.
    if (moduleFile.empty() || moduleFile.size() > kMaxModuleName)
        throw ELocOnFlyError(Res(SFileNotExistId, "File does not exist"));
    std::string resFile = pf::ChangeFileExt(moduleFile, "." + code);
    if (!dllFolder_.empty()) resFile = kutils::JoinPath(dllFolderFull_, pf::ExtractFileName(resFile));

    // 3: no settings of its own: take a module of that name as it is.
    if (!IsLocalizedModule(module)) {
        if (pf::FileExists(resFile)) {
            // A file that cannot be loaded leaves the module's resources as they are.
            if (TModuleHandle res = sys.LoadDataModule(pf::OsName(resFile))) {
                // Only a listed module can take it; otherwise it would stay loaded for nothing.
                TModuleHandle current;
                if (sys.FindListRecord(module, current))
                    utils.SetModuleResources(module, res);
                else
                    sys.UnloadModule(res);
            }
        } else {
            utils.RestoreModuleResources(module);
        }
        return;
    }

    auto undo = [&] {
        if (sharesRuntime)
            utils.RestoreModuleResources(module);
        else
            libs.CallReturnExport(module);
    };
    auto callSwitch = [&](TDLLInfoItem& current) {
        auto record = std::make_unique<TDLLInfoRecord>();
        std::memset(record.get(), 0, sizeof(TDLLInfoRecord));
        if (!libs.CallSwitchExport(module, pf::OsName(resFile), *record)) return false;
        CopyInfoRecord(*record, current);
        return true;
    };
    auto deletePrevious = [&] {
        if (DeleteOldDLLs) pf::RemoveFile(pf::ChangeFileExt(resFile, "." + kutils::LocaleAbbrev(PrevLangId)));
    };

    // 4: current and own settings
    TDLLInfoItem current, own;
    utils.ReadModuleInfo(sys.FindResourceModule(module), true, current);
    utils.ReadModuleInfo(module, false, own);

    // 5: the library's language file, else the language from its own container
    std::string langFile = pf::ChangeFileExt(moduleFile, "." + code + ".lng");
    if (!pf::FileExists(langFile)) langFile = kutils::JoinPath(LangFolderFull(), pf::ExtractFileName(langFile));
    bool onDisk = pf::FileExists(langFile);
    std::unique_ptr<TLangFile> file;
    if (onDisk) {
        file = NamingLangFile(langFile, [&] { return std::make_unique<TLangFile>(pf::OsName(langFile)); });
    } else {
        auto empty = std::make_unique<TLangFile>();
        TMemoryStream image;
        if (ExtractEmbeddedLanguage(module, kutils::LocaleFromAbbrev(code), 0, &image)) {
            image.SetPosition(0);
            empty->ReadHeader(image, false);
            file = std::move(empty);
        }
    }

    // 6: already showing this language from an up-to-date module
    if (SameTextAscii(code, kutils::LocaleAbbrev(current.LangId)) && InfoMatches(own, current, file.get())) return;

    // 7: reuse a module built earlier
    bool upToDate = false;
    if (!SameTextAscii(code, kutils::LocaleAbbrev(current.LangId)) && pf::FileExists(resFile)) {
        // Only a module that was loaded can be judged: after a failure `current` still
        // describes the resources in use, which stay.
        bool switched = false, described = false;
        try {
            if (sharesRuntime) {
                TModuleHandle res = utils.LoadResourceModule(module, pf::OsName(resFile));
                utils.SetModuleResources(module, res);
                switched = true;
                TDLLInfoItem loaded;
                utils.ReadModuleInfo(sys.FindResourceModule(module), true, loaded);
                current = loaded;
                described = true;
            } else {
                switched = described = callSwitch(current);
            }
        } catch (...) {
            // A stale or damaged module is rebuilt below.
        }
        if (described && InfoMatches(own, current, file.get()))
            upToDate = true;
        else if (switched)
            undo();
    }

    // 8
    if (!file) {
        undo();
        deletePrevious();
        return;
    }

    // 9: the library's own language model
    auto model = std::make_unique<langres::TLangResource>();
    std::string nativeFile = pf::ChangeFileExt(moduleFile, ".ntv.lng");
    if (!pf::FileExists(nativeFile)) nativeFile = kutils::JoinPath(LangFolderFull(), pf::ExtractFileName(nativeFile));
    if (pf::FileExists(nativeFile)) {
        NamingLangFile(nativeFile, [&] {
            TLangFile native(pf::OsName(nativeFile));
            native.LoadFromFile(model.get(), -1);
        });
    } else {
        TLangFile native;
        if (!ReadEmbeddedLanguage(module, 0, 0, model.get(), native)) return;
    }

    // 10
    if (onDisk) {
        int index = model->AddLanguage(0, static_cast<uint16_t>(file->LangId));
        NamingLangFile(langFile, [&] { file->LoadFromFile(model.get(), index); });
    } else {
        ReadEmbeddedLanguage(module, file->LangId, 0, model.get(), *file);
    }

    // 11
    if (!upToDate) {
        if (SameTextAscii(code, "NTV")) {
            undo();
        } else {
            // A stale module still in use is held open by the loader and could not be replaced.
            if (sharesRuntime && sys.FindResourceModule(module) != module) utils.RestoreModuleResources(module);
            if (!pf::RemoveFile(resFile) && pf::FileExists(resFile))
                throw ELocOnFlyError(Format(Res(SCanNotDeleteId, "Can not delete file \"%s\""), {resFile}));
            file->DllLangIndex = 1;
            uintptr_t handle = 0;
            std::string sourceFile;
            sys.BuildSource(module, handle, sourceFile);
            file->SaveResourceModule(handle, pf::OsName(resFile), model.get(), sourceFile);
            if (sharesRuntime) {
                TModuleHandle res = utils.LoadResourceModule(module, pf::OsName(resFile));
                utils.SetModuleResources(module, res);
                utils.ReadModuleInfo(sys.FindResourceModule(module), true, current);
            } else {
                callSwitch(current);
            }
        }
    }

    // 12
    model->CurrentIndex = 1;
    if (!Destroying) {
        TranslateForms(model.get());
        TranslateDataModules(model.get());
    }

    // 13
    deletePrevious();
}

}  // namespace onfly
