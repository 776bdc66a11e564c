// The language resource model: every translatable text of an application (form and component
// properties, resource-string constants, external strings in groups), one value per language.
// Language index 0 is the native language; further languages follow in the order they were added.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "framework/ByteReader.h"
#include "framework/SysUtils.h"

namespace langres {

FW_DECLARE_EXCEPTION(ELangResError, fw::Exception);

// Root of everything an owning list can hold.
class TKObject {
public:
    virtual ~TKObject() = default;
};

// The user's default language id (the system's on Windows, English (US) elsewhere).
uint16_t UserDefaultLangId();

// Text conversion in the ANSI code page of a language (the system's when it has none).
uint32_t LangCodePage(uint16_t langId);
std::string LangWideToAnsi(const std::u16string& text, uint16_t langId);
std::u16string LangAnsiToWide(const std::string& text, uint16_t langId);
// Whether that code page holds the text exactly; ansi receives the 8-bit form either way.
bool LangAnsiHoldsText(const std::u16string& text, uint16_t langId, std::string& ansi);

// A value handed to AssignVariant: empty, a 32-bit integer, 8-bit text or wide (OLE) text.
class TVariant {
public:
    TVariant() = default;
    TVariant(int32_t v) : v_(v) {}
    TVariant(std::string s) : v_(std::move(s)) {}
    TVariant(const char* s) : v_(std::string(s ? s : "")) {}
    TVariant(std::u16string s) : v_(std::move(s)) {}
    TVariant(const char16_t* s) : v_(std::u16string(s ? s : u"")) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
    bool IsInteger() const { return std::holds_alternative<int32_t>(v_); }
    bool IsAnsi() const { return std::holds_alternative<std::string>(v_); }
    bool IsWide() const { return std::holds_alternative<std::u16string>(v_); }
    int32_t AsInteger() const { return std::get<int32_t>(v_); }
    const std::string& AsAnsi() const { return std::get<std::string>(v_); }
    const std::u16string& AsWide() const { return std::get<std::u16string>(v_); }

    // The value as 8-bit text (wide text converted in the given language's code page).
    std::string ToAnsi(uint16_t langId) const;
    // The value as UTF-16 text (8-bit text decoded in the given language's code page).
    std::u16string ToWide(uint16_t langId) const;

private:
    std::variant<std::monostate, int32_t, std::string, std::u16string> v_;
};

// Pointer storage of the owning lists: most value lists hold one to three values, so the first
// two entries live in the list itself (one allocation less per dictionary item).
class TKPointerArray {
public:
    TKPointerArray() = default;
    ~TKPointerArray() {
        if (data_ != inline_) delete[] data_;
    }
    TKPointerArray(const TKPointerArray&) = delete;
    TKPointerArray& operator=(const TKPointerArray&) = delete;

    size_t size() const { return size_; }
    TKObject** begin() { return data_; }
    TKObject** end() { return data_ + size_; }
    TKObject* const* begin() const { return data_; }
    TKObject* const* end() const { return data_ + size_; }
    TKObject*& operator[](size_t i) { return data_[i]; }
    TKObject* operator[](size_t i) const { return data_[i]; }
    void reserve(size_t n);
    void insert(size_t at, TKObject* p);
    void push_back(TKObject* p) { insert(size_, p); }
    void erase(size_t at);
    void clear() { size_ = 0; }

private:
    TKObject* inline_[2] = {nullptr, nullptr};
    TKObject** data_ = inline_;
    size_t size_ = 0;
    size_t capacity_ = 2;
};

// An owning list of objects; an entry may be none.
class TKObjectList {
public:
    using TNotifyEvent = std::function<void(TKObjectList* sender)>;

    TKObjectList() = default;
    virtual ~TKObjectList();
    TKObjectList(const TKObjectList&) = delete;
    TKObjectList& operator=(const TKObjectList&) = delete;

    TNotifyEvent OnItemsChanged;
    TNotifyEvent OnBecameEmpty;

    int Count() const { return static_cast<int>(items_.size()); }
    int Add(TKObject* object);
    void Insert(int index, TKObject* object);
    TKObject* Items(int index) const;
    void ExtractAt(int index);
    int IndexOf(const TKObject* object) const;
    // Room for that many entries without growing (never shrinks).
    void SetCapacity(int n) { items_.reserve(n > 0 ? static_cast<size_t>(n) : 0); }

    virtual void Clear();
    virtual void FreeAll();
    virtual void NotifyEmpty();
    virtual void NotifyChanged();
    virtual void Delete(int index);

protected:
    void CheckIndex(int index) const;
    TKObject* At(int index) const { return items_[static_cast<size_t>(index)]; }
    // Frees one object of the list; a list that holds an object of its own does not.
    virtual void FreeObject(TKObject* object) { delete object; }

private:
    TKPointerArray items_;
};

enum TLResValueKind : uint8_t {
    vkFloat = 0,
    vkInteger = 1,
    vkString = 2,
    vkList = 3,
    vkStringList = 4,
    vkBinary = 5,
    vkIdent = 6,
    vkSet = 7,
};

constexpr uint16_t vfDoNotTranslate = 0x0008;
constexpr uint16_t vfAdded = 0x0010;
constexpr uint16_t vfWide = 0x0020;
constexpr uint16_t vfConfirmed = 0x0100;

class TLResValueList;
class TLangResource;
class TLResFormItem;
class TLResComponentItem;
class TLResUnitItem;
class TLResExtGroupItem;
class TLResPropertyList;
class TLResConstantList;
class TLResExternalList;
class TLResComponentList;

class TLResValue : public TKObject {
public:
    explicit TLResValue(TLResValueList* owner);

    TLResValueList* Owner;
    uint64_t Stamp = 0;  // carried through from the language file, never interpreted
    std::u16string Text;
    int32_t Revision = 0;
    uint16_t Flags = 0;
    uint16_t LangId;

    TLResValueKind Kind() const;
    void SetText(const std::u16string& text);
    void SetText(std::u16string&& text);
    std::string GetAnsiText() const;
    void SetAnsiText(const std::string& text);
    // Valid until the next call.
    const std::vector<std::string>& GetLines();
    int32_t AsInteger() const;
    void SetRevision(int32_t v) { Revision = v; }
    void SetLangId(uint16_t v) { LangId = v; }
    void SetStamp(uint64_t v) { Stamp = v; }
    bool HasFlags(uint16_t mask) const { return (Flags & mask) == mask; }
    void SetFlags(uint16_t mask, bool on) {
        Flags = on ? static_cast<uint16_t>(Flags | mask) : static_cast<uint16_t>(Flags & ~mask);
    }
    bool SameAs(const std::u16string& text) const;
    void AssignVariant(const TVariant& value, int32_t revision);
    // One value in the language-file encoding of this value's kind.
    void ReadFromStream(fw::TByteReader& reader, uint16_t version);

private:
    bool IsNativeValue() const;
    void FollowNative();
    std::unique_ptr<std::vector<std::string>> lines_;
};

class TLResValueList : public TKObjectList {
public:
    // Creates value 0.
    explicit TLResValueList(TLResValueKind kind);
    ~TLResValueList() override;
    TLResValueKind Kind;
    TLResValue* Values(int index) const { return static_cast<TLResValue*>(Items(index)); }

protected:
    void FreeObject(TKObject* object) override;

private:
    // Value 0 lives in the list itself: one allocation less per dictionary item.
    TLResValue first_;
};

class TLResNamedItem : public TKObject {
public:
    explicit TLResNamedItem(std::string name) : Name(std::move(name)) {}
    std::string Name;
    virtual void Traverse(int32_t value) {}
};

// Name order: bytes compared after folding ASCII a-z to A-Z only; a prefix sorts first.
int CompareNames(const std::string& a, const std::string& b);

class TLResNamedItemList : public TKObjectList {
public:
    int32_t LastIndex = -1;

    bool Find(const std::string& name, int& index) const;
    int IndexOf(const std::string& name) const;
    TLResNamedItem* Items(int index) const { return static_cast<TLResNamedItem*>(TKObjectList::Items(index)); }
    TLResNamedItem* Ensure(const std::string& name);
    void Clear() override;
    virtual TLResNamedItem* CreateItem(const std::string& name);
    virtual void Pack() {}
    void TraverseAll(int32_t value);

protected:
    // The existing item or none; LastIndex is left at the item or at the insert position.
    TLResNamedItem* Locate(const std::string& name);
    TLResNamedItem* InsertAtLast(TLResNamedItem* item);
};

class TLResItem : public TLResNamedItem {
public:
    TLResItem(TLangResource* resource, TLResValueKind kind, std::string name, uint32_t id);

    uint32_t Id;
    TLangResource* Resource;

private:
    TLResValueList values_;  // kept with the item: one allocation less per item

public:
    TLResValueList* const Values;
    bool Used = false;

    virtual int ValueIndex() const { return 0; }
    virtual void InitValues();
    virtual std::string GetPath(char separator) const { return Name; }

    int AddValue(const std::u16string& text, uint16_t langId);
    TLResValue* NativeValue() const { return Values->Values(0); }
    TLResValue* CurrentValue() const { return Values->Values(ValueIndex()); }
    void AssignValue(int index, const TVariant& value, int32_t revision);
    bool HasFlags(uint16_t mask) const { return NativeValue()->HasFlags(mask); }
    void SetFlags(uint16_t mask, bool on) { NativeValue()->SetFlags(mask, on); }

protected:
    // Gives the native value the model's native language.
    void InitNativeLangId();
};

class TLResItemList : public TLResNamedItemList {
public:
    TLResItem* Items(int index) const { return static_cast<TLResItem*>(TKObjectList::Items(index)); }
    void AppendTo(std::vector<TLResItem*>* flat) const;
    TLResItem* ItemByName(const std::string& name) const;
    void Pack() override;
};

class TLResPropertyItem : public TLResItem {
public:
    // owner: the component or the form the property belongs to.
    TLResPropertyItem(TLResComponentItem* owner, TLResValueKind kind, std::string name, uint32_t id);
    TLResComponentItem* Owner;
    TLResFormItem* OwnerForm() const;
    TLResValueKind Kind() const { return Values->Kind; }
    void SetKind(TLResValueKind kind) { Values->Kind = kind; }
    int ValueIndex() const override;
    std::string GetPath(char separator) const override;
};

class TLResPropertyList : public TLResItemList {
public:
    explicit TLResPropertyList(TLResComponentItem* owner) : Owner(owner) {}
    TLResComponentItem* Owner;
    TLResPropertyItem* Items(int index) const { return static_cast<TLResPropertyItem*>(TKObjectList::Items(index)); }
    TLResPropertyItem* EnsureProperty(uint32_t id, const std::string& name, TLResValueKind kind);
};

class TLResComponentItem : public TLResNamedItem {
public:
    TLResComponentItem(std::string name, TLResFormItem* form);
    ~TLResComponentItem() override;
    TLResFormItem* Form;
    TLResPropertyList* Properties;
    uint16_t Flags = 0;
    void SetFlags(uint16_t mask, bool on) {
        Flags = on ? static_cast<uint16_t>(Flags | mask) : static_cast<uint16_t>(Flags & ~mask);
    }
    void Traverse(int32_t value) override;
    virtual std::string GetPath(char separator) const;
    // The form node when this is a form, else none.
    virtual TLResFormItem* AsForm() { return nullptr; }
};

class TLResComponentList : public TLResNamedItemList {
public:
    explicit TLResComponentList(TLResFormItem* owner) : Owner(owner) {}
    TLResFormItem* Owner;
    TLResComponentItem* Items(int index) const { return static_cast<TLResComponentItem*>(TKObjectList::Items(index)); }
    TLResNamedItem* CreateItem(const std::string& name) override;
    TLResComponentItem* Ensure(const std::string& name) {
        return static_cast<TLResComponentItem*>(TLResNamedItemList::Ensure(name));
    }
    void Pack() override;
};

class TLResFormItem : public TLResComponentItem {
public:
    TLResFormItem(std::string name, TLangResource* resource);
    ~TLResFormItem() override;
    TLangResource* Resource;
    TLResComponentList* Components;

    // No name: the form itself.
    TLResComponentItem* FindComponent(const std::string* componentName) const;
    TLResPropertyItem* FindProperty(const std::string* componentName, const std::string& propertyName) const;
    TLResPropertyItem* EnsureProperty(uint32_t id, const std::string* componentName, const std::string& propertyName,
                                      TLResValueKind kind);
    void Traverse(int32_t value) override;
    std::string GetPath(char separator) const override { return Name; }
    TLResFormItem* AsForm() override { return this; }
};

class TLResFormList : public TLResNamedItemList {
public:
    explicit TLResFormList(TLangResource* resource) : Resource(resource) {}
    TLangResource* Resource;
    TLResFormItem* Items(int index) const { return static_cast<TLResFormItem*>(TKObjectList::Items(index)); }
    TLResNamedItem* CreateItem(const std::string& name) override;
    TLResFormItem* Ensure(const std::string& name) {
        return static_cast<TLResFormItem*>(TLResNamedItemList::Ensure(name));
    }
    void Pack() override;
    void CollectProperties(class TLinearPropertyList& flat, bool sort) const;
};

class TLResConstantItem : public TLResItem {
public:
    TLResConstantItem(TLResUnitItem* unit, std::string name, uint32_t id, uint32_t resId);
    TLResUnitItem* Unit;
    uint32_t ResId;
    std::string GetPath(char separator) const override;
};

class TLResConstantList : public TLResItemList {
public:
    explicit TLResConstantList(TLResUnitItem* owner) : Owner(owner) {}
    TLResUnitItem* Owner;
    TLResConstantItem* Items(int index) const { return static_cast<TLResConstantItem*>(TKObjectList::Items(index)); }
    TLResConstantItem* EnsureConstant(uint32_t id, const std::string& name, uint32_t resId);
};

class TLResUnitItem : public TLResNamedItem {
public:
    TLResUnitItem(std::string name, TLangResource* resource);
    ~TLResUnitItem() override;
    TLResConstantList* Constants;
    uint16_t Flags = 0;
    TLangResource* Resource;
    void Traverse(int32_t value) override;
    virtual std::string GetPath(char separator) const { return Name; }
};

class TLResUnitList : public TLResNamedItemList {
public:
    explicit TLResUnitList(TLangResource* resource) : Resource(resource) {}
    TLangResource* Resource;
    TLResUnitItem* Items(int index) const { return static_cast<TLResUnitItem*>(TKObjectList::Items(index)); }
    TLResNamedItem* CreateItem(const std::string& name) override;
    TLResUnitItem* Ensure(const std::string& name) {
        return static_cast<TLResUnitItem*>(TLResNamedItemList::Ensure(name));
    }
    void Pack() override;
    void CollectConstants(class TLinearConstantList& flat, bool sort) const;
};

class TLResExternalItem : public TLResItem {
public:
    TLResExternalItem(TLResExtGroupItem* group, std::string name, uint32_t id);
    TLResExtGroupItem* Group;
    std::string GetPath(char separator) const override;
};

class TLResExternalList : public TLResItemList {
public:
    explicit TLResExternalList(TLResExtGroupItem* owner) : Owner(owner) {}
    TLResExtGroupItem* Owner;
    TLResExternalItem* Items(int index) const { return static_cast<TLResExternalItem*>(TKObjectList::Items(index)); }
    TLResExternalItem* EnsureExternal(uint32_t id, const std::string& name);
};

class TLResExtGroupItem : public TLResNamedItem {
public:
    TLResExtGroupItem(std::string name, TLangResource* resource);
    ~TLResExtGroupItem() override;
    TLResExternalList* Externals;
    TLangResource* Resource;
    void Traverse(int32_t value) override;
    virtual std::string GetPath(char separator) const { return Name; }
};

class TLResExtGroupList : public TLResNamedItemList {
public:
    explicit TLResExtGroupList(TLangResource* resource) : Resource(resource) {}
    TLangResource* Resource;
    TLResExtGroupItem* Items(int index) const { return static_cast<TLResExtGroupItem*>(TKObjectList::Items(index)); }
    TLResNamedItem* CreateItem(const std::string& name) override;
    TLResExtGroupItem* Ensure(const std::string& name) {
        return static_cast<TLResExtGroupItem*>(TLResNamedItemList::Ensure(name));
    }
    void Pack() override;
    void CollectExternals(class TLinearExternalList& flat, bool sort) const;
};

// Flat, non-owning views of all items of one category, for loops and lookups by id.
template <class T>
class TLinearList {
public:
    bool Sorted = false;
    std::vector<T*> List;

    int Count() const { return static_cast<int>(List.size()); }
    T* Items(int index) const;
    void Clear() { List.clear(); }
    int IndexOfId(uint32_t id) const;
    // Ascending id (signed comparison); equal ids keep their collection order.
    void SortById();
};

class TLinearPropertyList : public TLinearList<TLResPropertyItem> {};
class TLinearConstantList : public TLinearList<TLResConstantItem> {};
class TLinearExternalList : public TLinearList<TLResExternalItem> {};

// The model's languages: 16-bit language ids by language index.
class TLocaleList {
public:
    int Count() const { return static_cast<int>(ids_.size()); }
    uint16_t Items(int index) const { return ids_[static_cast<size_t>(index)]; }
    void Add(uint16_t id) { ids_.push_back(id); }
    void Set(int index, uint16_t id) { ids_[static_cast<size_t>(index)] = id; }
    void Delete(int index) { ids_.erase(ids_.begin() + index); }

private:
    std::vector<uint16_t> ids_;
};

class TLangResource {
public:
    TLangResource();
    ~TLangResource();
    TLangResource(const TLangResource&) = delete;
    TLangResource& operator=(const TLangResource&) = delete;

    TLResFormList* Forms;
    TLResUnitList* Units;
    TLResExtGroupList* ExtGroups;
    uint16_t NativeLangId;
    int32_t CurrentIndex = 0;
    TLocaleList* Locales;

    int LanguageCount() const { return Locales->Count(); }
    uint16_t LangIds(int index) const;
    int IndexOfLangId(uint16_t id) const;
    void SetNativeLangId(uint16_t id);
    void SetLanguageLangId(int index, uint16_t id);
    int AddLanguage(int sourceIndex, uint16_t id);
    void RemoveLanguage(int index);
};

}  // namespace langres
