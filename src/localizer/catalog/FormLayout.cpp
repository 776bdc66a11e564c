// Lays out the controls of form resources the way the framework does at 96 pixels per inch.
#include "FormLayout.h"

#include <algorithm>
#include <map>

#include "FormTree.h"
#include "framework/SysUtils.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/langres/Translatable.h"
#include "localizer/resources/ResProc.h"

namespace catalog {

namespace {

// Room the system's controls leave around a text, in pixels at 96 pixels per inch.
constexpr int kButtonMargin = 6;   // two 3-D edges and the focus rectangle
constexpr int kCheckMargin = 18;   // the 13-pixel box, the gap after it, the focus rectangle
constexpr int kGroupMargin = 16;   // the caption starts 8 pixels in and keeps off the right edge
constexpr int kPanelMargin = 4;    // the bevels
constexpr int kStatusMargin = 6;   // a panel's borders and inner margin
constexpr int kStatusGrip = 16;    // the size grip at the right of the last panel
constexpr int kColumnMargin = 12;  // a header item's inner margins
constexpr int kFormFrame = 8;      // a sizeable frame on each side
constexpr int kFormCaption = 31;   // caption bar and the frame above and below
// A form that nests frames in frames is laid out up to this many controls.
constexpr size_t kMaxBoxes = 20000;

struct TDefaultSize {
    const char* Class;
    int Width, Height;
};
// The framework's sizes of controls whose form stores none.
constexpr TDefaultSize kDefaultSizes[] = {
    {"TButton", 75, 25},       {"TBitBtn", 75, 25},        {"TSpeedButton", 23, 22},
    {"TCheckBox", 97, 17},     {"TRadioButton", 113, 17},  {"TLabel", 65, 13},
    {"TStaticText", 65, 17},   {"TGroupBox", 185, 105},    {"TRadioGroup", 185, 105},
    {"TPanel", 185, 41},       {"TEdit", 121, 21},         {"TComboBox", 145, 21},
    {"TListBox", 121, 97},     {"TMemo", 185, 89},         {"TStatusBar", 0, 19},
    {"TListView", 250, 150},   {"TPageControl", 289, 193}, {"TTabbedNotebook", 300, 250},
    {"TTabControl", 289, 193},
};

TControlKind KindOfClass(const std::string& cls) {
    struct M {
        const char* Class;
        TControlKind Kind;
    };
    static const M kKinds[] = {
        {"TButton", TControlKind::Button},       {"TBitBtn", TControlKind::Button},
        {"TSpeedButton", TControlKind::Button},  {"TCheckBox", TControlKind::CheckBox},
        {"TDBCheckBox", TControlKind::CheckBox}, {"TRadioButton", TControlKind::RadioButton},
        {"TLabel", TControlKind::Label},         {"TStaticText", TControlKind::Label},
        {"TDBText", TControlKind::Label},        {"TGroupBox", TControlKind::GroupBox},
        {"TRadioGroup", TControlKind::GroupBox}, {"TDBRadioGroup", TControlKind::GroupBox},
        {"TPanel", TControlKind::Panel},         {"TTabSheet", TControlKind::TabPage},
        {"TTabPage", TControlKind::TabPage},     {"TMenuItem", TControlKind::MenuItem},
    };
    for (const auto& k : kKinds)
        if (fw::SameTextAscii(cls, k.Class)) return k.Kind;
    return TControlKind::Other;
}

int IntProp(const TFormObject& o, const char* name, int fallback) {
    const TFormValue* v = o.Find(name);
    return v && v->Kind == TFormValue::vInt ? static_cast<int>(v->Int) : fallback;
}
bool BoolProp(const TFormObject& o, const char* name, bool fallback) {
    const TFormValue* v = o.Find(name);
    if (!v || v->Kind != TFormValue::vIdent) return fallback;
    return fw::SameTextAscii(v->Ident, "True");
}
std::string IdentProp(const TFormObject& o, const char* name) {
    const TFormValue* v = o.Find(name);
    return v && v->Kind == TFormValue::vIdent ? v->Ident : "";
}

bool HasOwnFont(const TFormObject& o) {
    for (const auto& p : o.Props)
        if (p.Name.size() > 5 && fw::SameTextAscii(p.Name.substr(0, 5), "Font.")) return true;
    return false;
}

int Charset(const TFormValue& v) {
    if (v.Kind == TFormValue::vInt) return static_cast<int>(v.Int & 0xFF);
    static const std::pair<const char*, int> kIdents[] = {
        {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
        {"MAC_CHARSET", 77},      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
        {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
        {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
        {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
        {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
        {"OEM_CHARSET", 255},
    };
    for (const auto& [name, value] : kIdents)
        if (fw::SameTextAscii(v.Ident, name)) return value;
    return 1;
}

// A control's own font: the framework's default font with what the form stores.
measure::TFontDesc OwnFont(const TFormObject& o, const measure::TFontDesc& defaults, int ppi) {
    measure::TFontDesc f = defaults;
    for (const auto& p : o.Props) {
        const std::string& n = p.Name;
        const TFormValue& v = p.Value;
        if (fw::SameTextAscii(n, "Font.Name") && v.Kind == TFormValue::vString)
            f.Name = fw::Utf16ToUtf8(v.Str);
        else if (fw::SameTextAscii(n, "Font.Height") && v.Kind == TFormValue::vInt)
            f.Height = static_cast<int32_t>(v.Int);
        else if (fw::SameTextAscii(n, "Font.Size") && v.Kind == TFormValue::vInt)
            f.Height = -static_cast<int32_t>((v.Int * ppi + 36) / 72);
        else if (fw::SameTextAscii(n, "Font.Charset"))
            f.Charset = static_cast<uint8_t>(Charset(v));
        else if (fw::SameTextAscii(n, "Font.Style") && v.Kind == TFormValue::vSet) {
            f.Bold = f.Italic = f.Underline = f.StrikeOut = false;
            for (const auto& s : v.Set) {
                f.Bold |= fw::SameTextAscii(s, "fsBold");
                f.Italic |= fw::SameTextAscii(s, "fsItalic");
                f.Underline |= fw::SameTextAscii(s, "fsUnderline");
                f.StrikeOut |= fw::SameTextAscii(s, "fsStrikeOut");
            }
        }
    }
    return f;
}

class TLayoutBuilder {
public:
    TLayoutBuilder(const std::map<std::string, TFormObject>& library) : library_(library) {}

    TFormLayout Build(const TFormObject& root) {
        TFormLayout out;
        out_ = &out;
        out.ClassName = root.ClassName;
        frames_.assign(1, fw::UpperCaseAscii(root.ClassName));
        out.Name = root.ClassName.size() > 1 ? root.ClassName.substr(1) : root.ClassName;
        int ppi = IntProp(root, "PixelsPerInch", 96);
        if (BoolProp(root, "Scaled", true) && ppi > 0 && ppi != 96) num_ = 96, den_ = ppi;
        measure::TFontDesc defaults;
        formFont_ = Scaled(OwnFont(root, defaults, 96));
        int w = IntProp(root, "Width", 0), h = IntProp(root, "Height", 0);
        out.ClientWidth = S(IntProp(root, "ClientWidth", w > 0 ? w - 2 * kFormFrame : 0));
        out.ClientHeight = S(IntProp(root, "ClientHeight", h > 0 ? h - kFormCaption : 0));
        if (root.Flags & 4) inline_ = root.Name;
        TControlBox box;
        box.ClassName = root.ClassName;
        box.Box = {0, 0, out.ClientWidth, out.ClientHeight};
        box.Text = StrProp(root, "Caption");
        out.Boxes.push_back(box);
        AddTexts(root, "", 0, TControlKind::Other, formFont_);
        menuName_ = IdentProp(root, "Menu");
        Children(root, "", 0, formFont_);
        return out;
    }

private:
    int S(int v) const {
        return num_ == den_ ? v : static_cast<int>((static_cast<long long>(v) * num_ + den_ / 2) / den_);
    }
    measure::TFontDesc Scaled(measure::TFontDesc f) const {
        f.Height = S(f.Height);
        return f;
    }
    static std::u16string StrProp(const TFormObject& o, const char* name) {
        const TFormValue* v = o.Find(name);
        return v && v->Kind == TFormValue::vString ? v->Str : std::u16string();
    }

    std::string Key(const std::string& path) const {
        return !inlineSelf_.empty() && path == inlineSelf_ ? inline_ : kutils::JoinDotted(inline_, path);
    }
    std::string ItemPath(const std::string& key, const std::string& prop) const {
        return out_->Name + "." + (key.empty() ? prop : key + "." + prop);
    }

    void Children(const TFormObject& parent, const std::string& parentPath, int parentBox,
                  const measure::TFontDesc& parentFont) {
        int n = 0;
        for (const auto& c0 : parent.Children) {
            ++n;
            TFormObject merged;
            const TFormObject* c = &c0;
            if (out_->Boxes.size() >= kMaxBoxes) return;  // frames in frames without end
            std::string frameClass = fw::UpperCaseAscii(c0.ClassName);
            bool expanding = std::find(frames_.begin(), frames_.end(), frameClass) != frames_.end();
            if ((c0.Flags & 4) && !expanding) {  // an inline frame: its own form with this one's changes
                auto it = library_.find(frameClass);
                if (it != library_.end()) {
                    merged = it->second;
                    MergeInto(merged, c0);
                    merged.ClassName = c0.ClassName;
                    c = &merged;
                }
            }
            std::string path = langres::ChildObjectKey(parentPath, c->Name, c->ClassName, n);
            std::string savedInline = inline_, savedSelf = inlineSelf_;
            if (c->Flags & 4) {
                inline_ = kutils::JoinDotted(inline_, c->Name);
                inlineSelf_ = path;
            }
            if (c == &merged) frames_.push_back(frameClass);
            Object(*c, path, parentBox, parentFont);
            if (c == &merged) frames_.pop_back();
            inline_ = savedInline;
            inlineSelf_ = savedSelf;
        }
    }

    void Object(const TFormObject& o, const std::string& path, int parentBox, const measure::TFontDesc& parentFont) {
        TControlKind kind = KindOfClass(o.ClassName);
        std::string key = Key(path);
        if (kind == TControlKind::MenuItem || fw::SameTextAscii(o.ClassName, "TMainMenu") ||
            fw::SameTextAscii(o.ClassName, "TPopupMenu")) {
            Menu(o, key, fw::SameTextAscii(o.Name, menuName_) && !menuName_.empty());
            return;
        }
        const TBox& pb = out_->Boxes[static_cast<size_t>(parentBox)].Box;
        int dw = 0, dh = 0;
        for (const auto& d : kDefaultSizes)
            if (fw::SameTextAscii(o.ClassName, d.Class)) dw = d.Width, dh = d.Height;
        TBox b;
        b.Left = pb.Left + S(IntProp(o, "Left", 0));
        b.Top = pb.Top + S(IntProp(o, "Top", 0));
        b.Width = S(IntProp(o, "Width", dw));
        b.Height = S(IntProp(o, "Height", dh));
        std::string align = IdentProp(o, "Align");
        if (align.empty() && fw::SameTextAscii(o.ClassName, "TStatusBar")) align = "alBottom";
        if (align == "alTop" || align == "alBottom" || align == "alClient") b.Left = pb.Left, b.Width = pb.Width;
        if (align == "alBottom") b.Top = pb.Bottom() - b.Height;
        if (align == "alLeft" || align == "alRight" || align == "alClient") b.Top = pb.Top, b.Height = pb.Height;
        if (kind == TControlKind::TabPage) b = pb;
        bool own = HasOwnFont(o) || !BoolProp(o, "ParentFont", true);
        measure::TFontDesc font = own ? Scaled(OwnFont(o, measure::TFontDesc(), 96)) : parentFont;
        TControlBox box;
        box.Key = key;
        box.ClassName = o.ClassName;
        box.Box = b;
        box.Parent = parentBox;
        box.Text = StrProp(o, "Caption");
        out_->Boxes.push_back(box);
        int self = static_cast<int>(out_->Boxes.size()) - 1;
        AddTexts(o, key, self, kind, font);
        Children(o, path, self, font);
    }

    void AddTexts(const TFormObject& o, const std::string& key, int box, TControlKind kind,
                  const measure::TFontDesc& font) {
        const TBox& b = out_->Boxes[static_cast<size_t>(box)].Box;
        int parent = out_->Boxes[static_cast<size_t>(box)].Parent;
        std::string scope = "form:" + (parent >= 0 ? out_->Boxes[static_cast<size_t>(parent)].Key : std::string("-"));
        if (box > 0 && !StrProp(o, "Caption").empty()) {
            TItemLayout it;
            it.Path = ItemPath(key, "Caption");
            it.Property = "Caption";
            it.ClassName = o.ClassName;
            it.Kind = kind;
            it.Box = box;
            it.Font = font;
            it.AccelScope = scope;
            it.ShowAccel = BoolProp(o, "ShowAccelChar", true);
            switch (kind) {
                case TControlKind::Button:
                    it.AreaWidth = b.Width - kButtonMargin;
                    break;
                case TControlKind::CheckBox:
                case TControlKind::RadioButton:
                    it.AreaWidth = b.Width - kCheckMargin;
                    break;
                case TControlKind::Label:
                    it.AutoSize = BoolProp(o, "AutoSize", true);
                    it.WordWrap = BoolProp(o, "WordWrap", false);
                    it.AreaWidth = b.Width;
                    it.AreaHeight = b.Height;
                    break;
                case TControlKind::GroupBox:
                    it.AreaWidth = b.Width - kGroupMargin;
                    break;
                case TControlKind::Panel:
                    it.AreaWidth = b.Width - kPanelMargin;
                    break;
                case TControlKind::TabPage:
                    it.AreaWidth = b.Width;
                    it.AccelScope.clear();
                    break;
                default:
                    it.Kind = TControlKind::Other;
                    break;
            }
            if (it.Kind != TControlKind::Other) out_->Items.push_back(it);
        }
        // Status panels and list-view columns: items of collections.
        const bool status = fw::SameTextAscii(o.ClassName, "TStatusBar");
        for (const char* coll : {"Panels", "Columns"}) {
            const TFormValue* v = o.Find(coll);
            if (!v || v->Kind != TFormValue::vCollection) continue;
            int used = 0;
            for (size_t i = 0; i < v->Items.size(); ++i) {
                const auto& props = v->Items[i];
                const char* textProp = status ? "Text" : "Caption";
                const TFormValue* t = FindProp(props, textProp);
                const TFormValue* wv = FindProp(props, "Width");
                int w = S(wv && wv->Kind == TFormValue::vInt ? static_cast<int>(wv->Int) : 50);
                bool last = i + 1 == v->Items.size();
                int area = status ? (last ? b.Width - used - kStatusGrip : w) - kStatusMargin : w - kColumnMargin;
                used += w;
                if (!t || t->Kind != TFormValue::vString || t->Str.empty()) continue;
                TItemLayout it;
                it.Path = ItemPath(langres::CollectionItemKey(key, coll, static_cast<int>(i)), textProp);
                it.Property = textProp;
                it.ClassName = o.ClassName;
                it.Kind = status ? TControlKind::StatusPanel : TControlKind::ListColumn;
                it.Box = box;
                it.Font = font;
                it.AreaWidth = area;
                out_->Items.push_back(it);
            }
        }
    }

    void Menu(const TFormObject& o, const std::string& key, bool bar) {
        bool item = KindOfClass(o.ClassName) == TControlKind::MenuItem;
        for (const auto& c : o.Children) {
            if (c.Name.empty()) continue;
            std::string ck = Key(c.Name);
            std::u16string caption = StrProp(c, "Caption");
            if (!caption.empty() && caption != u"-") {
                TItemLayout it;
                it.Path = ItemPath(ck, "Caption");
                it.Property = "Caption";
                it.ClassName = c.ClassName;
                it.Kind = !item && bar ? TControlKind::MenuBarItem : TControlKind::MenuItem;
                it.Font = menuFont_;
                it.AccelScope = "menu:" + key;
                if (it.Kind == TControlKind::MenuBarItem) it.AreaWidth = out_->ClientWidth;
                out_->Items.push_back(it);
            }
            Menu(c, ck, false);
        }
    }

    const std::map<std::string, TFormObject>& library_;
    TFormLayout* out_ = nullptr;
    int num_ = 1, den_ = 1;
    measure::TFontDesc formFont_;
    // The system's menu font (Wine's and Windows' default: Tahoma 8).
    measure::TFontDesc menuFont_{"Tahoma", -11};
    std::string menuName_;
    std::string inline_, inlineSelf_;
    std::vector<std::string> frames_;  // the inline frames being laid out, innermost last
};

}  // namespace

const char* ControlKindName(TControlKind k) {
    switch (k) {
        case TControlKind::Button:
            return "button";
        case TControlKind::CheckBox:
            return "check box";
        case TControlKind::RadioButton:
            return "radio button";
        case TControlKind::Label:
            return "label";
        case TControlKind::GroupBox:
            return "group box";
        case TControlKind::Panel:
            return "panel";
        case TControlKind::TabPage:
            return "tab";
        case TControlKind::StatusPanel:
            return "status panel";
        case TControlKind::ListColumn:
            return "column";
        case TControlKind::MenuBarItem:
            return "menu bar";
        case TControlKind::MenuItem:
            return "menu item";
        default:
            return "control";
    }
}

int FixedWidth(const TItemLayout& item) {
    switch (item.Kind) {
        case TControlKind::Button:
        case TControlKind::CheckBox:
        case TControlKind::RadioButton:
        case TControlKind::GroupBox:
        case TControlKind::Panel:
        case TControlKind::StatusPanel:
        case TControlKind::ListColumn:
            return std::max(item.AreaWidth, 0);
        case TControlKind::Label:
            return item.AutoSize || item.WordWrap ? -1 : std::max(item.AreaWidth, 0);
        default:
            return -1;
    }
}

std::u16string DrawnText(const std::u16string& text, bool showAccel) {
    if (!showAccel) return text;
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        // "&&" draws one "&"; "&X" draws "X" underlined.
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        if (text[i] != u'&' || i == 0 || text[i - 1] == u'&') out += text[i];
    }
    return out;
}

std::vector<TFormLayout> ReadFormLayouts(const resources::TResProcessor& program, uint16_t langId,
                                         std::vector<std::string>& notes) {
    std::map<std::string, TFormObject> library;  // by resource name (upper case)
    std::vector<std::string> order;
    auto* rc = dynamic_cast<resources::TResRCData*>(program.FindBlock(10));
    if (!rc) return {};
    for (int i = 0; i < rc->Count(); ++i) {
        resources::TResRCDataItem* item = rc->Items(i);
        fw::TMemoryStream data;
        item->SaveData(data);
        std::vector<uint8_t> binary;
        try {
            if (!FormResourceBinary(data.Bytes(), binary)) continue;
            TFormObject root = ReadFormTree(binary, langId);
            std::string name = fw::UpperCaseAscii(item->Name);
            if (library.emplace(name, std::move(root)).second) order.push_back(name);
        } catch (const fw::Exception& e) {
            notes.push_back("form resource " + item->Name + " cannot be read: " + e.Message());
        }
    }
    std::vector<TFormLayout> out;
    for (const auto& name : order) {
        TLayoutBuilder b(library);
        out.push_back(b.Build(library.at(name)));
    }
    return out;
}

}  // namespace catalog
