#include "ComponentReader.h"

#include <cmath>
#include <memory>
#include <vector>

#include "FormStream.h"

namespace fw {

namespace {

// The classes whose own form resource does not exist: reading stops below them.
bool IsResourceRoot(const TClassInfo* c) {
    return c == &TForm::StaticClass() || c == &TFrame::StaticClass() || c == &TDataModule::StaticClass() ||
           c == &TCustomForm::StaticClass() || c == &TCustomFrame::StaticClass() || c == &TComponent::StaticClass() ||
           c->Parent() == nullptr;
}

bool ReadsResources(const TComponent* c) {
    return c->InheritsFrom(TCustomForm::StaticClass()) || c->InheritsFrom(TCustomFrame::StaticClass()) ||
           c->InheritsFrom(TDataModule::StaticClass());
}

class TComponentLoader {
public:
    TComponentLoader(TFormReader& r, TComponent* root) : r_(r), root_(root) {}

    void ReadRoot() {
        r_.ReadSignature();
        ReadComponent(root_, root_, nullptr, true);
        // References to components stored after the property that names them.
        for (const auto& f : fixups_) f.prop->SetObj(f.target, root_->FindComponent(f.name));
    }

private:
    void ReadComponent(TComponent* lookupOwner, TComponent* newOwner, TComponent* parent, bool isRoot) {
        r_.EnterNesting();
        uint8_t flags = 0;
        int64_t pos = -1;
        r_.ReadPrefix(flags, pos);
        std::string className = r_.ReadStr();
        std::string name = r_.ReadStr();
        TComponent* obj = nullptr;
        if (isRoot) {
            obj = root_;
            if (!name.empty() && !SameTextAscii(obj->Name(), name)) obj->SetName(name);
        } else if (flags & ffInherited) {
            obj = lookupOwner->FindComponent(name);
            if (!obj) throw EReadError(Format("Ancestor for '%s' not found", {name}));
        } else {
            const TClassInfo& cls = FindClass(className);
            obj = CreateComponent(cls, newOwner);
            try {
                obj->SetName(name);
            } catch (...) {
                delete obj;
                throw;
            }
        }
        if (!isRoot && parent && !(flags & ffInherited)) obj->SetParentComponent(parent);
        while (!r_.EndOfList()) ReadProperty(obj);
        r_.ReadListEnd();
        // Children of an embedded frame that it already has are looked up in the frame.
        TComponent* childLookup = (!isRoot && obj->InheritsFrom(TCustomFrame::StaticClass())) ? obj : lookupOwner;
        while (!r_.EndOfList()) ReadComponent(childLookup, newOwner, obj, false);
        r_.ReadListEnd();
        r_.LeaveNesting();
    }

    void ReadProperty(TObject* obj) {
        std::string path = r_.ReadStr();
        TObject* target = obj;
        std::string_view rest = path;
        for (;;) {
            size_t dot = rest.find('.');
            if (dot == std::string_view::npos) break;
            std::string_view head = rest.substr(0, dot);
            const TPropInfo* p = GetPropInfo(target, head);
            if (!p || p->Kind != TTypeKind::tkClass) throw EReadError(Format("Property %s does not exist", {path}));
            target = p->GetObj(target);
            if (!target) throw EReadError(Format("Property %s holds no object", {path}));
            rest = rest.substr(dot + 1);
        }
        if (auto* strings = dynamic_cast<TStrings*>(target); strings && SameTextAscii(rest, "Strings")) {
            ReadStrings(*strings);
            return;
        }
        const TPropInfo* p = GetPropInfo(target, rest);
        if (!p) throw EReadError(Format("Property %s does not exist", {path}));
        ReadValue(target, *p, path);
    }

    void ReadStrings(TStrings& strings) {
        if (r_.ReadValue() != vaList) r_.Fail("list of strings expected");
        strings.Clear();
        while (!r_.EndOfList()) {
            if (IsWideValue())
                strings.AddWide(r_.ReadWideString());
            else
                strings.Add(r_.ReadAnsiString());
        }
        r_.ReadListEnd();
    }

    // Wide and UTF-8 strings hold texts any code page may lack: kept so where the target can.
    bool IsWideValue() {
        TValueType t = r_.NextValue();
        return t == vaWString || t == vaUTF8String;
    }

    std::string ReadText() {
        TValueType t = r_.NextValue();
        if (t == vaWString || t == vaUTF8String) return WideToAnsiText(r_.ReadWideString());
        return r_.ReadAnsiString();
    }

    std::u16string ReadWideText() {
        TValueType t = r_.NextValue();
        if (t == vaWString || t == vaUTF8String) return r_.ReadWideString();
        return AnsiToWideText(r_.ReadAnsiString());
    }

    int64_t ReadOrdinal(const std::string& path) {
        switch (r_.NextValue()) {
            case vaInt8:
            case vaInt16:
            case vaInt32:
            case vaInt64:
                return r_.ReadInteger();
            case vaIdent: {
                std::string ident = r_.ReadIdent();
                for (int cs = 0; cs < 256; ++cs) {
                    std::string name;
                    if (CharsetToIdent(cs, name) && SameTextAscii(name, ident)) return cs;
                }
                throw EReadError(Format("Invalid property value %s for %s", {ident, path}));
            }
            default:
                r_.Fail(Format("integer value expected for %s", {path}));
        }
    }

    void ReadValue(TObject* target, const TPropInfo& p, const std::string& path) {
        switch (p.Kind) {
            case TTypeKind::tkInteger:
                p.SetOrd(target, ReadOrdinal(path));
                break;
            case TTypeKind::tkChar:
            case TTypeKind::tkWChar: {
                TValueType t = r_.NextValue();
                if (t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64) {
                    p.SetOrd(target, r_.ReadInteger());
                } else if (p.Kind == TTypeKind::tkChar) {
                    std::string s = ReadText();
                    if (s.size() != 1) throw EReadError(Format("Invalid property value for %s", {path}));
                    p.SetOrd(target, static_cast<unsigned char>(s[0]));
                } else {
                    std::u16string s = ReadWideText();
                    if (s.size() != 1) throw EReadError(Format("Invalid property value for %s", {path}));
                    p.SetOrd(target, s[0]);
                }
                break;
            }
            case TTypeKind::tkEnumeration: {
                std::string ident = r_.ReadIdent();
                size_t i = 0;
                while (i < p.EnumNames.size() && !SameTextAscii(p.EnumNames[i], ident)) ++i;
                if (i == p.EnumNames.size())
                    throw EReadError(Format("Invalid property value %s for %s", {ident, path}));
                p.SetOrd(target, static_cast<int64_t>(i));
                break;
            }
            case TTypeKind::tkSet: {
                if (r_.ReadValue() != vaSet) r_.Fail(Format("set value expected for %s", {path}));
                int64_t bits = 0;
                for (std::string e = r_.ReadStr(); !e.empty(); e = r_.ReadStr()) {
                    size_t i = 0;
                    while (i < p.EnumNames.size() && !SameTextAscii(p.EnumNames[i], e)) ++i;
                    if (i == p.EnumNames.size() || i >= 32)
                        throw EReadError(Format("Invalid property value %s for %s", {e, path}));
                    bits |= int64_t(1) << i;
                }
                p.SetOrd(target, bits);
                break;
            }
            case TTypeKind::tkFloat: {
                switch (r_.NextValue()) {
                    case vaExtended:
                        p.SetFloat(target, static_cast<double>(ExtendedToLongDouble(r_.ReadExtended())));
                        break;
                    case vaSingle:
                        p.SetFloat(target, r_.ReadSingle());
                        break;
                    case vaDate:
                        p.SetFloat(target, r_.ReadDate());
                        break;
                    case vaCurrency:
                        p.SetFloat(target, static_cast<double>(r_.ReadCurrency()) / 10000.0);
                        break;
                    default:
                        p.SetFloat(target, static_cast<double>(ReadOrdinal(path)));
                        break;
                }
                break;
            }
            case TTypeKind::tkString:
            case TTypeKind::tkLString:
                if (p.SetWStr && IsWideValue())
                    p.SetWStr(target, r_.ReadWideString());
                else
                    p.SetStr(target, ReadText());
                break;
            case TTypeKind::tkWString:
                p.SetWStr(target, ReadWideText());
                break;
            case TTypeKind::tkClass: {
                TValueType t = r_.NextValue();
                TObject* held = p.GetObj(target);
                if (t == vaCollection) {
                    auto* coll = dynamic_cast<TCollection*>(held);
                    if (!coll) r_.Fail(Format("%s is not a collection", {path}));
                    ReadCollection(*coll);
                } else if (t == vaIdent || t == vaNil) {
                    // A reference to another component of the form.
                    std::string ref = r_.ReadIdent();
                    if (!p.SetObj) break;
                    TComponent* found = t == vaNil ? nullptr : root_->FindComponent(ref);
                    if (t != vaNil && !found)
                        fixups_.push_back({target, &p, ref});
                    else
                        p.SetObj(target, found);
                } else {
                    r_.Fail(Format("object value expected for %s", {path}));
                }
                break;
            }
            case TTypeKind::tkMethod:
                // Handlers are bound by the code that creates the form; the stored name is skipped.
                r_.ReadIdent();
                break;
            default:
                r_.SkipValue();
                break;
        }
    }

    void ReadCollection(TCollection& coll) {
        r_.ReadValue();  // vaCollection
        r_.EnterNesting();
        coll.Clear();
        while (!r_.EndOfList()) {
            TValueType t = r_.NextValue();
            if (t == vaInt8 || t == vaInt16 || t == vaInt32) r_.ReadInteger();  // stored order, not used
            if (r_.ReadValue() != vaList) r_.Fail("collection item expected");
            TCollectionItem* item = coll.Add();
            while (!r_.EndOfList()) ReadProperty(item);
            r_.ReadListEnd();
        }
        r_.ReadListEnd();
        r_.LeaveNesting();
    }

    struct TFixup {
        TObject* target;
        const TPropInfo* prop;
        std::string name;
    };
    TFormReader& r_;
    TComponent* root_;
    std::vector<TFixup> fixups_;
};

}  // namespace

void SetFormTextConverters(TAnsiToWide toWide, TWideToAnsi toAnsi) {
    SetTextConverters(toWide, toAnsi);
}

const TClassInfo& DefineComponentClass(std::string_view name, const TClassInfo& parent) {
    if (const TClassInfo* existing = GetClass(name)) {
        if (!existing->InheritsFrom(&parent))
            throw EClassNotFound(Format("Class %s is already defined with another ancestor", {name}));
        return *existing;
    }
    auto* cls = new TClassInfo(std::string(name), &parent);  // classes live as long as the program
    RegisterClass(*cls);
    return *cls;
}

void ReadComponentResource(TComponent* root, const std::vector<uint8_t>& data, std::string_view resourceName) {
    try {
        TFormReader reader(data);
        TComponentLoader loader(reader, root);
        loader.ReadRoot();
    } catch (const Exception& e) {
        throw EReadError(Format("Error reading form resource %s: %s", {resourceName, e.Message()}));
    }
}

namespace {
// Frames embedded in frames read their resources inside the reading of the outer one; a
// resource that embeds its own class would never end.
constexpr int kMaxResourceNesting = 32;
int g_resourceDepth = 0;
}  // namespace

bool InitInheritedComponent(TComponent* root) {
    if (g_resourceDepth >= kMaxResourceNesting)
        throw EReadError(Format("Form resource %s embeds forms or frames more than %d levels deep",
                                {UpperCaseAscii(root->ClassName()), kMaxResourceNesting}));
    struct Depth {
        Depth() { ++g_resourceDepth; }
        ~Depth() { --g_resourceDepth; }
    } depth;
    std::vector<const TClassInfo*> chain;
    for (const TClassInfo* c = root->ClassType(); c && !IsResourceRoot(c); c = c->Parent()) chain.push_back(c);
    bool found = false;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::string resName = UpperCaseAscii((*it)->Name());
        std::vector<uint8_t> data;
        if (!ResourceSource().FindRCData((*it)->Module, resName, data)) continue;
        ReadComponentResource(root, data, resName);
        found = true;
    }
    return found;
}

TComponent* CreateComponent(const TClassInfo& cls, TComponent* owner) {
    TComponent* obj = cls.Create(owner);
    if (!ReadsResources(obj)) return obj;
    try {
        bool found = InitInheritedComponent(obj);
        if (!found && !IsResourceRoot(&cls))
            throw EResNotFound(Format("Resource %s not found", {UpperCaseAscii(cls.Name())}));
    } catch (...) {
        delete obj;
        throw;
    }
    return obj;
}

TComponent* CreateComponent(std::string_view className, TComponent* owner) {
    return CreateComponent(FindClass(className), owner);
}

}  // namespace fw
