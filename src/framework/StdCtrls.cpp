#include "StdCtrls.h"

#include <algorithm>

namespace fw {

using namespace published;

namespace {

template <class Setup>
const TClassInfo& Define(const char* name, const TClassInfo& parent, TClassInfo::TFactory factory, Setup setup) {
    auto* info = new TClassInfo(name, &parent, std::move(factory));  // lives as long as the program
    setup(*info);
    return *info;
}

const std::vector<std::string> kBoolNames = {"False", "True"};

}  // namespace

std::string ShortCutToText(int32_t shortCut) {
    int key = shortCut & 0xFF;
    if (key == 0) return {};
    std::string name;
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        name = std::string(1, static_cast<char>(key));
    else if (key >= 0x70 && key <= 0x87)
        name = "F" + std::to_string(key - 0x6F);
    else {
        static const struct {
            int key;
            const char* name;
        } kNames[] = {{0x08, "BkSp"}, {0x09, "Tab"},   {0x0D, "Enter"}, {0x1B, "Esc"},  {0x20, "Space"},
                      {0x21, "PgUp"}, {0x22, "PgDn"},  {0x23, "End"},   {0x24, "Home"}, {0x25, "Left"},
                      {0x26, "Up"},   {0x27, "Right"}, {0x28, "Down"},  {0x2D, "Ins"},  {0x2E, "Del"}};
        for (const auto& k : kNames)
            if (k.key == key) name = k.name;
        if (name.empty()) return {};
    }
    std::string out;
    if (shortCut & scShift) out += "Shift+";
    if (shortCut & scCtrl) out += "Ctrl+";
    if (shortCut & scAlt) out += "Alt+";
    return out + name;
}

// ---- menu items

const TClassInfo& TMenuItem::StaticClass() {
    static const TClassInfo& info =
        Define("TMenuItem", TComponent::StaticClass(), FW_CLASS_FACTORY(TMenuItem), [](TClassInfo& c) {
            c.AddProperty(Str("Caption", &TMenuItem::Caption));
            c.AddProperty(Str("Hint", &TMenuItem::Hint));
            c.AddProperty(Ord("ShortCut", TTypeKind::tkInteger, &TMenuItem::ShortCut));
            c.AddProperty(Ord("Checked", TTypeKind::tkEnumeration, &TMenuItem::Checked, kBoolNames));
            c.AddProperty(Ord("Enabled", TTypeKind::tkEnumeration, &TMenuItem::Enabled, kBoolNames));
            c.AddProperty(Ord("Visible", TTypeKind::tkEnumeration, &TMenuItem::Visible, kBoolNames));
            c.AddProperty(Ord("RadioItem", TTypeKind::tkEnumeration, &TMenuItem::RadioItem, kBoolNames));
            c.AddProperty(Ord("GroupIndex", TTypeKind::tkInteger, &TMenuItem::GroupIndex));
            c.AddProperty(Method("OnClick", &TMenuItem::OnClick));
        });
    return info;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {
    SetCompiledClass(StaticClass());
}

TMenuItem::~TMenuItem() {
    for (TMenuItem* child : items_) child->parent_ = nullptr;
    items_.clear();
    if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return items_[static_cast<size_t>(index)];
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    for (const TMenuItem* p = this; p; p = p->parent_)
        if (p == item) throw EComponentError("A menu item cannot hold itself");
    if (item->parent_) item->parent_->Remove(item);
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    Changed();
}

void TMenuItem::Add(TMenuItem* item) {
    Insert(Count(), item);
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
    Changed();
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* p = this;
    while (p->parent_) p = p->parent_;
    return p->menu_;
}

void TMenuItem::Click() {
    // Through a copy: the handler may free the item with its form.
    if (TNotifyEvent handler = OnClick) handler(this);
}

void TMenuItem::SetParentComponent(TComponent* parent) {
    if (auto* item = dynamic_cast<TMenuItem*>(parent))
        item->Add(this);
    else if (auto* menu = dynamic_cast<TMenu*>(parent))
        menu->Items()->Add(this);
}

void TMenuItem::Changed() {
    if (TMenu* m = GetParentMenu()) m->Changed();
}

// ---- menus

const TClassInfo& TMenu::StaticClass() {
    static const TClassInfo& info = Define("TMenu", TComponent::StaticClass(), nullptr, [](TClassInfo&) {});
    return info;
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)) {
    SetCompiledClass(StaticClass());
    items_->menu_ = this;
}

namespace {
// Nothing keeps naming a menu that is gone.
void ForgetMenu(TComponent* c, const TMenu* menu) {
    if (auto* ctl = dynamic_cast<TControl*>(c); ctl && ctl->PopupMenu == menu) ctl->PopupMenu = nullptr;
    for (int i = 0; i < c->ComponentCount(); ++i) ForgetMenu(c->Components(i), menu);
}
}  // namespace

TMenu::~TMenu() {
    view_.reset();
    items_->menu_ = nullptr;
    for (int i = 0; i < Screen().CustomFormCount(); ++i) {
        TCustomForm* form = Screen().CustomForms(i);
        if (form->Menu == this) form->Menu = nullptr;
        ForgetMenu(form, this);
    }
}

void TMenu::Changed() {
    if (view_) view_->Changed();
}

const TClassInfo& TMainMenu::StaticClass() {
    static const TClassInfo& info =
        Define("TMainMenu", TMenu::StaticClass(), FW_CLASS_FACTORY(TMainMenu), [](TClassInfo&) {});
    return info;
}
TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {
    SetCompiledClass(StaticClass());
}

const TClassInfo& TPopupMenu::StaticClass() {
    static const TClassInfo& info =
        Define("TPopupMenu", TMenu::StaticClass(), FW_CLASS_FACTORY(TPopupMenu), [](TClassInfo&) {});
    return info;
}
TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
    SetCompiledClass(StaticClass());
}

// ---- controls

const TClassInfo& TCheckBox::StaticClass() {
    static const TClassInfo& info =
        Define("TCheckBox", TWinControl::StaticClass(), FW_CLASS_FACTORY(TCheckBox), [](TClassInfo& c) {
            c.AddProperty(Ord("Checked", TTypeKind::tkEnumeration, &TCheckBox::Checked, kBoolNames));
            c.AddProperty(Method("OnClick", &TCheckBox::OnClick));
        });
    return info;
}
TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
    Width = 97;  // the framework's size for a control whose form stores none
    Height = 17;
}

const TClassInfo& TRadioButton::StaticClass() {
    static const TClassInfo& info =
        Define("TRadioButton", TWinControl::StaticClass(), FW_CLASS_FACTORY(TRadioButton), [](TClassInfo& c) {
            c.AddProperty(Ord("Checked", TTypeKind::tkEnumeration, &TRadioButton::Checked, kBoolNames));
            c.AddProperty(Method("OnClick", &TRadioButton::OnClick));
        });
    return info;
}
TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
    Width = 113;  // the framework's size for a control whose form stores none
    Height = 17;
}

const TClassInfo& TComboBox::StaticClass() {
    static const TClassInfo& info =
        Define("TComboBox", TWinControl::StaticClass(), FW_CLASS_FACTORY(TComboBox), [](TClassInfo& c) {
            c.AddProperty(Object<TComboBox>("Items", [](TComboBox* o) { return o->Items(); }));
            c.AddProperty(Str("Text", &TComboBox::Text));
            c.AddProperty(Ord("ItemIndex", TTypeKind::tkInteger, &TComboBox::ItemIndex));
            c.AddProperty(Ord("Style", TTypeKind::tkEnumeration, &TComboBox::Style,
                              {"csDropDown", "csSimple", "csDropDownList"}));
        });
    return info;
}
TComboBox::TComboBox(TComponent* owner) : TWinControl(owner), items_(std::make_unique<TStringList>()) {
    SetCompiledClass(StaticClass());
    items_->SetChangeOwner(this);
}
TComboBox::~TComboBox() {
    DestroyView();
}

const TClassInfo& TMemo::StaticClass() {
    static const TClassInfo& info =
        Define("TMemo", TWinControl::StaticClass(), FW_CLASS_FACTORY(TMemo), [](TClassInfo& c) {
            c.AddProperty(Object<TMemo>("Lines", [](TMemo* o) { return o->Lines(); }));
            c.AddProperty(Ord("WordWrap", TTypeKind::tkEnumeration, &TMemo::WordWrap, kBoolNames));
            c.AddProperty(Ord("ReadOnly", TTypeKind::tkEnumeration, &TMemo::ReadOnly, kBoolNames));
        });
    return info;
}
TMemo::TMemo(TComponent* owner) : TWinControl(owner), lines_(std::make_unique<TStringList>()) {
    SetCompiledClass(StaticClass());
    lines_->SetChangeOwner(this);
}
TMemo::~TMemo() {
    DestroyView();
}

const TClassInfo& TGroupBox::StaticClass() {
    static const TClassInfo& info =
        Define("TGroupBox", TWinControl::StaticClass(), FW_CLASS_FACTORY(TGroupBox), [](TClassInfo&) {});
    return info;
}
TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
    SetCompiledClass(StaticClass());
    Width = 185;  // the framework's size for a control whose form stores none
    Height = 105;
}

const TClassInfo& TRadioGroup::StaticClass() {
    static const TClassInfo& info =
        Define("TRadioGroup", TWinControl::StaticClass(), FW_CLASS_FACTORY(TRadioGroup), [](TClassInfo& c) {
            c.AddProperty(Object<TRadioGroup>("Items", [](TRadioGroup* o) { return o->Items(); }));
            c.AddProperty(Ord("ItemIndex", TTypeKind::tkInteger, &TRadioGroup::ItemIndex));
            c.AddProperty(Ord("Columns", TTypeKind::tkInteger, &TRadioGroup::Columns));
        });
    return info;
}
TRadioGroup::TRadioGroup(TComponent* owner) : TWinControl(owner), items_(std::make_unique<TStringList>()) {
    SetCompiledClass(StaticClass());
    Width = 185;  // the framework's size for a control whose form stores none
    Height = 105;
    items_->SetChangeOwner(this);
}
TRadioGroup::~TRadioGroup() {
    DestroyView();
}

void RegisterStdCtrlClasses() {
    static bool done = [] {
        for (const TClassInfo* c : {&TMenuItem::StaticClass(), &TMainMenu::StaticClass(), &TPopupMenu::StaticClass(),
                                    &TCheckBox::StaticClass(), &TRadioButton::StaticClass(), &TComboBox::StaticClass(),
                                    &TMemo::StaticClass(), &TGroupBox::StaticClass(), &TRadioGroup::StaticClass()})
            RegisterClass(*c);
        return true;
    }();
    (void)done;
}

}  // namespace fw
