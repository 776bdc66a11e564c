#include "TypInfo.h"

#include <map>

#include "Components.h"

namespace fw {

const char* TypeKindName(TTypeKind kind) {
    switch (kind) {
        case TTypeKind::tkInteger:
            return "tkInteger";
        case TTypeKind::tkChar:
            return "tkChar";
        case TTypeKind::tkEnumeration:
            return "tkEnumeration";
        case TTypeKind::tkFloat:
            return "tkFloat";
        case TTypeKind::tkString:
            return "tkString";
        case TTypeKind::tkSet:
            return "tkSet";
        case TTypeKind::tkClass:
            return "tkClass";
        case TTypeKind::tkMethod:
            return "tkMethod";
        case TTypeKind::tkWChar:
            return "tkWChar";
        case TTypeKind::tkLString:
            return "tkLString";
        case TTypeKind::tkWString:
            return "tkWString";
        default:
            return "tkUnknown";
    }
}

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent, TFactory factory)
    : name_(std::move(name)), parent_(parent), factory_(std::move(factory)) {
    if (parent_) Module = parent_->Module;
}

bool TClassInfo::InheritsFrom(const TClassInfo* other) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (c == other) return true;
    return false;
}

namespace {

// Bumped whenever a class gains a property: every table built before is stale (a descendant's
// table holds its ancestors' properties, and the vector holding them may have moved).
uint64_t g_propGeneration = 1;

}  // namespace

size_t TClassInfo::TNameHash::operator()(std::string_view s) const {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<size_t>(h);
}

const TClassInfo::TPropTable& TClassInfo::Table() const {
    if (tableGeneration_ == g_propGeneration) return table_;
    table_.clear();
    // Own properties first, then each ancestor's: the first of a name wins, as in the walk.
    for (const TClassInfo* c = this; c; c = c->parent_)
        for (const TPropInfo& p : c->props_) table_.emplace(p.Name, &p);
    tableGeneration_ = g_propGeneration;
    return table_;
}

TPropInfo& TClassInfo::AddProperty(TPropInfo info) {
    auto wrap = [](auto& setter) {
        if (!setter) return;
        setter = [inner = std::move(setter)](TObject* o, auto v) {
            inner(o, std::move(v));
            o->PropertyChanged();
        };
    };
    wrap(info.SetOrd);
    wrap(info.SetStr);
    wrap(info.SetWStr);
    wrap(info.SetFloat);
    wrap(info.SetObj);
    props_.push_back(std::move(info));
    ++g_propGeneration;
    return props_.back();
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
    const TPropTable& t = Table();
    auto it = t.find(name);
    return it == t.end() ? nullptr : it->second;
}

bool TClassInfo::CanCreate() const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (c->factory_) return true;
    return false;
}

TComponent* TClassInfo::Create(TComponent* owner) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (c->factory_) return c->factory_(this, owner);
    throw EClassNotFound(Format("Cannot create an instance of the class %s", {name_}));
}

namespace {

std::map<std::string, const TClassInfo*>& ClassRegistry() {
    static std::map<std::string, const TClassInfo*> registry;
    return registry;
}

}  // namespace

void RegisterClass(const TClassInfo& cls) {
    ClassRegistry()[UpperCaseAscii(cls.Name())] = &cls;
}

const TClassInfo* GetClass(std::string_view name) {
    RegisterStandardClasses();
    auto it = ClassRegistry().find(UpperCaseAscii(name));
    return it == ClassRegistry().end() ? nullptr : it->second;
}

const TClassInfo& FindClass(std::string_view name) {
    const TClassInfo* c = GetClass(name);
    if (!c) throw EClassNotFound(Format("Class %s not found", {name}));
    return *c;
}

const TClassInfo& TObject::StaticClass() {
    static const TClassInfo info("TObject", nullptr);
    return info;
}

TObject::TObject() : class_(&StaticClass()) {}

void TObject::SetClassType(const TClassInfo* cls) {
    if (!cls || !cls->InheritsFrom(class_))
        throw EPropertyError(Format("Class %s does not derive from %s", {cls ? cls->Name() : "nil", class_->Name()}));
    class_ = cls;
}

const TPropInfo* GetPropInfo(const TObject* obj, std::string_view name) {
    return obj ? obj->ClassType()->FindProperty(name) : nullptr;
}

namespace {

const TPropInfo& Need(const TObject* obj, std::string_view name, bool ok(TTypeKind)) {
    const TPropInfo* p = GetPropInfo(obj, name);
    if (!p) throw EPropertyError(Format("Property %s does not exist", {name}));
    if (!ok(p->Kind)) throw EPropertyError(Format("Property %s is of kind %s", {name, TypeKindName(p->Kind)}));
    return *p;
}

bool IsOrd(TTypeKind k) {
    return k == TTypeKind::tkInteger || k == TTypeKind::tkChar || k == TTypeKind::tkEnumeration ||
           k == TTypeKind::tkSet || k == TTypeKind::tkWChar;
}
bool IsStr(TTypeKind k) {
    return k == TTypeKind::tkString || k == TTypeKind::tkLString;
}
bool IsWStr(TTypeKind k) {
    return k == TTypeKind::tkWString;
}
bool IsAnyStr(TTypeKind k) {
    return IsStr(k) || IsWStr(k);
}
bool IsFloat(TTypeKind k) {
    return k == TTypeKind::tkFloat;
}
bool IsClass(TTypeKind k) {
    return k == TTypeKind::tkClass;
}
bool IsMethod(TTypeKind k) {
    return k == TTypeKind::tkMethod;
}
bool IsEnum(TTypeKind k) {
    return k == TTypeKind::tkEnumeration;
}
bool IsSet(TTypeKind k) {
    return k == TTypeKind::tkSet;
}

}  // namespace

TTypeKind PropType(const TObject* obj, std::string_view name) {
    const TPropInfo* p = GetPropInfo(obj, name);
    return p ? p->Kind : TTypeKind::tkUnknown;
}

int64_t GetOrdProp(TObject* obj, std::string_view name) {
    return Need(obj, name, IsOrd).GetOrd(obj);
}
void SetOrdProp(TObject* obj, std::string_view name, int64_t v) {
    Need(obj, name, IsOrd).SetOrd(obj, v);
}
std::string GetStrProp(TObject* obj, std::string_view name) {
    return Need(obj, name, IsStr).GetStr(obj);
}
void SetStrProp(TObject* obj, std::string_view name, const std::string& v) {
    Need(obj, name, IsStr).SetStr(obj, v);
}
std::u16string GetWideStrProp(TObject* obj, std::string_view name) {
    const TPropInfo& p = Need(obj, name, IsAnyStr);
    if (!p.GetWStr) throw EPropertyError(Format("Property %s is of kind %s", {name, TypeKindName(p.Kind)}));
    return p.GetWStr(obj);
}
void SetWideStrProp(TObject* obj, std::string_view name, const std::u16string& v) {
    const TPropInfo& p = Need(obj, name, IsAnyStr);
    if (!p.SetWStr) throw EPropertyError(Format("Property %s is of kind %s", {name, TypeKindName(p.Kind)}));
    p.SetWStr(obj, v);
}
double GetFloatProp(TObject* obj, std::string_view name) {
    return Need(obj, name, IsFloat).GetFloat(obj);
}
void SetFloatProp(TObject* obj, std::string_view name, double v) {
    Need(obj, name, IsFloat).SetFloat(obj, v);
}
TObject* GetObjectProp(TObject* obj, std::string_view name) {
    return Need(obj, name, IsClass).GetObj(obj);
}
void SetObjectProp(TObject* obj, std::string_view name, TObject* v) {
    const TPropInfo& p = Need(obj, name, IsClass);
    if (!p.SetObj) throw EPropertyError(Format("Property %s is read-only", {name}));
    p.SetObj(obj, v);
}
TNotifyEvent GetMethodProp(TObject* obj, std::string_view name) {
    return Need(obj, name, IsMethod).GetMethod(obj);
}
void SetMethodProp(TObject* obj, std::string_view name, TNotifyEvent v) {
    Need(obj, name, IsMethod).SetMethod(obj, std::move(v));
}

std::string GetEnumProp(TObject* obj, std::string_view name) {
    const TPropInfo& p = Need(obj, name, IsEnum);
    int64_t v = p.GetOrd(obj);
    if (v < 0 || v >= static_cast<int64_t>(p.EnumNames.size())) return IntToStr(v);
    return p.EnumNames[static_cast<size_t>(v)];
}

void SetEnumProp(TObject* obj, std::string_view name, std::string_view value) {
    const TPropInfo& p = Need(obj, name, IsEnum);
    for (size_t i = 0; i < p.EnumNames.size(); ++i)
        if (SameTextAscii(p.EnumNames[i], value)) {
            p.SetOrd(obj, static_cast<int64_t>(i));
            return;
        }
    throw EPropertyError(Format("Invalid property value %s for %s", {value, name}));
}

std::string GetSetProp(TObject* obj, std::string_view name) {
    const TPropInfo& p = Need(obj, name, IsSet);
    int64_t v = p.GetOrd(obj);
    std::string out = "[";
    for (size_t i = 0; i < p.EnumNames.size() && i < 32; ++i)
        if (v & (int64_t(1) << i)) {
            if (out.size() > 1) out += ',';
            out += p.EnumNames[i];
        }
    return out + "]";
}

void SetSetProp(TObject* obj, std::string_view name, std::string_view value) {
    const TPropInfo& p = Need(obj, name, IsSet);
    std::string text = Trim(value);
    if (!text.empty() && text.front() == '[') text.erase(0, 1);
    if (!text.empty() && text.back() == ']') text.pop_back();
    int64_t bits = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item =
            Trim(std::string_view(text).substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!item.empty()) {
            size_t i = 0;
            while (i < p.EnumNames.size() && !SameTextAscii(p.EnumNames[i], item)) ++i;
            if (i == p.EnumNames.size()) throw EPropertyError(Format("Invalid property value %s for %s", {item, name}));
            bits |= int64_t(1) << i;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    p.SetOrd(obj, bits);
}

}  // namespace fw
