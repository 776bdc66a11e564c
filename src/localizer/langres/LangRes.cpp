#include "LangRes.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "LangFormat.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/KStrings.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace langres {

// ---------------------------------------------------------------------------------------------
// Languages and code pages

uint16_t UserDefaultLangId() {
#ifdef _WIN32
    static const uint16_t id = GetUserDefaultLangID();
    return id;
#else
    return 0x0409;
#endif
}

uint32_t LangCodePage(uint16_t langId) {
    // Conversions run for every value of a dictionary: ask the locale table once per language.
    static std::unordered_map<uint16_t, uint32_t> cache;
    auto it = cache.find(langId);
    if (it != cache.end()) return it->second;
    uint32_t cp = 0;
    try {
        cp = kutils::LocaleCodePage(langId);
    } catch (const fw::Exception&) {
        cp = 0;
    }
    if (cp == 0) cp = kutils::Nls().GetACP();
    cache.emplace(langId, cp);
    return cp;
}

namespace {

bool IsPlainAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) - 1u >= 0x7Fu) return false;  // 1..127 only
    return true;
}

bool IsPlainAscii(const std::u16string& s) {
    for (char16_t c : s)
        if (c == 0 || c > 0x7F) return false;
    return true;
}

}  // namespace

std::string LangWideToAnsi(const std::u16string& text, uint16_t langId) {
    // Every ANSI code page keeps 1..127 as they are.
    if (IsPlainAscii(text)) return std::string(text.begin(), text.end());
    return kutils::WideToAnsiCP(text, LangCodePage(langId));
}

std::u16string LangAnsiToWide(const std::string& text, uint16_t langId) {
    if (IsPlainAscii(text)) {
        std::u16string r(text.size(), u'\0');
        for (size_t i = 0; i < text.size(); ++i) r[i] = static_cast<char16_t>(text[i]);
        return r;
    }
    return kutils::AnsiToWideCP(text, LangCodePage(langId));
}

bool LangAnsiHoldsText(const std::u16string& text, uint16_t langId, std::string& ansi) {
    ansi = LangWideToAnsi(text, langId);
    return LangAnsiToWide(ansi, langId) == text;
}

std::string TVariant::ToAnsi(uint16_t langId) const {
    if (IsInteger()) return fw::IntToStr(AsInteger());
    if (IsAnsi()) return AsAnsi();
    if (IsWide()) return LangWideToAnsi(AsWide(), langId);
    return std::string();
}

std::u16string TVariant::ToWide(uint16_t langId) const {
    if (IsWide()) return AsWide();
    if (IsAnsi()) return LangAnsiToWide(AsAnsi(), langId);
    if (IsInteger()) return AsciiToWide(fw::IntToStr(AsInteger()));
    return std::u16string();
}

// ---------------------------------------------------------------------------------------------
// TKObjectList

void TKPointerArray::reserve(size_t n) {
    if (n <= capacity_) return;
    auto* fresh = new TKObject*[n];
    std::copy(data_, data_ + size_, fresh);
    if (data_ != inline_) delete[] data_;
    data_ = fresh;
    capacity_ = n;
}

void TKPointerArray::insert(size_t at, TKObject* p) {
    if (size_ == capacity_) reserve(capacity_ * 2);
    if (at < size_) std::copy_backward(data_ + at, data_ + size_, data_ + size_ + 1);
    data_[at] = p;
    ++size_;
}

void TKPointerArray::erase(size_t at) {
    std::copy(data_ + at + 1, data_ + size_, data_ + at);
    --size_;
}

TKObjectList::~TKObjectList() {
    // Handlers are not called here: whoever set them may be going away too. A list that keeps
    // an object of its own has freed the others in its own destructor already.
    for (TKObject* o : items_) delete o;
}

void TKObjectList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw fw::EListError(fw::Format("List index out of bounds (%d)", {index}));
}

int TKObjectList::Add(TKObject* object) {
    items_.push_back(object);
    NotifyChanged();
    return Count() - 1;
}

void TKObjectList::Insert(int index, TKObject* object) {
    if (index < 0 || index > Count()) throw fw::EListError(fw::Format("List index out of bounds (%d)", {index}));
    items_.insert(static_cast<size_t>(index), object);
    NotifyChanged();
}

TKObject* TKObjectList::Items(int index) const {
    CheckIndex(index);
    return At(index);
}

int TKObjectList::IndexOf(const TKObject* object) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == object) return static_cast<int>(i);
    return -1;
}

void TKObjectList::ExtractAt(int index) {
    CheckIndex(index);
    items_.erase(static_cast<size_t>(index));
    NotifyChanged();
}

void TKObjectList::Delete(int index) {
    CheckIndex(index);
    TKObject* o = At(index);
    items_[static_cast<size_t>(index)] = nullptr;
    FreeObject(o);
    ExtractAt(index);
}

void TKObjectList::Clear() {
    FreeAll();
    items_.clear();
    NotifyChanged();
}

void TKObjectList::FreeAll() {
    for (TKObject*& o : items_) {
        TKObject* p = o;
        o = nullptr;
        FreeObject(p);
    }
}

void TKObjectList::NotifyEmpty() {
    if (OnBecameEmpty) OnBecameEmpty(this);
}

void TKObjectList::NotifyChanged() {
    if (OnItemsChanged) OnItemsChanged(this);
    if (Count() == 0) NotifyEmpty();
}

// ---------------------------------------------------------------------------------------------
// Values

TLResValue::TLResValue(TLResValueList* owner) : Owner(owner), LangId(UserDefaultLangId()) {}

TLResValueKind TLResValue::Kind() const {
    return Owner ? Owner->Kind : vkString;
}

bool TLResValue::IsNativeValue() const {
    return Owner && Owner->Count() > 1 && Owner->Items(0) == this;
}

void TLResValue::SetText(const std::u16string& text) {
    Text = text;
    FollowNative();
}

void TLResValue::SetText(std::u16string&& text) {
    Text = std::move(text);
    FollowNative();
}

void TLResValue::FollowNative() {
    if (!IsNativeValue()) return;
    // Untranslated values follow the native text, each in its own code page.
    std::string ansi;
    bool converted = false;
    for (int i = 1; i < Owner->Count(); ++i) {
        TLResValue* v = Owner->Values(i);
        if (!v || v->Revision >= 0) continue;
        if (!converted) {
            ansi = GetAnsiText();
            converted = true;
        }
        v->SetAnsiText(ansi);
    }
}

std::string TLResValue::GetAnsiText() const {
    return LangWideToAnsi(Text, LangId);
}

void TLResValue::SetAnsiText(const std::string& text) {
    SetText(LangAnsiToWide(text, LangId));
}

const std::vector<std::string>& TLResValue::GetLines() {
    if (!lines_) lines_ = std::make_unique<std::vector<std::string>>();
    lines_->clear();
    std::string s = GetAnsiText();
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r' && s[i] != '\n') continue;
        lines_->push_back(s.substr(start, i - start));
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < s.size()) lines_->push_back(s.substr(start));
    return *lines_;
}

int32_t TLResValue::AsInteger() const {
    return kutils::StrToIntZero(GetAnsiText());
}

namespace {

double FloatOrThrow(const std::string& text) {
    double v;
    if (!TextToFloat(text, v)) throw fw::EConvertError("'" + text + "' is not a valid floating point value");
    return v;
}

}  // namespace

bool TLResValue::SameAs(const std::u16string& text) const {
    if (Text.empty()) return text.empty();
    if (text.empty()) return false;
    switch (Kind()) {
        case vkFloat:
            return FloatOrThrow(GetAnsiText()) == FloatOrThrow(LangWideToAnsi(text, LangId));
        case vkInteger:
            return fw::StrToInt(fw::Trim(GetAnsiText())) == fw::StrToInt(fw::Trim(LangWideToAnsi(text, LangId)));
        case vkString:
        case vkStringList:
            return Text == text;
        default:
            return false;
    }
}

void TLResValue::AssignVariant(const TVariant& value, int32_t revision) {
    if (SameAs(value.ToWide(LangId))) return;
    if (value.IsWide())
        SetText(value.AsWide());
    else
        SetAnsiText(value.ToAnsi(LangId));
    if (revision != -1) SetRevision(revision);
}

void TLResValue::ReadFromStream(fw::TByteReader& reader, uint16_t version) {
    TLFValue v;
    ReadPropertyValue(reader, version, static_cast<uint8_t>(Kind()), v);
    if (v.Present) SetText(v.Text);
}

TLResValueList::TLResValueList(TLResValueKind kind) : Kind(kind), first_(this) {
    Add(&first_);
}

TLResValueList::~TLResValueList() {
    // Free the other values here, while FreeObject still knows value 0; the base then finds
    // only empty entries.
    FreeAll();
}

void TLResValueList::FreeObject(TKObject* object) {
    if (object != &first_) delete object;
}

// ---------------------------------------------------------------------------------------------
// Named lists

int CompareNames(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    const char* pa = a.data();
    const char* pb = b.data();
    size_t i = 0;
    // Names of one list share long prefixes ("Caption", "SConst"): equal bytes are passed over
    // eight at a time, and bytes that are equal need no folding.
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, pa + i, 8);
        std::memcpy(&y, pb + i, 8);
        if (x != y) break;
    }
    for (; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(pa[i]), y = static_cast<unsigned char>(pb[i]);
        if (x == y) continue;
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool TLResNamedItemList::Find(const std::string& name, int& index) const {
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareNames(name, static_cast<TLResNamedItem*>(At(mid))->Name);
        if (c < 0) {
            hi = mid - 1;
        } else if (c == 0) {
            index = mid;
            return true;
        } else {
            lo = mid + 1;
        }
    }
    index = lo;
    return false;
}

int TLResNamedItemList::IndexOf(const std::string& name) const {
    int i;
    return Find(name, i) ? i : -1;
}

TLResNamedItem* TLResNamedItemList::Locate(const std::string& name) {
    const int n = Count();
    auto at = [this](int i) { return static_cast<TLResNamedItem*>(At(i)); };
    bool lastChecked = false;
    if (LastIndex >= 0 && LastIndex < n) {
        TLResNamedItem* last = at(LastIndex);
        const int c = CompareNames(name, last->Name);
        if (c == 0) return last;
        // Files list their items in name order: a name after the last one found or inserted
        // usually belongs right behind it. The list is sorted, so one look at the next item
        // gives the same place the search would.
        if (c > 0) {
            const int next = LastIndex + 1;
            const int d = next < n ? CompareNames(name, at(next)->Name) : -1;
            if (d <= 0) {
                LastIndex = next;
                return d == 0 ? at(next) : nullptr;
            }
        }
        lastChecked = LastIndex == n - 1;
    }
    // A name after the last one needs no search.
    if (n > 0 && !lastChecked && CompareNames(name, at(n - 1)->Name) > 0) {
        LastIndex = n;
        return nullptr;
    }
    int index;
    bool found = Find(name, index);
    LastIndex = index;
    return found ? at(index) : nullptr;
}

TLResNamedItem* TLResNamedItemList::InsertAtLast(TLResNamedItem* item) {
    try {
        Insert(LastIndex, item);
    } catch (...) {
        delete item;
        throw;
    }
    return item;
}

TLResNamedItem* TLResNamedItemList::Ensure(const std::string& name) {
    if (TLResNamedItem* found = Locate(name)) return found;
    return InsertAtLast(CreateItem(name));
}

void TLResNamedItemList::Clear() {
    LastIndex = -1;
    TKObjectList::Clear();
}

TLResNamedItem* TLResNamedItemList::CreateItem(const std::string& name) {
    return new TLResNamedItem(name);
}

void TLResNamedItemList::TraverseAll(int32_t value) {
    for (int i = 0; i < Count(); ++i) Items(i)->Traverse(value);
}

// ---------------------------------------------------------------------------------------------
// Items

TLResItem::TLResItem(TLangResource* resource, TLResValueKind kind, std::string name, uint32_t id)
    : TLResNamedItem(std::move(name)), Id(id), Resource(resource), values_(kind), Values(&values_) {
    TLResItem::InitValues();
}

void TLResItem::InitValues() {
    if (!Resource) return;
    for (int i = 1; i < Resource->LanguageCount(); ++i) AddValue(std::u16string(), Resource->LangIds(i));
}

void TLResItem::InitNativeLangId() {
    if (Resource) NativeValue()->SetLangId(Resource->NativeLangId);
}

int TLResItem::AddValue(const std::u16string& text, uint16_t langId) {
    auto* v = new TLResValue(Values);
    try {
        v->SetText(text);
        v->SetLangId(langId);
        return Values->Add(v);
    } catch (...) {
        delete v;
        throw;
    }
}

void TLResItem::AssignValue(int index, const TVariant& value, int32_t revision) {
    Values->Values(index)->AssignVariant(value, revision);
    Used = true;
}

void TLResItemList::AppendTo(std::vector<TLResItem*>* flat) const {
    if (!flat) return;
    for (int i = 0; i < Count(); ++i) flat->push_back(static_cast<TLResItem*>(At(i)));
}

TLResItem* TLResItemList::ItemByName(const std::string& name) const {
    int i;
    return Find(name, i) ? static_cast<TLResItem*>(At(i)) : nullptr;
}

void TLResItemList::Pack() {
    for (int i = Count() - 1; i >= 0; --i)
        if (!Items(i)->Used) Delete(i);
}

// Properties

namespace {

TLangResource* ResourceOfOwner(TLResComponentItem* owner) {
    if (!owner) return nullptr;
    if (TLResFormItem* f = owner->AsForm()) return f->Resource;
    return owner->Form ? owner->Form->Resource : nullptr;
}

}  // namespace

TLResPropertyItem::TLResPropertyItem(TLResComponentItem* owner, TLResValueKind kind, std::string name, uint32_t id)
    : TLResItem(ResourceOfOwner(owner), kind, std::move(name), id), Owner(owner) {
    InitNativeLangId();
}

TLResFormItem* TLResPropertyItem::OwnerForm() const {
    if (!Owner) return nullptr;
    if (TLResFormItem* f = Owner->AsForm()) return f;
    return Owner->Form;
}

int TLResPropertyItem::ValueIndex() const {
    TLResFormItem* f = OwnerForm();
    return f && f->Resource ? f->Resource->CurrentIndex : 0;
}

std::string TLResPropertyItem::GetPath(char separator) const {
    return (Owner ? Owner->GetPath(separator) : std::string()) + separator + Name;
}

TLResPropertyItem* TLResPropertyList::EnsureProperty(uint32_t id, const std::string& name, TLResValueKind kind) {
    if (TLResNamedItem* found = Locate(name)) return static_cast<TLResPropertyItem*>(found);
    return static_cast<TLResPropertyItem*>(InsertAtLast(new TLResPropertyItem(Owner, kind, name, id)));
}

// Components and forms

TLResComponentItem::TLResComponentItem(std::string name, TLResFormItem* form)
    : TLResNamedItem(std::move(name)), Form(form), Properties(new TLResPropertyList(this)) {}

TLResComponentItem::~TLResComponentItem() {
    delete Properties;
}

void TLResComponentItem::Traverse(int32_t value) {
    Properties->TraverseAll(value);
}

std::string TLResComponentItem::GetPath(char separator) const {
    if (Form) return Form->GetPath(separator) + separator + Name;
    return Name;
}

TLResNamedItem* TLResComponentList::CreateItem(const std::string& name) {
    return new TLResComponentItem(name, Owner);
}

void TLResComponentList::Pack() {
    for (int i = Count() - 1; i >= 0; --i) {
        TLResComponentItem* c = Items(i);
        c->Properties->Pack();
        if (c->Properties->Count() == 0) Delete(i);
    }
}

TLResFormItem::TLResFormItem(std::string name, TLangResource* resource)
    : TLResComponentItem(std::move(name), nullptr), Resource(resource), Components(new TLResComponentList(this)) {}

TLResFormItem::~TLResFormItem() {
    // Components first: their properties point back at this form.
    delete Components;
    Components = nullptr;
}

TLResComponentItem* TLResFormItem::FindComponent(const std::string* componentName) const {
    if (!componentName) return const_cast<TLResFormItem*>(this);
    int i;
    return Components->Find(*componentName, i) ? Components->Items(i) : nullptr;
}

TLResPropertyItem* TLResFormItem::FindProperty(const std::string* componentName,
                                               const std::string& propertyName) const {
    TLResComponentItem* c = FindComponent(componentName);
    if (!c) return nullptr;
    return static_cast<TLResPropertyItem*>(c->Properties->ItemByName(propertyName));
}

TLResPropertyItem* TLResFormItem::EnsureProperty(uint32_t id, const std::string* componentName,
                                                 const std::string& propertyName, TLResValueKind kind) {
    TLResComponentItem* owner = componentName ? Components->Ensure(*componentName) : this;
    return owner->Properties->EnsureProperty(id, propertyName, kind);
}

void TLResFormItem::Traverse(int32_t value) {
    TLResComponentItem::Traverse(value);
    Components->TraverseAll(value);
}

TLResNamedItem* TLResFormList::CreateItem(const std::string& name) {
    return new TLResFormItem(name, Resource);
}

void TLResFormList::Pack() {
    for (int i = Count() - 1; i >= 0; --i) {
        TLResFormItem* f = Items(i);
        f->Components->Pack();
        f->Properties->Pack();
        if (f->Components->Count() == 0 && f->Properties->Count() == 0) Delete(i);
    }
}

void TLResFormList::CollectProperties(TLinearPropertyList& flat, bool sort) const {
    for (int i = 0; i < Count(); ++i) {
        TLResFormItem* f = Items(i);
        for (int p = 0; p < f->Properties->Count(); ++p) flat.List.push_back(f->Properties->Items(p));
        for (int c = 0; c < f->Components->Count(); ++c) {
            TLResPropertyList* props = f->Components->Items(c)->Properties;
            for (int p = 0; p < props->Count(); ++p) flat.List.push_back(props->Items(p));
        }
    }
    if (sort) flat.SortById();
    flat.Sorted = sort;
}

// Units and constants

TLResConstantItem::TLResConstantItem(TLResUnitItem* unit, std::string name, uint32_t id, uint32_t resId)
    : TLResItem(unit ? unit->Resource : nullptr, vkString, std::move(name), id), Unit(unit), ResId(resId) {
    InitNativeLangId();
}

std::string TLResConstantItem::GetPath(char separator) const {
    return (Unit ? Unit->GetPath(separator) : std::string()) + separator + Name;
}

TLResConstantItem* TLResConstantList::EnsureConstant(uint32_t id, const std::string& name, uint32_t resId) {
    if (TLResNamedItem* found = Locate(name)) return static_cast<TLResConstantItem*>(found);
    return static_cast<TLResConstantItem*>(InsertAtLast(new TLResConstantItem(Owner, name, id, resId)));
}

TLResUnitItem::TLResUnitItem(std::string name, TLangResource* resource)
    : TLResNamedItem(std::move(name)), Constants(new TLResConstantList(this)), Resource(resource) {}

TLResUnitItem::~TLResUnitItem() {
    delete Constants;
}

void TLResUnitItem::Traverse(int32_t value) {
    Constants->TraverseAll(value);
}

TLResNamedItem* TLResUnitList::CreateItem(const std::string& name) {
    return new TLResUnitItem(name, Resource);
}

void TLResUnitList::Pack() {
    for (int i = Count() - 1; i >= 0; --i) {
        TLResUnitItem* u = Items(i);
        u->Constants->Pack();
        if (u->Constants->Count() == 0) Delete(i);
    }
}

void TLResUnitList::CollectConstants(TLinearConstantList& flat, bool sort) const {
    for (int i = 0; i < Count(); ++i) {
        TLResConstantList* cs = Items(i)->Constants;
        for (int c = 0; c < cs->Count(); ++c) flat.List.push_back(cs->Items(c));
    }
    if (sort) flat.SortById();
    flat.Sorted = sort;
}

// Groups and externals

TLResExternalItem::TLResExternalItem(TLResExtGroupItem* group, std::string name, uint32_t id)
    : TLResItem(group ? group->Resource : nullptr, vkString, std::move(name), id), Group(group) {
    InitNativeLangId();
}

std::string TLResExternalItem::GetPath(char separator) const {
    return (Group ? Group->GetPath(separator) : std::string()) + separator + Name;
}

TLResExternalItem* TLResExternalList::EnsureExternal(uint32_t id, const std::string& name) {
    if (TLResNamedItem* found = Locate(name)) return static_cast<TLResExternalItem*>(found);
    return static_cast<TLResExternalItem*>(InsertAtLast(new TLResExternalItem(Owner, name, id)));
}

TLResExtGroupItem::TLResExtGroupItem(std::string name, TLangResource* resource)
    : TLResNamedItem(std::move(name)), Externals(new TLResExternalList(this)), Resource(resource) {}

TLResExtGroupItem::~TLResExtGroupItem() {
    delete Externals;
}

void TLResExtGroupItem::Traverse(int32_t value) {
    Externals->TraverseAll(value);
}

TLResNamedItem* TLResExtGroupList::CreateItem(const std::string& name) {
    return new TLResExtGroupItem(name, Resource);
}

void TLResExtGroupList::Pack() {
    for (int i = Count() - 1; i >= 0; --i) {
        TLResExtGroupItem* g = Items(i);
        g->Externals->Pack();
        if (g->Externals->Count() == 0) Delete(i);
    }
}

void TLResExtGroupList::CollectExternals(TLinearExternalList& flat, bool sort) const {
    for (int i = 0; i < Count(); ++i) {
        TLResExternalList* es = Items(i)->Externals;
        for (int e = 0; e < es->Count(); ++e) flat.List.push_back(es->Items(e));
    }
    if (sort) flat.SortById();
    flat.Sorted = sort;
}

// ---------------------------------------------------------------------------------------------
// Flat lists

template <class T>
T* TLinearList<T>::Items(int index) const {
    if (index < 0 || index >= Count()) throw fw::EListError(fw::Format("List index out of bounds (%d)", {index}));
    return List[static_cast<size_t>(index)];
}

template <class T>
void TLinearList<T>::SortById() {
    auto less = [](const T* a, const T* b) { return static_cast<int32_t>(a->Id) < static_cast<int32_t>(b->Id); };
    if (!std::is_sorted(List.begin(), List.end(), less)) std::stable_sort(List.begin(), List.end(), less);
}

template <class T>
int TLinearList<T>::IndexOfId(uint32_t id) const {
    if (!Sorted) {
        for (size_t i = 0; i < List.size(); ++i)
            if (List[i]->Id == id) return static_cast<int>(i);
        return -1;
    }
    int lo = 0, hi = Count() - 1;
    for (;;) {
        if (hi < lo) return -1;
        int mid = lo + (hi - lo) / 2;
        if (mid == lo || mid == hi) {
            if (List[static_cast<size_t>(lo)]->Id == id) return lo;
            if (List[static_cast<size_t>(hi)]->Id == id) return hi;
            return -1;
        }
        uint32_t at = List[static_cast<size_t>(mid)]->Id;
        if (at == id) return mid;
        if (static_cast<int32_t>(at) > static_cast<int32_t>(id))
            hi = mid - 1;
        else
            lo = mid + 1;
    }
}

template class TLinearList<TLResPropertyItem>;
template class TLinearList<TLResConstantItem>;
template class TLinearList<TLResExternalItem>;

// ---------------------------------------------------------------------------------------------
// TLangResource

TLangResource::TLangResource()
    : Forms(new TLResFormList(this)),
      Units(new TLResUnitList(this)),
      ExtGroups(new TLResExtGroupList(this)),
      NativeLangId(UserDefaultLangId()),
      Locales(new TLocaleList) {
    Locales->Add(NativeLangId);
}

TLangResource::~TLangResource() {
    delete Locales;
    delete ExtGroups;
    delete Units;
    delete Forms;
}

uint16_t TLangResource::LangIds(int index) const {
    if (index < 0 || index >= Locales->Count()) return 0;
    return Locales->Items(index);
}

int TLangResource::IndexOfLangId(uint16_t id) const {
    for (int i = 0; i < Locales->Count(); ++i)
        if (Locales->Items(i) == id) return i;
    return -1;
}

void TLangResource::SetNativeLangId(uint16_t id) {
    NativeLangId = id;
    if (LanguageCount() > 0) SetLanguageLangId(0, id);
}

namespace {

struct TFlatLists {
    TLinearPropertyList Properties;
    TLinearConstantList Constants;
    TLinearExternalList Externals;
    explicit TFlatLists(const TLangResource& r) {
        r.Units->CollectConstants(Constants, false);
        r.Forms->CollectProperties(Properties, false);
        r.ExtGroups->CollectExternals(Externals, false);
    }
    template <class F>
    void ForEach(F f) {
        for (auto* p : Properties.List) f(static_cast<TLResItem*>(p));
        for (auto* c : Constants.List) f(static_cast<TLResItem*>(c));
        for (auto* e : Externals.List) f(static_cast<TLResItem*>(e));
    }
};

}  // namespace

void TLangResource::SetLanguageLangId(int index, uint16_t id) {
    if (index < 0 || index >= Locales->Count()) return;
    Locales->Set(index, id);
    TFlatLists flat(*this);
    flat.ForEach([&](TLResItem* item) {
        if (index < item->Values->Count()) item->Values->Values(index)->SetLangId(id);
    });
}

int TLangResource::AddLanguage(int sourceIndex, uint16_t id) {
    TFlatLists flat(*this);
    if (LanguageCount() == 0) throw ELangResError("Empty dictionary");
    if (sourceIndex < 0 || sourceIndex >= LanguageCount()) throw ELangResError("Could not add language");
    Locales->Add(id);
    auto add = [&](TLResItem* item) {
        int n = item->AddValue(std::u16string(), id);
        TLResValue* v = item->Values->Values(n);
        v->SetAnsiText(item->Values->Values(sourceIndex)->GetAnsiText());
        v->SetRevision(-1);
    };
    for (auto* c : flat.Constants.List) add(c);
    for (auto* p : flat.Properties.List) add(p);
    for (auto* e : flat.Externals.List) add(e);
    return LanguageCount() - 1;
}

void TLangResource::RemoveLanguage(int index) {
    TFlatLists flat(*this);
    if (LanguageCount() <= 1 || index >= LanguageCount() || index <= 0)
        throw ELangResError("Could not remove language");
    Locales->Delete(index);
    auto remove = [&](TLResItem* item) {
        if (index < item->Values->Count()) item->Values->Delete(index);
    };
    for (auto* c : flat.Constants.List) remove(c);
    for (auto* p : flat.Properties.List) remove(p);
    for (auto* e : flat.Externals.List) remove(e);
}

}  // namespace langres
