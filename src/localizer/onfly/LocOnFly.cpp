#include "localizer/onfly/LocOnFly.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

#include "framework/ByteReader.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/kutils/kcompress.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/LangFormat.h"
#include "localizer/langres/Translatable.h"
#include "localizer/onfly/OnFlyPlatform.h"

namespace onfly {

using namespace fw;
using langres::TLangResource;
using langres::TLResComponentItem;
using langres::TLResFormItem;
using langres::TLResPropertyItem;
using langres::TLResValue;

namespace {

// The class-chain walk ends at these classes.
bool IsStopClass(const TClassInfo* c) {
    static const char* const kStop[] = {"TCustomForm", "TDataModule", "TCustomFrame", "TScrollingWinControl",
                                        "TObject"};
    for (const char* s : kStop)
        if (SameTextAscii(c->Name(), s)) return true;
    return false;
}

// The form entry for a class: its name without the leading letter.
TLResFormItem* EntryForClass(TLangResource* res, const TClassInfo* c) {
    const std::string& n = c->Name();
    if (n.empty()) return nullptr;
    int i = res->Forms->IndexOf(langres::FormEntryName(n));
    return i >= 0 ? res->Forms->Items(i) : nullptr;
}

// Texts the code page of their language holds are set 8-bit as they always were; the others go
// wide where the target keeps UTF-16, so that no character turns into '?' or is read in another
// script.
bool AnsiHoldsText(const TLResValue* value, std::string& ansi) {
    return langres::LangAnsiHoldsText(value->Text, value->LangId, ansi);
}

// A decimal index as entry names carry it: digits only; anything else is a conversion error.
int StrictIndex(const std::string& text) {
    bool ok = !text.empty() && text.size() <= 9;
    for (char c : text)
        if (c < '0' || c > '9') ok = false;
    if (!ok) throw EConvertError(Format("'%s' is not a valid integer value", {text}));
    return std::stoi(text);
}

// One "Name[n]" segment: name, index and what follows after "]." .
void ParseSegment(const std::string& path, std::string& name, int& index, std::string& rest) {
    size_t open = path.find('[');
    name = path.substr(0, open);
    size_t close = path.find(']', open == std::string::npos ? path.size() : open);
    std::string digits = open == std::string::npos    ? std::string()
                         : close == std::string::npos ? path.substr(open + 1)
                                                      : path.substr(open + 1, close - open - 1);
    index = StrictIndex(digits);
    rest = close != std::string::npos && close + 2 < path.size() ? path.substr(close + 2) : std::string();
}

// The components a form owns, by name, for the many lookups of one form entry: a form of sixty
// components would otherwise compare names sixty times per entry. Names compare without regard
// to ASCII case and the first component of a name wins, as the framework's find-component does.
class TComponentIndex {
public:
    explicit TComponentIndex(TComponent* owner) : owner_(owner) {}
    TComponent* Owner() const { return owner_; }
    TComponent* Find(std::string_view name) {
        if (name.empty()) return nullptr;
        if (!built_) Build();
        auto it = map_.find(name);
        return it == map_.end() ? nullptr : it->second;
    }
    // After a property named "Name" was set: components may have new names.
    void Invalidate() {
        built_ = false;
        map_.clear();
    }

private:
    // Keys compare without regard to ASCII case, so a look-up copies no name.
    struct THash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const {
            uint64_t h = 1469598103934665603ull;
            for (char c : s) {
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            }
            return static_cast<size_t>(h);
        }
    };
    struct TEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const { return SameTextAscii(a, b); }
    };
    void Build() {
        map_.reserve(static_cast<size_t>(owner_->ComponentCount()));
        for (int i = 0; i < owner_->ComponentCount(); ++i) {
            TComponent* c = owner_->Components(i);
            if (!c->Name().empty()) map_.emplace(c->Name(), c);  // keeps the first
        }
        built_ = true;
    }
    TComponent* owner_;
    bool built_ = false;
    std::unordered_map<std::string, TComponent*, THash, TEqual> map_;
};

// FindComponentDeep with the owner's own components found through the index.
TComponent* FindDeepIndexed(TComponentIndex& index, TComponent* owner, const std::string& name) {
    if (owner != index.Owner()) return TKLocalizerOnFly::FindComponentDeep(owner, name);
    if (TComponent* c = index.Find(name)) return c;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (TComponent* c = TKLocalizerOnFly::FindComponentDeep(owner->Components(i), name)) return c;
    return nullptr;
}

// FindComponentByPath, the same way.
TComponent* FindByPathIndexed(TComponentIndex& index, TComponent* owner, const std::string& path, std::string& rest) {
    size_t dot = path.find('.');
    if (dot == std::string::npos) return FindDeepIndexed(index, owner, path);
    TComponent* t = FindDeepIndexed(index, owner, path.substr(0, dot));
    if (!t) return nullptr;
    std::string tail = path.substr(dot + 1);
    if (TComponent* t2 = TKLocalizerOnFly::FindComponentByPath(t, tail, rest)) return t2;
    rest = tail;
    return t;
}

// Whether applying the entry may rename components: one of its property paths starts with
// "Name".
bool MaySetName(TLResComponentItem* entry) {
    for (int i = 0; i < entry->Properties->Count(); ++i) {
        const std::string& n = entry->Properties->Items(i)->Name;
        if (SameTextAscii(std::string_view(n).substr(0, n.find('.')), "Name")) return true;
    }
    return false;
}

}  // namespace

TKLocalizerOnFly::TKLocalizerOnFly()
    : langResource_(std::make_unique<TLangResource>()), languages_(std::make_unique<TLFInfoList>()) {}

void TKLocalizerOnFly::TranslateForms(TLangResource* res) {
    TScreen& screen = Screen();
    for (int i = 0; i < screen.CustomFormCount(); ++i) TranslateComponent(res, screen.CustomForms(i));
}

void TKLocalizerOnFly::TranslateDataModules(TLangResource* res) {
    TScreen& screen = Screen();
    for (int i = 0; i < screen.DataModuleCount(); ++i) TranslateComponent(res, screen.DataModules(i));
}

void TKLocalizerOnFly::TranslateComponent(TLangResource* res, TComponent* component) {
    if (!res) res = langResource_.get();
    if (!component) return;
    const TClassInfo* own = component->ClassType();
    const TClassInfo* c = component->InheritsFrom(TCustomFrame::StaticClass()) ? own : own->Parent();
    for (; c && !IsStopClass(c); c = c->Parent())
        if (TLResFormItem* e = EntryForClass(res, c)) TranslateFormEntry(res, component, e);
    if (TLResFormItem* e = EntryForClass(res, own)) {
        TranslateFormEntry(res, component, e);
        auto* form = dynamic_cast<TForm*>(component);
        int32_t screenPpi = Screen().PixelsPerInch;
        if (form && form->PixelsPerInch != screenPpi && form->PixelsPerInch > 0) {
            form->ScaleBy(screenPpi, form->PixelsPerInch);
            // The form is now laid out for the screen: a later pass must not scale it again.
            form->PixelsPerInch = screenPpi;
        }
    }
}

void TKLocalizerOnFly::TranslateFormEntry(TLangResource* res, TComponent* component, TLResFormItem* entry) {
    // Frames first, so that the form's own entries for paths through them win.
    for (int i = 0; i < component->ComponentCount(); ++i) {
        TComponent* c = component->Components(i);
        if (c->InheritsFrom(TCustomFrame::StaticClass())) TranslateComponent(res, c);
    }
    ApplyEntryProperties(entry, component, nullptr);
    TComponentIndex index(component);
    for (int i = 0; i < entry->Components->Count(); ++i) {
        TLResComponentItem* k = entry->Components->Items(i);
        if (k->Name.find('[') != std::string::npos) {
            ApplyIndexedEntry(component, k, k->Name);
        } else {
            std::string rest;
            if (TComponent* t = FindByPathIndexed(index, component, k->Name, rest))
                ApplyEntryProperties(k, t, rest.empty() ? nullptr : &rest);
        }
        if (MaySetName(k)) index.Invalidate();
    }
}

TComponent* TKLocalizerOnFly::FindComponentDeep(TComponent* owner, const std::string& name) {
    if (!owner) return nullptr;
    if (TComponent* c = owner->FindComponent(name)) return c;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (TComponent* c = FindComponentDeep(owner->Components(i), name)) return c;
    return nullptr;
}

TComponent* TKLocalizerOnFly::FindComponentByPath(TComponent* owner, const std::string& path, std::string& rest) {
    size_t dot = path.find('.');
    if (dot == std::string::npos) return FindComponentDeep(owner, path);
    std::string tail = path.substr(dot + 1);
    TComponent* t = FindComponentDeep(owner, path.substr(0, dot));
    if (!t) return nullptr;
    if (TComponent* t2 = FindComponentByPath(t, tail, rest)) return t2;
    rest = tail;
    return t;
}

TObject* TKLocalizerOnFly::IndexedObject(TObject* sender, const std::string& propName, int index) {
    TObject* result = nullptr;
    if (OnGetIndexedObject && sender) OnGetIndexedObject(sender, propName, index, result);
    return result;
}

void TKLocalizerOnFly::ApplyIndexedEntry(TComponent* owner, TLResComponentItem* entry, const std::string& name) {
    size_t open = name.find('[');
    std::string before = name.substr(0, open);
    size_t lastDot = before.rfind('.');
    std::string compName = lastDot == std::string::npos ? before : before.substr(0, lastDot);
    std::string propName = lastDot == std::string::npos ? std::string() : before.substr(lastDot + 1);
    std::string segName, rest;
    int index = 0;
    ParseSegment(name.substr(open), segName, index, rest);

    TComponent* x = owner ? owner->FindComponent(compName) : nullptr;
    if (!x) return;
    TObject* y = nullptr;
    if (const TPropInfo* p = GetPropInfo(x, propName))
        y = p->Kind == TTypeKind::tkClass ? p->GetObj(x) : nullptr;
    else
        y = IndexedObject(x, propName, index);
    if (!y) return;
    TObject* z = nullptr;
    if (auto* coll = dynamic_cast<TCollection*>(y)) {
        if (index >= coll->Count()) return;
        z = coll->Items(index);
    } else {
        z = IndexedObject(y, propName, index);
    }
    while (z && !rest.empty()) {
        // A remaining path without an index names no further object: the walk ends here.
        if (rest.find('[') == std::string::npos) return;
        std::string path = rest;
        ParseSegment(path, segName, index, rest);
        if (auto* coll = dynamic_cast<TCollection*>(z))
            z = coll->Items(index);  // EListError at or above the count
        else
            z = IndexedObject(z, segName, index);
    }
    if (z) ApplyEntryProperties(entry, z, nullptr);
}

void TKLocalizerOnFly::ApplyEntryProperties(TLResComponentItem* entry, TObject* target, const std::string* prefix) {
    int count = 0;
    for (int i = 0; i < entry->Properties->Count(); ++i) {
        TLResPropertyItem* p = entry->Properties->Items(i);
        int vi = p->ValueIndex();
        if (vi < 0 || vi >= p->Values->Count()) continue;  // no value for the current language
        // The entry's own name is the path unless a prefix goes in front: no copy per property.
        std::string prefixed;
        if (prefix) prefixed = *prefix + "." + p->Name;
        if (SetTranslatedProperty(target, prefix ? prefixed : p->Name, p->Values->Values(vi))) ++count;
    }
    if (AdjustCharset && count == 0) {
        int32_t cs = kutils::LocaleCharset(CurrentLangId);
        std::string ident;
        if (CharsetToIdent(cs, ident)) SetFontCharset(target, cs);
    }
}

bool TKLocalizerOnFly::SetTranslatedProperty(TObject* target, const std::string& path, TLResValue* value) {
    if (!target || !value) return false;
    if (value->Flags & langres::vfDoNotTranslate) return false;
    if (SetSpecialProperty(target, path, value)) return false;
    size_t dot = path.find('.');
    const TPropInfo* p = GetPropInfo(target, std::string_view(path).substr(0, dot));
    if (!p) return false;
    switch (p->Kind) {
        case TTypeKind::tkInteger:
            p->SetOrd(target, value->AsInteger());
            break;
        case TTypeKind::tkEnumeration: {
            int32_t v = value->AsInteger();
            // Only values the enumeration has; anything else would be no value of its type.
            if (p->EnumNames.empty() || (v >= 0 && v < static_cast<int32_t>(p->EnumNames.size()))) p->SetOrd(target, v);
            break;
        }
        case TTypeKind::tkString:
        case TTypeKind::tkLString: {
            std::string ansi;
            if (!AnsiHoldsText(value, ansi) && p->SetWStr)
                p->SetWStr(target, value->Text);
            else
                p->SetStr(target, ansi);
            break;
        }
        case TTypeKind::tkWString:
            p->SetWStr(target, value->Text);
            break;
        case TTypeKind::tkClass:
            if (TObject* held = p->GetObj(target))
                SetTranslatedProperty(held, dot == std::string::npos ? std::string() : path.substr(dot + 1), value);
            break;
        default:
            break;
    }
    return true;
}

bool TKLocalizerOnFly::SetSpecialProperty(TObject* target, const std::string& path, TLResValue* value) {
    if (SameTextAscii(path, "Strings") && ClassChainHasName(target, {"TStrings", "TElWideStrings", "TTntStrings"})) {
        // A string list of the framework takes the lines itself: the same clear and adds, told
        // once, as assigning them from a temporary list.
        std::string ansi;
        const bool fits = AnsiHoldsText(value, ansi);
        if (auto* strings = dynamic_cast<TStrings*>(target)) {
            if (fits)
                strings->SetText(ansi);
            else
                strings->SetWideText(value->Text);
            return true;
        }
        TStringList lines;
        if (fits)
            lines.SetText(ansi);
        else
            lines.SetWideText(value->Text);
        static_cast<TPersistent*>(target)->Assign(&lines);
        return true;
    }
    if (target->ClassName() == "TTabbedNotebook") {
        // Every path on the notebook is a page title: "TTabPage<n>.<property>" names page n.
        auto* pages = dynamic_cast<TStrings*>(GetPropInfo(target, "Pages") ? GetObjectProp(target, "Pages") : nullptr);
        int index = 0;
        size_t dot = path.find('.');
        if (dot != std::string::npos) {
            std::string part = path.substr(0, dot);
            index = StrictIndex(part.size() > 8 ? part.substr(8) : std::string()) - 1;
        }
        if (pages) {
            std::string ansi;
            const bool fits = AnsiHoldsText(value, ansi);
            if (index < pages->Count()) {
                // EListError for page 0
                if (fits)
                    pages->Put(index, ansi);
                else
                    pages->PutWide(index, value->Text);
            } else if (fits) {
                pages->Add(ansi);
            } else {
                pages->AddWide(value->Text);
            }
        }
        return true;
    }
    return false;
}

void TKLocalizerOnFly::SetFontCharset(TObject* target, int32_t charset) {
    if (!target) return;
    if (const TPropInfo* font = GetPropInfo(target, "Font")) {
        if (font->Kind == TTypeKind::tkClass)
            if (auto* f = dynamic_cast<TFont*>(font->GetObj(target)); f && f->HandleAllocated()) f->SetCharset(charset);
        return;
    }
    if (const TPropInfo* style = GetPropInfo(target, "Style"); style && style->Kind == TTypeKind::tkClass)
        if (TObject* held = style->GetObj(target)) SetFontCharset(held, charset);
}

bool TKLocalizerOnFly::ClassChainHasName(const TObject* target, std::initializer_list<const char*> names) {
    if (!target) return false;
    for (const TClassInfo* c = target->ClassType(); c; c = c->Parent())
        for (const char* n : names)
            if (SameTextAscii(c->Name(), n)) return true;
    return false;
}

}  // namespace onfly

// ---- Languages and switching

namespace onfly {

using langres::TLangFile;
namespace pf = platform;

namespace {

std::string Res(int id, const char* english) {
    return LoadResString(id, english);
}

// Expands a folder against the application's folder and leaves the current directory as it
// was.
std::string ExpandFromAppFolder(const std::string& folder) {
    std::string saved = pf::GetCurrentDir();
    std::string appDir = pf::ExtractFilePath(LocUtilsInstance().AppFileName);
    std::string full;
    if (!appDir.empty()) pf::SetCurrentDir(appDir);
    try {
        full = pf::ExpandFileName(folder);
    } catch (...) {
        pf::SetCurrentDir(saved);
        throw;
    }
    pf::SetCurrentDir(saved);
    return full;
}

std::string AppName() {
    return pf::ExtractFileName(LocUtilsInstance().AppFileName);
}

}  // namespace

bool IsPlainLangCode(const std::string& code) {
    if (code.size() > 32) return false;
    for (char c : code)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

// ---- TLFInfoList

void TLFInfoList::SetFolder(const std::string& folder) {
    if (folder == Folder) return;
    std::string full = ExpandFromAppFolder(folder);
    if (!pf::DirectoryExists(full))
        throw ELocOnFlyError(Format(Res(SPathNotExistId, "Specified path \"%s\" does not exist"), {full}));
    Folder = folder;
    FolderFull = full;
    Scan();
}

void TLFInfoList::Scan() {
    std::string mask = kutils::JoinPath(FolderFull, pf::ChangeFileExt(AppName(), ".*.lng"));
    for (const std::string& name : pf::FindFiles(mask)) {
        try {
            TLangFile file(pf::OsName(kutils::JoinPath(FolderFull, name)));
            int i = IndexOfLang(file.LangId);
            TLFInfo* info;
            if (i < 0) {
                auto entry = std::make_unique<TLFInfo>(this);
                entry->LangId = file.LangId;
                entry->EnglishLangName = file.EnglishLangName;
                entry->NativeLangName = file.NativeLangName;
                info = entry.get();
                AddSorted(entry.release());
            } else {
                info = Items(i);
                info->EnglishLangName = file.EnglishLangName;
            }
            info->LangFile = name;
            info->IsNative = file.IsNative;
        } catch (...) {
            // A file that is no language file of ours is not a language.
        }
    }
}

int TLFInfoList::IndexOfLang(uint32_t langId) const {
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->LangId == langId) return i;
    return -1;
}

bool TLFInfoList::IsEmbeddedLang(uint32_t langId) const {
    int i = IndexOfLang(langId);
    return i >= 0 && Items(i)->IsEmbedded();
}

int TLFInfoList::NativeIndex() const {
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->IsNative) return i;
    return -1;
}

int TLFInfoList::AddSorted(TLFInfo* info) {
    int i = 0;
    // Byte order: compare as unsigned characters.
    auto greater = [](const std::string& a, const std::string& b) {
        return std::memcmp(a.data(), b.data(), std::min(a.size(), b.size())) > 0 ||
               (std::memcmp(a.data(), b.data(), std::min(a.size(), b.size())) == 0 && a.size() > b.size());
    };
    while (i < Count() && !greater(Items(i)->EnglishLangName, info->EnglishLangName)) ++i;
    Insert(i, info);
    return i;
}

// ---- TKLocalizerOnFly: settings and file names

TKLocalizerOnFly::~TKLocalizerOnFly() {
    Destroying = true;
    if (Initialized && DeleteOldDLLs) {
        try {
            SwitchToLangCode("ntv");
        } catch (...) {
            // Nothing may leave a destructor; ShowErrors false has nobody to tell.
        }
    }
}

template <class F>
void TKLocalizerOnFly::Guarded(F f) {
    try {
        f();
    } catch (const Exception& e) {
        if (!ShowErrors) throw;
        ShowError(e);
    }
}

void TKLocalizerOnFly::ShowError(const Exception& e) {
    pf::ShowErrorBox(e.Message(), "Localizer Error");
}

void TKLocalizerOnFly::SetLangFolder(const std::string& folder) {
    Guarded([&] { languages_->SetFolder(folder); });
}

void TKLocalizerOnFly::SetDLLFolder(const std::string& folder) {
    if (folder == dllFolder_) return;
    std::string full = ExpandFromAppFolder(folder);
    if (!pf::DirectoryExists(full))
        throw ELocOnFlyError(Format(Res(SPathNotExistId, "Specified path \"%s\" does not exist"), {full}));
    dllFolder_ = folder;
    dllFolderFull_ = full;
}

const std::string& TKLocalizerOnFly::AppFileName() const {
    return LocUtilsInstance().AppFileName;
}

void TKLocalizerOnFly::SetAppFileName(const std::string& fileName) {
    LocUtilsInstance().AppFileName = fileName;
}

TModuleHandle TKLocalizerOnFly::MainModule() const {
    return LocUtilsInstance().MainModule;
}

std::string TKLocalizerOnFly::LangFileName(const std::string& code) const {
    return pf::ChangeFileExt(kutils::JoinPath(LangFolderFull(), AppName()), "." + code + ".lng");
}

std::string TKLocalizerOnFly::NativeLangFileName() const {
    return pf::ChangeFileExt(kutils::JoinPath(LangFolderFull(), AppName()), ".ntv.lng");
}

std::string TKLocalizerOnFly::NativeSourceFileName() const {
    return pf::ChangeFileExt(kutils::JoinPath(LangFolderFull(), AppName()), ".ntv");
}

std::string TKLocalizerOnFly::ModuleFileNameOf(uint32_t langId) const {
    std::string name = pf::ChangeFileExt(AppFileName(), "." + kutils::LocaleAbbrev(langId));
    if (!dllFolder_.empty()) name = kutils::JoinPath(dllFolderFull_, pf::ExtractFileName(name));
    return name;
}

uint32_t TKLocalizerOnFly::ListNativeLangId() const {
    int i = languages_->NativeIndex();
    return i >= 0 ? languages_->Items(i)->LangId : 0;
}

void TKLocalizerOnFly::DoAfterSwitch(int index) {
    if (index != -1 && !Loading && OnAfterSwitch) OnAfterSwitch(this, languages_->Items(index));
}

void TKLocalizerOnFly::DoBeforeSwitch() {
    if (!Loading && OnBeforeSwitch) OnBeforeSwitch(this);
}

// ---- Start

void TKLocalizerOnFly::Init(const std::string& langFolder) {
    Loading = true;
    try {
        Guarded([&] {
            std::string folder = langFolder;
            if (folder.empty()) {
                folder = pf::ExtractFilePath(AppFileName());
                if (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
            }
            SetLangFolder(folder);
            LoadNativeLanguage();
            CurrentLangId = LocUtilsInstance().CurrentModuleInfo().LangId;
            Initialized = true;
        });
    } catch (...) {
        Loading = false;
        throw;
    }
    Loading = false;
}

void TKLocalizerOnFly::LoadNativeLanguage() {
    std::string nativeFile = NativeLangFileName();
    bool loaded = false;
    if (pf::FileExists(nativeFile)) {
        NamingLangFile(nativeFile, [&] {
            TLangFile file(pf::OsName(nativeFile));
            file.LoadFromFile(langResource_.get(), -1);
            AdjustCharset = !file.HasOption(langres::loKeepCharset);
        });
        loaded = true;
    }
    TLangFile embedded;
    if (ReadEmbeddedLanguage(MainModule(), 0, loaded ? (elRegister | elRegisterOnly) : elRegister, langResource_.get(),
                             embedded)) {
        AdjustCharset = !embedded.HasOption(langres::loKeepCharset);
        loaded = true;
    }
    if (!loaded)
        throw ELocOnFlyError(Format(Res(SLangFileNotFoundId, "Language file \"%s\" is not found"), {nativeFile}));
}

// ---- The embedded container

bool TKLocalizerOnFly::ExtractEmbeddedLanguage(TModuleHandle module, uint32_t langId, uint32_t flags, TStream* dest) {
    std::vector<uint8_t> data;
    if (!LocUtilsInstance().System().FindRCData(module, langres::SEmbeddedLangsName, data)) return false;
    if (!langres::IsLangContainer(data.data(), data.size())) return false;
    // The container reader the tool uses too: every count and size is checked against what is
    // left of the resource.
    std::vector<uint8_t> image;
    try {
        langres::TLangContainer directory = langres::ReadLangContainer(data.data(), data.size(), false);
        for (size_t i = 0; i < directory.Entries.size() && (flags & elRegister); ++i) {
            const langres::TLangContainerEntry& e = directory.Entries[i];
            if (languages_->IndexOfLang(e.LangId) >= 0) continue;
            auto info = std::make_unique<TLFInfo>(languages_.get());
            info->LangId = e.LangId;
            info->EnglishLangName = e.EnglishName;
            info->IsNative = i == 0;
            languages_->AddSorted(info.release());
        }
        if (!dest || (flags & elRegisterOnly) || langId > 0xFFFF) return false;
        if (!langres::ExtractContainerLanguage(data.data(), data.size(), static_cast<uint16_t>(langId), image))
            return false;
    } catch (const langres::ELFProcError&) {
        throw ELocOnFlyError(Res(SInvalidKLangsId, langres::SInvalidKLangs));
    }
    dest->WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
    dest->SetPosition(0);
    return true;
}

bool TKLocalizerOnFly::ReadEmbeddedLanguage(TModuleHandle module, uint32_t langId, uint32_t flags,
                                            langres::TLangResource* model, TLangFile& file) {
    TMemoryStream image;
    bool found = ExtractEmbeddedLanguage(module, langId, flags, &image);
    if (found) {
        int index = langId == 0 ? -1 : model->AddLanguage(0, static_cast<uint16_t>(langId));
        image.SetPosition(0);
        file.LoadFromStream(image, model, index);
        if (model == langResource_.get() && index > 0)
            modelSources_[index] = {std::string(), file.Revision, file.Build};
    }
    return found;
}

// ---- Switching

void TKLocalizerOnFly::SwitchToLangCode(const std::string& code) {
    Guarded([&] {
        if (!Initialized) throw ELocOnFlyError(Res(SNotInitializedId, "Localizer is not initialized"));
        if (code.empty() || SameTextAscii(code, "exe") || SameTextAscii(code, "ntv")) {
            SwitchLanguage(ListNativeLangId(), "ntv");
        } else {
            SwitchLanguage(kutils::LocaleFromAbbrev(code), code);
        }
    });
}

void TKLocalizerOnFly::SwitchLanguage(uint32_t langId, const std::string& code) {
    // A code that could lead a file name out of its folder names no language.
    if (!IsPlainLangCode(code))
        throw ELocOnFlyError(Format(Res(SLangNotFoundId, "Language \"%s\" is not found"), {code}));
    PrevLangId = CurrentLangId;
    DoBeforeSwitch();
    std::string file = LangFileName(code);
    if (pf::FileExists(file)) {
        SwitchToLangFile(file);
    } else if (languages_->IsEmbeddedLang(langId)) {
        SwitchToEmbeddedLang(langId);
    } else {
        // An unknown code has no language name: the code itself says what was asked for.
        std::string name = langId == 0 && !code.empty() ? code : kutils::LocaleEnglishName(langId);
        throw ELocOnFlyError(Format(Res(SLangNotFoundId, "Language \"%s\" is not found"), {name}));
    }
    // The previous language's module where it was written; never the one now in use.
    if (DeleteOldDLLs && PrevLangId != LocUtilsInstance().CurrentModuleInfo().LangId)
        pf::RemoveFile(ModuleFileNameOf(PrevLangId));
    if (TranslateLibraries) SwitchLibraries(code);
    DoAfterSwitch(languages_->IndexOfLang(langId));
}

void TKLocalizerOnFly::SwitchToLangFile(const std::string& fileName) {
    if (!Initialized) throw ELocOnFlyError(Res(SNotInitializedId, "Localizer is not initialized"));
    if (!pf::FileExists(fileName))
        throw ELocOnFlyError(Format(Res(SLangFileNotFoundId, "Language file \"%s\" is not found"), {fileName}));
    NamingLangFile(fileName, [&] {
        TLangFile file(pf::OsName(fileName));
        ApplyLanguage(file);
    });
}

void TKLocalizerOnFly::SwitchToEmbeddedLang(uint32_t langId) {
    TLangFile file;
    file.SetLangId(langId);
    if (!ReadEmbeddedLanguage(MainModule(), langId, elRegister, langResource_.get(), file))
        throw ELocOnFlyError(Format("Can not load language %s from resources", {kutils::LocaleEnglishName(langId)}));
    ApplyLanguage(file);
}

TKLocalizerOnFly::TModelSource TKLocalizerOnFly::SourceOf(const TLangFile& file) {
    return {file.FileName, file.Revision, file.Build};
}

int TKLocalizerOnFly::ModelIndexFor(TLangFile& file) {
    const auto id = static_cast<uint16_t>(file.LangId);
    int index = langResource_->IndexOfLangId(id);
    if (index == 0) return index;  // the native language is the model's own
    // The first model language of the id that holds this file's texts; a language loaded from
    // another file or build of that language would put stale texts into the module.
    const TModelSource want = SourceOf(file);
    for (int i = index; i >= 0 && i < langResource_->LanguageCount(); ++i) {
        if (langResource_->LangIds(i) != id) continue;
        auto it = modelSources_.find(i);
        if (it != modelSources_.end() && it->second.FileName == want.FileName && it->second.Revision == want.Revision &&
            it->second.Build == want.Build)
            return i;
    }
    index = langResource_->AddLanguage(0, id);
    file.LoadFromFile(langResource_.get(), index);
    modelSources_[index] = want;
    return index;
}

void TKLocalizerOnFly::ApplyLanguage(TLangFile& file) {
    TKLocUtils& utils = LocUtilsInstance();
    std::string source = NativeSourceFileName();
    std::string module = ListNativeLangId() == file.LangId ? std::string() : ModuleFileNameOf(file.LangId);

    if (!module.empty() && utils.CurrentModuleInfo().LangId != file.LangId && pf::FileExists(module)) {
        try {
            utils.SwitchMainResources(module);
            CurrentLangId = utils.CurrentModuleInfo().LangId;
        } catch (...) {
            // A stale or foreign module is rebuilt below.
        }
    }

    bool upToDate = false;
    if (utils.CurrentModuleInfo().LangId == file.LangId) {
        if (utils.CurrentModuleInfo().Build == file.Build) {
            upToDate = true;
        } else {
            utils.RestoreMainResources();
        }
    }

    if (!(Loading && upToDate)) CurrentLangIndex = ModelIndexFor(file);

    if (!upToDate) {
        if (ListNativeLangId() == file.LangId) {
            utils.RestoreMainResources();
        } else {
            if (!pf::RemoveFile(module) && pf::FileExists(module))
                throw ELocOnFlyError(Format(Res(SCanNotDeleteId, "Can not delete file \"%s\""), {module}));
            file.DllLangIndex = CurrentLangIndex;
            uintptr_t handle = 0;
            std::string sourceFile;
            if (pf::FileExists(source)) {
                sourceFile = pf::OsName(source);
            } else {
                utils.System().BuildSource(utils.MainModule, handle, sourceFile);
            }
            file.SaveResourceModule(handle, pf::OsName(module), langResource_.get(), sourceFile);
            utils.SwitchMainResources(module);
        }
    }

    if (Destroying) return;
    langResource_->CurrentIndex = CurrentLangIndex;
    CurrentLangId = utils.CurrentModuleInfo().LangId;
    if (Loading) return;
    if (AdjustCharset) {
        int32_t charset = kutils::LocaleCharset(CurrentLangId);
        TScreen& screen = Screen();
        screen.IconFont()->SetCharset(charset);
        screen.HintFont()->SetCharset(charset);
        screen.MenuFont()->SetCharset(charset);
    }
    TranslateForms(langResource_.get());
    TranslateDataModules(langResource_.get());
}

}  // namespace onfly
