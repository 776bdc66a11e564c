// Menus and the standard controls real forms carry besides those of Components.h: menu bar,
// popup menu and their items, check box, radio button, combo box, memo, group box and radio
// group. Each is created by name from form resources; its texts are published under the usual
// names (Caption, Hint, Text, Items, Lines) so that dictionaries and the live translator
// reach them as they reach the other controls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Components.h"

namespace fw {

class TMenu;

// Key codes of shortcuts: a virtual-key code with these modifier bits.
enum : int32_t { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
// "Ctrl+O", "Shift+F3", "Del"; empty for 0.
std::string ShortCutToText(int32_t shortCut);

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;
    static const TClassInfo& StaticClass();

    TText Caption;  // "-" makes a separator; "&" marks the accelerator letter
    TText Hint;
    int32_t ShortCut = 0;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    bool RadioItem = false;
    int32_t GroupIndex = 0;
    TNotifyEvent OnClick;

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    TMenuItem* Parent() const { return parent_; }
    // The menu this item belongs to, through its parents; none while it is in no menu.
    TMenu* GetParentMenu() const;
    void Click();

    // Nested items in form resources become sub-items; an item directly in a menu a top item.
    void SetParentComponent(TComponent* parent) override;
    void Changed() override;

private:
    friend class TMenu;
    std::vector<TMenuItem*> items_;  // not owned: items are components of the form
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on the root item of a menu
};

// What shows a menu (a menu bar or a popup menu); told of any change of its items.
class TMenuView {
public:
    virtual ~TMenuView() = default;
    virtual void Changed() = 0;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    static const TClassInfo& StaticClass();
    TMenuItem* Items() const { return items_.get(); }
    TMenuView* View() const { return view_.get(); }
    void SetView(std::unique_ptr<TMenuView> view) { view_ = std::move(view); }
    void Changed() override;

private:
    std::unique_ptr<TMenuItem> items_;
    std::unique_ptr<TMenuView> view_;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner);
    static const TClassInfo& StaticClass();
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner);
    static const TClassInfo& StaticClass();
};

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);
    static const TClassInfo& StaticClass();
    bool Checked = false;
    TNotifyEvent OnClick;
};

class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* owner);
    static const TClassInfo& StaticClass();
    bool Checked = false;
    TNotifyEvent OnClick;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;
    static const TClassInfo& StaticClass();
    TStrings* Items() const { return items_.get(); }
    TText Text;
    int32_t ItemIndex = -1;
    TComboBoxStyle Style = csDropDown;

private:
    std::unique_ptr<TStringList> items_;
};

class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;
    static const TClassInfo& StaticClass();
    TStrings* Lines() const { return lines_.get(); }
    bool WordWrap = true;
    bool ReadOnly = false;

private:
    std::unique_ptr<TStringList> lines_;
};

class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* owner);
    static const TClassInfo& StaticClass();
};

// A group box of radio buttons made from its Items; the checked one is ItemIndex.
class TRadioGroup : public TWinControl {
public:
    explicit TRadioGroup(TComponent* owner);
    ~TRadioGroup() override;
    static const TClassInfo& StaticClass();
    TStrings* Items() const { return items_.get(); }
    int32_t ItemIndex = -1;
    int32_t Columns = 1;

private:
    std::unique_ptr<TStringList> items_;
};

// Makes the classes of this unit creatable by name (idempotent); RegisterStandardClasses calls it.
void RegisterStdCtrlClasses();

}  // namespace fw
