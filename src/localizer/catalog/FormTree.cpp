#include "FormTree.h"

#include "framework/FormStream.h"
#include "framework/SysUtils.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/resources/Generation.h"

namespace catalog {

namespace {

class TTreeReader {
public:
    TTreeReader(fw::TFormReader& r, uint16_t langId) : r_(r), langId_(langId) {}

    void Object(TFormObject& o) {
        int64_t pos;
        r_.ReadPrefix(o.Flags, pos);
        o.ClassName = r_.ReadStr();
        o.Name = r_.ReadStr();
        r_.EnterNesting();
        Props(o.Props);
        r_.ReadListEnd();
        while (!r_.EndOfList()) {
            o.Children.emplace_back();
            Object(o.Children.back());
        }
        r_.ReadListEnd();
        r_.LeaveNesting();
    }

private:
    void Props(std::vector<TFormProp>& props) {
        while (!r_.EndOfList()) {
            TFormProp p;
            p.Name = r_.ReadStr();
            Value(p.Value);
            props.push_back(std::move(p));
        }
    }

    void Value(TFormValue& v) {
        switch (r_.NextValue()) {
            case fw::vaInt8:
            case fw::vaInt16:
            case fw::vaInt32:
            case fw::vaInt64:
                v.Kind = TFormValue::vInt;
                v.Int = r_.ReadInteger();
                break;
            case fw::vaString:
            case fw::vaLString:
                v.Kind = TFormValue::vString;
                v.Str = kutils::AnsiToWideLocale(r_.ReadAnsiString(), langId_);
                break;
            case fw::vaWString:
            case fw::vaUTF8String:
                v.Kind = TFormValue::vString;
                v.Str = r_.ReadWideString();
                break;
            case fw::vaIdent:
            case fw::vaFalse:
            case fw::vaTrue:
                v.Kind = TFormValue::vIdent;
                v.Ident = r_.ReadIdent();
                break;
            case fw::vaSet: {
                r_.ReadValue();
                v.Kind = TFormValue::vSet;
                for (std::string s = r_.ReadStr(); !s.empty(); s = r_.ReadStr()) v.Set.push_back(s);
                break;
            }
            case fw::vaList: {
                r_.ReadValue();
                r_.EnterNesting();
                v.Kind = TFormValue::vStrings;
                while (!r_.EndOfList()) {
                    fw::TValueType t = r_.NextValue();
                    if (t == fw::vaString || t == fw::vaLString)
                        v.Strings.push_back(kutils::AnsiToWideLocale(r_.ReadAnsiString(), langId_));
                    else if (t == fw::vaWString || t == fw::vaUTF8String)
                        v.Strings.push_back(r_.ReadWideString());
                    else
                        v.Kind = TFormValue::vOther, r_.SkipValue();
                }
                r_.ReadListEnd();
                r_.LeaveNesting();
                break;
            }
            case fw::vaCollection: {
                r_.ReadValue();
                r_.EnterNesting();
                v.Kind = TFormValue::vCollection;
                while (!r_.EndOfList()) {
                    fw::TValueType t = r_.NextValue();
                    if (t == fw::vaInt8 || t == fw::vaInt16 || t == fw::vaInt32 || t == fw::vaInt64) r_.ReadInteger();
                    if (r_.ReadValue() != fw::vaList) r_.Fail("collection item expected");
                    v.Items.emplace_back();
                    Props(v.Items.back());
                    r_.ReadListEnd();
                }
                r_.ReadListEnd();
                r_.LeaveNesting();
                break;
            }
            default:
                r_.SkipValue();
                break;
        }
    }

    fw::TFormReader& r_;
    uint16_t langId_;
};

}  // namespace

const TFormValue* FindProp(const std::vector<TFormProp>& props, const std::string& name) {
    for (const auto& p : props)
        if (fw::SameTextAscii(p.Name, name)) return &p.Value;
    return nullptr;
}

const TFormValue* TFormObject::Find(const std::string& name) const {
    return FindProp(Props, name);
}

bool FormResourceBinary(const std::vector<uint8_t>& data, std::vector<uint8_t>& binary) {
    size_t offset = 0, length = 0;
    if (!resources::FormBinarySpan(data.data(), data.size(), offset, length)) return false;
    binary.assign(data.begin() + static_cast<std::ptrdiff_t>(offset),
                  data.begin() + static_cast<std::ptrdiff_t>(offset + length));
    return true;
}

TFormObject ReadFormTree(const std::vector<uint8_t>& binary, uint16_t langId) {
    fw::TFormReader r(binary);
    r.ReadSignature();
    TFormObject root;
    TTreeReader(r, langId).Object(root);
    return root;
}

void MergeInto(TFormObject& base, const TFormObject& over) {
    base.Name = over.Name;
    base.Flags = over.Flags;
    for (const auto& p : over.Props) {
        bool replaced = false;
        for (auto& q : base.Props)
            if (fw::SameTextAscii(q.Name, p.Name)) {
                q.Value = p.Value;
                replaced = true;
            }
        if (!replaced) base.Props.push_back(p);
    }
    for (const auto& c : over.Children) {
        TFormObject* same = nullptr;
        for (auto& b : base.Children)
            if (!c.Name.empty() && fw::SameTextAscii(b.Name, c.Name)) same = &b;
        if (same)
            MergeInto(*same, c);
        else
            base.Children.push_back(c);
    }
}

}  // namespace catalog
