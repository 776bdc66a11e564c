#include "localizer/onfly/LocOnFly.h"

#include "localizer/kutils/KLocales.h"

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
    static const char* const kStop[] = {"TCustomForm", "TDataModule", "TCustomFrame", "TScrollingWinControl", "TObject"};
    for (const char* s : kStop)
        if (SameTextAscii(c->Name(), s)) return true;
    return false;
}

// The form entry for a class: its name without the leading letter.
TLResFormItem* EntryForClass(TLangResource* res, const TClassInfo* c) {
    const std::string& n = c->Name();
    if (n.empty()) return nullptr;
    int i = res->Forms->IndexOf(n.substr(1));
    return i >= 0 ? res->Forms->Items(i) : nullptr;
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
    std::string digits = open == std::string::npos ? std::string()
                         : close == std::string::npos ? path.substr(open + 1)
                                                      : path.substr(open + 1, close - open - 1);
    index = StrictIndex(digits);
    rest = close != std::string::npos && close + 2 < path.size() ? path.substr(close + 2) : std::string();
}

}  // namespace

TKLocalizerOnFly::TKLocalizerOnFly() : langResource_(std::make_unique<TLangResource>()) {}

TKLocalizerOnFly::~TKLocalizerOnFly() = default;

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
    for (int i = 0; i < entry->Components->Count(); ++i) {
        TLResComponentItem* k = entry->Components->Items(i);
        if (k->Name.find('[') != std::string::npos) {
            ApplyIndexedEntry(component, k, k->Name);
            continue;
        }
        std::string rest;
        if (TComponent* t = FindComponentByPath(component, k->Name, rest))
            ApplyEntryProperties(k, t, rest.empty() ? nullptr : &rest);
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
        std::string path = prefix ? *prefix + "." + p->Name : p->Name;
        if (SetTranslatedProperty(target, path, p->Values->Values(vi))) ++count;
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
    std::string head = path.substr(0, dot);
    std::string tail = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    const TPropInfo* p = GetPropInfo(target, head);
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
        case TTypeKind::tkLString:
            p->SetStr(target, value->GetAnsiText());
            break;
        case TTypeKind::tkWString:
            p->SetWStr(target, value->Text);
            break;
        case TTypeKind::tkClass:
            if (TObject* held = p->GetObj(target)) SetTranslatedProperty(held, tail, value);
            break;
        default:
            break;
    }
    return true;
}

bool TKLocalizerOnFly::SetSpecialProperty(TObject* target, const std::string& path, TLResValue* value) {
    if (SameTextAscii(path, "Strings") && ClassChainHasName(target, {"TStrings", "TElWideStrings", "TTntStrings"})) {
        TStringList lines;
        lines.SetText(value->GetAnsiText());
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
            if (index < pages->Count())
                pages->Put(index, value->GetAnsiText());  // EListError for page 0
            else
                pages->Add(value->GetAnsiText());
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
