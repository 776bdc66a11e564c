#include "Components.h"

#include <algorithm>

#include "StdCtrls.h"

namespace fw {

using namespace published;

namespace {

template <class Setup>
const TClassInfo& Define(const char* name, const TClassInfo& parent, TClassInfo::TFactory factory, Setup setup) {
    auto* info = new TClassInfo(name, &parent, std::move(factory));  // lives as long as the program
    setup(*info);
    return *info;
}

const TClassInfo& Define(const char* name, const TClassInfo& parent, TClassInfo::TFactory factory = nullptr) {
    return Define(name, parent, std::move(factory), [](TClassInfo&) {});
}

const std::vector<std::string> kBoolNames = {"False", "True"};

int MulDivRound(int v, int m, int d) {
    if (d == 0) return v;
    int64_t p = static_cast<int64_t>(v) * m;
    int64_t half = (d > 0 ? d : -d) / 2;
    return static_cast<int>(p >= 0 ? (p + half) / d : (p - half) / d);
}

}  // namespace

// ---- TPersistent

TPersistent::TPersistent() {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TPersistent::StaticClass() {
    static const TClassInfo& info = Define("TPersistent", TObject::StaticClass());
    return info;
}

void TPersistent::Assign(TPersistent* source) {
    if (source && source->AssignTo(this)) return;
    throw EConvertError(
        Format("Cannot assign a %s to a %s", {source ? source->ClassName() : std::string("nil"), ClassName()}));
}

bool TPersistent::AssignTo(TPersistent*) {
    return false;
}

void TPersistent::Changed() {
    if (changeOwner_) changeOwner_->Changed();
}

// ---- TComponent

const TClassInfo& TComponent::StaticClass() {
    static const TClassInfo& info =
        Define("TComponent", TPersistent::StaticClass(), FW_CLASS_FACTORY(TComponent), [](TClassInfo& c) {
            TPropInfo name;
            name.Name = "Name";
            name.Kind = TTypeKind::tkLString;
            name.GetStr = [](TObject* o) { return static_cast<TComponent*>(o)->Name(); };
            name.SetStr = [](TObject* o, const std::string& v) { static_cast<TComponent*>(o)->SetName(v); };
            c.AddProperty(std::move(name));
            c.AddProperty(Ord("Tag", TTypeKind::tkInteger, &TComponent::Tag));
        });
    return info;
}

TComponent::TComponent(TComponent* owner) {
    SetCompiledClass(StaticClass());
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    while (!components_.empty()) delete components_.back();  // removes itself from the list
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetName(const std::string& name) {
    if (SameTextAscii(name, name_)) {
        name_ = name;
        return;
    }
    if (owner_ && !name.empty() && owner_->FindComponent(name))
        throw EComponentError(Format("A component named %s already exists", {name}));
    name_ = name;
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameTextAscii(c->name_, name)) return c;
    return nullptr;
}

void TComponent::SetParentComponent(TComponent*) {}

void TComponent::InsertComponent(TComponent* c) {
    if (c->owner_) c->owner_->RemoveComponent(c);
    components_.push_back(c);
    c->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* c) {
    auto it = std::find(components_.begin(), components_.end(), c);
    if (it != components_.end()) components_.erase(it);
    c->owner_ = nullptr;
}

// ---- Collections

const TClassInfo& TCollectionItem::StaticClass() {
    static const TClassInfo& info = Define("TCollectionItem", TPersistent::StaticClass());
    return info;
}

TCollectionItem::TCollectionItem(TCollection* collection) : collection_(collection) {
    SetCompiledClass(StaticClass());
    if (collection_) {
        collection_->items_.push_back(this);
        SetChangeOwner(collection_);
    }
}

TCollectionItem::~TCollectionItem() {
    if (collection_) {
        auto& v = collection_->items_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        if (!collection_->clearing_) collection_->Changed();
    }
}

int TCollectionItem::Index() const {
    if (!collection_) return -1;
    auto& v = collection_->items_;
    return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

const TClassInfo& TCollection::StaticClass() {
    static const TClassInfo& info = Define("TCollection", TPersistent::StaticClass());
    return info;
}

TCollection::TCollection(TItemFactory factory) : factory_(std::move(factory)) {
    SetCompiledClass(StaticClass());
}

TCollection::~TCollection() {
    SetChangeOwner(nullptr);  // the holder is going too
    Clear();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return items_[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = factory_(this);
    Changed();
    return item;
}

void TCollection::Delete(int index) {
    delete Items(index);
}

void TCollection::Clear() {
    if (items_.empty()) return;
    clearing_ = true;
    while (!items_.empty()) delete items_.back();
    clearing_ = false;
    Changed();
}

void TCollection::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TCollection*>(source);
    if (!src) return TPersistent::Assign(source);
    if (src == this) return;
    Clear();
    for (TCollectionItem* item : src->items_) Add()->Assign(item);
    Changed();
}

// ---- String lists

const TClassInfo& TStrings::StaticClass() {
    static const TClassInfo& info = Define("TStrings", TPersistent::StaticClass());
    return info;
}

TStrings::TStrings() {
    SetCompiledClass(StaticClass());
}

void TStrings::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0 && changedInUpdate_) {
        changedInUpdate_ = false;
        TPersistent::Changed();
    }
}

void TStrings::Changed() {
    if (updateCount_ > 0)
        changedInUpdate_ = true;
    else
        TPersistent::Changed();
}

void TStrings::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit) throw EListError(Format("List index out of bounds (%d)", {index}));
}

std::string TStrings::Strings(int index) const {
    CheckIndex(index, Count());
    return Get(index);
}

void TStrings::Put(int index, const std::string& s) {
    CheckIndex(index, Count());
    DoPut(index, s);
    Changed();
}

int TStrings::Add(const std::string& s) {
    int n = Count();
    DoInsert(n, s);
    Changed();
    return n;
}

void TStrings::Insert(int index, const std::string& s) {
    CheckIndex(index, Count() + 1);
    DoInsert(index, s);
    Changed();
}

void TStrings::Delete(int index) {
    CheckIndex(index, Count());
    DoDelete(index);
    Changed();
}

int TStrings::IndexOf(std::string_view s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameTextAscii(Get(i), s)) return i;
    return -1;
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) out += Get(i) + "\r\n";
    return out;
}

namespace {

// Changes of a list between its construction and its end are told once.
struct TUpdateScope {
    explicit TUpdateScope(TStrings* s) : s_(s) { s_->BeginUpdate(); }
    ~TUpdateScope() { s_->EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TStrings* s_;
};

// Calls add for each line of text, split at CR LF, LF or CR; a final line end adds no line.
template <class Char, class Add>
void ForEachLine(std::basic_string_view<Char> text, Add add) {
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && text[i] != Char('\r') && text[i] != Char('\n')) ++i;
        add(text.substr(start, i - start));
        if (i < text.size() && text[i] == Char('\r')) ++i;
        if (i < text.size() && text[i] == Char('\n')) ++i;
    }
}

TText WideLine(const std::u16string& s) {
    TText line;
    line.SetWide(s);
    return line;
}

}  // namespace

void TStrings::SetText(std::string_view text) {
    TUpdateScope update(this);
    Clear();
    ForEachLine(text, [this](std::string_view line) { Add(std::string(line)); });
}

int TStrings::AddWide(const std::u16string& s) {
    int n = Count();
    DoInsertText(n, WideLine(s));
    Changed();
    return n;
}

void TStrings::PutWide(int index, const std::u16string& s) {
    CheckIndex(index, Count());
    DoPutText(index, WideLine(s));
    Changed();
}

void TStrings::SetWideText(std::u16string_view text) {
    TUpdateScope update(this);
    Clear();
    ForEachLine(text, [this](std::u16string_view line) { AddWide(std::u16string(line)); });
}

const std::u16string* TStrings::WideStrings(int index) const {
    CheckIndex(index, Count());
    return GetWide(index);
}

void TStrings::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TStrings*>(source);
    if (!src) return TPersistent::Assign(source);
    if (src == this) return;
    TUpdateScope update(this);
    Clear();
    for (int i = 0; i < src->Count(); ++i) {
        TText line;
        if (const std::u16string* wide = src->GetWide(i))
            line.SetWide(*wide, src->Get(i));
        else
            line = src->Get(i);
        DoInsertText(Count(), line);
    }
    Changed();
}

const TClassInfo& TStringList::StaticClass() {
    static const TClassInfo& info = Define("TStringList", TStrings::StaticClass());
    return info;
}

TStringList::TStringList() {
    SetCompiledClass(StaticClass());
}

// ---- Fonts

bool CharsetToIdent(int32_t charset, std::string& ident) {
    static const struct {
        int32_t v;
        const char* name;
    } kCharsets[] = {
        {ANSI_CHARSET, "ANSI_CHARSET"},
        {DEFAULT_CHARSET, "DEFAULT_CHARSET"},
        {SYMBOL_CHARSET, "SYMBOL_CHARSET"},
        {MAC_CHARSET, "MAC_CHARSET"},
        {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"},
        {HANGEUL_CHARSET, "HANGEUL_CHARSET"},
        {JOHAB_CHARSET, "JOHAB_CHARSET"},
        {GB2312_CHARSET, "GB2312_CHARSET"},
        {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"},
        {GREEK_CHARSET, "GREEK_CHARSET"},
        {TURKISH_CHARSET, "TURKISH_CHARSET"},
        {VIETNAMESE_CHARSET, "VIETNAMESE_CHARSET"},
        {HEBREW_CHARSET, "HEBREW_CHARSET"},
        {ARABIC_CHARSET, "ARABIC_CHARSET"},
        {BALTIC_CHARSET, "BALTIC_CHARSET"},
        {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"},
        {THAI_CHARSET, "THAI_CHARSET"},
        {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"},
        {OEM_CHARSET, "OEM_CHARSET"},
    };
    for (const auto& c : kCharsets)
        if (c.v == charset) {
            ident = c.name;
            return true;
        }
    return false;
}

const TClassInfo& TFont::StaticClass() {
    static const TClassInfo& info = Define("TFont", TPersistent::StaticClass(), nullptr, [](TClassInfo& c) {
        TPropInfo name;
        name.Name = "Name";
        name.Kind = TTypeKind::tkLString;
        name.GetStr = [](TObject* o) { return static_cast<TFont*>(o)->Name(); };
        name.SetStr = [](TObject* o, const std::string& v) { static_cast<TFont*>(o)->SetName(v); };
        c.AddProperty(std::move(name));
        auto ord = [&c](const char* n, TTypeKind kind, int64_t (*get)(TFont*), void (*set)(TFont*, int64_t),
                        std::vector<std::string> names = {}) {
            TPropInfo p;
            p.Name = n;
            p.Kind = kind;
            p.EnumNames = std::move(names);
            p.GetOrd = [get](TObject* o) { return get(static_cast<TFont*>(o)); };
            p.SetOrd = [set](TObject* o, int64_t v) { set(static_cast<TFont*>(o), v); };
            c.AddProperty(std::move(p));
        };
        ord(
            "Size", TTypeKind::tkInteger, [](TFont* f) -> int64_t { return f->Size(); },
            [](TFont* f, int64_t v) { f->SetSize(static_cast<int32_t>(v)); });
        ord(
            "Charset", TTypeKind::tkInteger, [](TFont* f) -> int64_t { return f->Charset(); },
            [](TFont* f, int64_t v) { f->SetCharset(static_cast<int32_t>(v)); });
        ord(
            "Color", TTypeKind::tkInteger, [](TFont* f) -> int64_t { return f->Color(); },
            [](TFont* f, int64_t v) { f->SetColor(static_cast<int32_t>(v)); });
        ord(
            "Style", TTypeKind::tkSet, [](TFont* f) -> int64_t { return f->Style(); },
            [](TFont* f, int64_t v) { f->SetStyle(static_cast<uint32_t>(v) & 0xF); },
            {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
    });
    return info;
}

TFont::TFont() {
    SetCompiledClass(StaticClass());
}

namespace {
uintptr_t StandInFont(const TFont&) {
    static uintptr_t next = 0x1000;
    return next++;
}
void NoRelease(uintptr_t) {}
TFont::TFontRealizer g_makeFont = StandInFont;
TFont::TFontReleaser g_releaseFont = NoRelease;
}  // namespace

void TFont::SetRealizer(TFontRealizer make, TFontReleaser release) {
    g_makeFont = make ? make : StandInFont;
    g_releaseFont = release ? release : NoRelease;
}

uintptr_t TFont::Handle() {
    if (!handle_) handle_ = g_makeFont(*this);
    return handle_;
}

void TFont::ReleaseHandle() {
    uintptr_t h = handle_;
    handle_ = 0;
    if (h) g_releaseFont(h);
}

TFont::~TFont() {
    ReleaseHandle();
}

void TFont::Changed() {
    // The holder makes its new font before the old one goes, so nothing shows a released one.
    uintptr_t old = handle_;
    handle_ = 0;
    TPersistent::Changed();
    if (old) g_releaseFont(old);
}

void TFont::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TFont*>(source);
    if (!src) return TPersistent::Assign(source);
    name_ = src->name_;
    size_ = src->size_;
    charset_ = src->charset_;
    color_ = src->color_;
    style_ = src->style_;
    Changed();
}

// ---- Controls

const TClassInfo& TControl::StaticClass() {
    static const TClassInfo& info =
        Define("TControl", TComponent::StaticClass(), FW_CLASS_FACTORY(TControl), [](TClassInfo& c) {
            c.AddProperty(Ord("Left", TTypeKind::tkInteger, &TControl::Left));
            c.AddProperty(Ord("Top", TTypeKind::tkInteger, &TControl::Top));
            c.AddProperty(Ord("Width", TTypeKind::tkInteger, &TControl::Width));
            c.AddProperty(Ord("Height", TTypeKind::tkInteger, &TControl::Height));
            c.AddProperty(Str("Caption", &TControl::Caption));
            c.AddProperty(Str("Hint", &TControl::Hint));
            c.AddProperty(Ord("Visible", TTypeKind::tkEnumeration, &TControl::Visible, kBoolNames));
            c.AddProperty(Ord("Enabled", TTypeKind::tkEnumeration, &TControl::Enabled, kBoolNames));
            c.AddProperty(Object<TControl>("Font", [](TControl* o) { return o->Font(); }));
            TPropInfo popup = Object<TControl>("PopupMenu", [](TControl* o) { return o->PopupMenu; });
            popup.SetObj = [](TObject* o, TObject* v) {
                static_cast<TControl*>(o)->PopupMenu = dynamic_cast<TPopupMenu*>(v);
            };
            c.AddProperty(std::move(popup));
        });
    return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
    SetCompiledClass(StaticClass());
    font_->SetChangeOwner(this);
}

TControl::~TControl() {
    view_.reset();
}

void TControl::SetParentComponent(TComponent* parent) {
    Parent = dynamic_cast<TControl*>(parent);
}

void TControl::Changed() {
    if (view_) view_->Changed();
}

void TControl::SetView(std::unique_ptr<TControlView> view) {
    view_ = std::move(view);
}

const TClassInfo& TWinControl::StaticClass() {
    static const TClassInfo& info =
        Define("TWinControl", TControl::StaticClass(), FW_CLASS_FACTORY(TWinControl),
               [](TClassInfo& c) { c.AddProperty(Ord("TabOrder", TTypeKind::tkInteger, &TWinControl::TabOrder)); });
    return info;
}
TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TScrollingWinControl::StaticClass() {
    static const TClassInfo& info = Define("TScrollingWinControl", TWinControl::StaticClass());
    return info;
}
TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TCustomForm::StaticClass() {
    static const TClassInfo& info =
        Define("TCustomForm", TScrollingWinControl::StaticClass(), nullptr, [](TClassInfo& c) {
            c.AddProperty(Ord("PixelsPerInch", TTypeKind::tkInteger, &TCustomForm::PixelsPerInch));
            c.AddProperty(Method("OnCreate", &TCustomForm::OnCreate));
            TPropInfo menu = Object<TCustomForm>("Menu", [](TCustomForm* o) { return o->Menu; });
            menu.SetObj = [](TObject* o, TObject* v) {
                static_cast<TCustomForm*>(o)->Menu = dynamic_cast<TMainMenu*>(v);
            };
            c.AddProperty(std::move(menu));
        });
    return info;
}

TCustomForm::TCustomForm(TComponent* owner) : TScrollingWinControl(owner) {
    SetCompiledClass(StaticClass());
    Screen().forms_.push_back(this);
}

TCustomForm::~TCustomForm() {
    auto& v = Screen().forms_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void TCustomForm::ScaleBy(int m, int d) {
    if (m == d || d == 0) return;
    auto scale = [m, d](TControl* c, bool position) {
        if (position) {
            c->Left = MulDivRound(c->Left, m, d);
            c->Top = MulDivRound(c->Top, m, d);
        }
        c->Width = MulDivRound(c->Width, m, d);
        c->Height = MulDivRound(c->Height, m, d);
        c->Font()->SetSize(MulDivRound(c->Font()->Size(), m, d));
    };
    scale(this, false);
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TControl*>(Components(i))) scale(c, true);
}

const TClassInfo& TForm::StaticClass() {
    static const TClassInfo& info = Define("TForm", TCustomForm::StaticClass(), FW_CLASS_FACTORY(TForm));
    return info;
}
TForm::TForm(TComponent* owner) : TCustomForm(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TCustomFrame::StaticClass() {
    static const TClassInfo& info = Define("TCustomFrame", TScrollingWinControl::StaticClass());
    return info;
}
TCustomFrame::TCustomFrame(TComponent* owner) : TScrollingWinControl(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TFrame::StaticClass() {
    static const TClassInfo& info = Define("TFrame", TCustomFrame::StaticClass(), FW_CLASS_FACTORY(TFrame));
    return info;
}
TFrame::TFrame(TComponent* owner) : TCustomFrame(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TDataModule::StaticClass() {
    static const TClassInfo& info = Define("TDataModule", TComponent::StaticClass(), FW_CLASS_FACTORY(TDataModule));
    return info;
}

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) {
    SetCompiledClass(StaticClass());
    Screen().dataModules_.push_back(this);
}

TDataModule::~TDataModule() {
    auto& v = Screen().dataModules_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

// ---- Screen

TScreen::TScreen()
    : iconFont_(std::make_unique<TFont>()),
      hintFont_(std::make_unique<TFont>()),
      menuFont_(std::make_unique<TFont>()) {}

TScreen::~TScreen() = default;

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

// ---- Standard components

const TClassInfo& TButton::StaticClass() {
    static const TClassInfo& info =
        Define("TButton", TWinControl::StaticClass(), FW_CLASS_FACTORY(TButton), [](TClassInfo& c) {
            c.AddProperty(Ord("Default", TTypeKind::tkEnumeration, &TButton::Default, kBoolNames));
            c.AddProperty(Method("OnClick", &TButton::OnClick));
        });
    return info;
}
TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
    Width = 75;  // the framework's size for a control whose form stores none
    Height = 25;
}

const TClassInfo& TLabel::StaticClass() {
    static const TClassInfo& info = Define(
        "TLabel", TControl::StaticClass(), FW_CLASS_FACTORY(TLabel),
        [](TClassInfo& c) { c.AddProperty(Ord("WordWrap", TTypeKind::tkEnumeration, &TLabel::WordWrap, kBoolNames)); });
    return info;
}
TLabel::TLabel(TComponent* owner) : TControl(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TEdit::StaticClass() {
    static const TClassInfo& info =
        Define("TEdit", TWinControl::StaticClass(), FW_CLASS_FACTORY(TEdit), [](TClassInfo& c) {
            c.AddProperty(Str("Text", &TEdit::Text));
            c.AddProperty(WStr("TextHint", &TEdit::TextHint));
            TPropInfo pc;
            pc.Name = "PasswordChar";
            pc.Kind = TTypeKind::tkChar;
            pc.GetOrd = [](TObject* o) -> int64_t {
                return static_cast<uint8_t>(static_cast<TEdit*>(o)->PasswordChar);
            };
            pc.SetOrd = [](TObject* o, int64_t v) {
                static_cast<TEdit*>(o)->PasswordChar = static_cast<char>(v & 0xFF);
            };
            c.AddProperty(std::move(pc));
            c.AddProperty(Ord("MaxLength", TTypeKind::tkInteger, &TEdit::MaxLength));
        });
    return info;
}
TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TPanel::StaticClass() {
    static const TClassInfo& info =
        Define("TPanel", TWinControl::StaticClass(), FW_CLASS_FACTORY(TPanel), [](TClassInfo& c) {
            c.AddProperty(Ord("BevelOuter", TTypeKind::tkEnumeration, &TPanel::BevelOuter,
                              {"bvNone", "bvLowered", "bvRaised", "bvSpace"}));
        });
    return info;
}
TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
    Width = 185;  // the framework's size for a control whose form stores none
    Height = 41;
}

const TClassInfo& TBevel::StaticClass() {
    static const TClassInfo& info =
        Define("TBevel", TControl::StaticClass(), FW_CLASS_FACTORY(TBevel), [](TClassInfo& c) {
            c.AddProperty(
                Ord("Shape", TTypeKind::tkEnumeration, &TBevel::Shape,
                    {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}));
        });
    return info;
}
TBevel::TBevel(TComponent* owner) : TControl(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TListBox::StaticClass() {
    static const TClassInfo& info =
        Define("TListBox", TWinControl::StaticClass(), FW_CLASS_FACTORY(TListBox),
               [](TClassInfo& c) { c.AddProperty(Object<TListBox>("Items", [](TListBox* o) { return o->Items(); })); });
    return info;
}
TListBox::TListBox(TComponent* owner) : TWinControl(owner), items_(std::make_unique<TStringList>()) {
    SetCompiledClass(StaticClass());
    items_->SetChangeOwner(this);
}

const TClassInfo& TStatusPanel::StaticClass() {
    static const TClassInfo& info = Define("TStatusPanel", TCollectionItem::StaticClass(), nullptr, [](TClassInfo& c) {
        c.AddProperty(Str("Text", &TStatusPanel::Text));
        c.AddProperty(Ord("Width", TTypeKind::tkInteger, &TStatusPanel::Width));
        c.AddProperty(Ord("Alignment", TTypeKind::tkEnumeration, &TStatusPanel::Alignment,
                          {"taLeftJustify", "taRightJustify", "taCenter"}));
    });
    return info;
}
TStatusPanel::TStatusPanel(TCollection* c) : TCollectionItem(c) {
    SetCompiledClass(StaticClass());
}
void TStatusPanel::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TStatusPanel*>(source);
    if (!src) return TPersistent::Assign(source);
    Text = src->Text;
    Width = src->Width;
    Alignment = src->Alignment;
}

const TClassInfo& TStatusPanels::StaticClass() {
    static const TClassInfo& info = Define("TStatusPanels", TCollection::StaticClass());
    return info;
}
TStatusPanels::TStatusPanels() : TCollection([](TCollection* c) { return new TStatusPanel(c); }) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TStatusBar::StaticClass() {
    static const TClassInfo& info =
        Define("TStatusBar", TWinControl::StaticClass(), FW_CLASS_FACTORY(TStatusBar), [](TClassInfo& c) {
            c.AddProperty(Object<TStatusBar>("Panels", [](TStatusBar* o) { return o->Panels(); }));
            c.AddProperty(Str("SimpleText", &TStatusBar::SimpleText));
        });
    return info;
}
TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner), panels_(std::make_unique<TStatusPanels>()) {
    SetCompiledClass(StaticClass());
    panels_->SetChangeOwner(this);
}

const TClassInfo& TTabbedNotebook::StaticClass() {
    static const TClassInfo& info =
        Define("TTabbedNotebook", TWinControl::StaticClass(), FW_CLASS_FACTORY(TTabbedNotebook), [](TClassInfo& c) {
            c.AddProperty(Object<TTabbedNotebook>("Pages", [](TTabbedNotebook* o) { return o->Pages(); }));
            c.AddProperty(Ord("PageIndex", TTypeKind::tkInteger, &TTabbedNotebook::PageIndex));
        });
    return info;
}
TTabbedNotebook::TTabbedNotebook(TComponent* owner) : TWinControl(owner), pages_(std::make_unique<TStringList>()) {
    SetCompiledClass(StaticClass());
    pages_->SetChangeOwner(this);
}

const TClassInfo& TListColumn::StaticClass() {
    static const TClassInfo& info = Define("TListColumn", TCollectionItem::StaticClass(), nullptr, [](TClassInfo& c) {
        c.AddProperty(Str("Caption", &TListColumn::Caption));
        c.AddProperty(Ord("Width", TTypeKind::tkInteger, &TListColumn::Width));
    });
    return info;
}
TListColumn::TListColumn(TCollection* c) : TCollectionItem(c) {
    SetCompiledClass(StaticClass());
}
void TListColumn::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TListColumn*>(source);
    if (!src) return TPersistent::Assign(source);
    Caption = src->Caption;
    Width = src->Width;
}

const TClassInfo& TListColumns::StaticClass() {
    static const TClassInfo& info = Define("TListColumns", TCollection::StaticClass());
    return info;
}
TListColumns::TListColumns() : TCollection([](TCollection* c) { return new TListColumn(c); }) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TListView::StaticClass() {
    static const TClassInfo& info = Define(
        "TListView", TWinControl::StaticClass(), FW_CLASS_FACTORY(TListView),
        [](TClassInfo& c) { c.AddProperty(Object<TListView>("Columns", [](TListView* o) { return o->Columns(); })); });
    return info;
}
TListView::TListView(TComponent* owner) : TWinControl(owner), columns_(std::make_unique<TListColumns>()) {
    SetCompiledClass(StaticClass());
    columns_->SetChangeOwner(this);
}

void RegisterStandardClasses() {
    static bool done = [] {
        for (const TClassInfo* c :
             {&TComponent::StaticClass(), &TControl::StaticClass(), &TWinControl::StaticClass(), &TForm::StaticClass(),
              &TFrame::StaticClass(), &TDataModule::StaticClass(), &TButton::StaticClass(), &TLabel::StaticClass(),
              &TEdit::StaticClass(), &TPanel::StaticClass(), &TBevel::StaticClass(), &TListBox::StaticClass(),
              &TStatusBar::StaticClass(), &TTabbedNotebook::StaticClass(), &TListView::StaticClass()})
            RegisterClass(*c);
        RegisterStdCtrlClasses();
        return true;
    }();
    (void)done;
}

}  // namespace fw
