// The component model: persistent objects, components with ownership, collections, string
// lists, fonts, visual controls, forms, frames, data modules, the screen and the standard
// components. Controls keep their state; a view (TControlView), when the platform gives one,
// shows them on screen and is told of every change made through published properties.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TypInfo.h"

namespace fw {

// Makes every class of this unit known to GetClass/FindClass (idempotent).
void RegisterStandardClasses();

// Builds the class information of a compiled class: name, parent and, for components, a
// factory that creates the compiled class and tags it with the requested class.
#define FW_CLASS_FACTORY(Cls)                                                       \
    [](const ::fw::TClassInfo* cls, ::fw::TComponent* owner) -> ::fw::TComponent* { \
        auto* o = new Cls(owner);                                                   \
        o->SetClassType(cls);                                                       \
        return o;                                                                   \
    }

class TPersistent : public TObject {
public:
    TPersistent();
    static const TClassInfo& StaticClass();
    // Copies source into this object; EConvertError "Cannot assign a %s to a %s" when neither
    // side knows how.
    virtual void Assign(TPersistent* source);

    // Tells the object that holds this one (a control holding its font, a collection holding
    // its items) that it changed; the holder passes it on.
    void SetChangeOwner(TPersistent* owner) { changeOwner_ = owner; }
    virtual void Changed();
    void PropertyChanged() override { Changed(); }

protected:
    virtual bool AssignTo(TPersistent* dest);

private:
    TPersistent* changeOwner_ = nullptr;
};

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    static const TClassInfo& StaticClass();

    const std::string& Name() const { return name_; }
    // EComponentError "A component named %s already exists" for a sibling of the same name.
    void SetName(const std::string& name);
    int32_t Tag = 0;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;
    // Owned component of that name, names compared without regard to ASCII case; none when absent.
    TComponent* FindComponent(std::string_view name) const;
    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);
    // The object a form resource nests this one in (a control's parent, a menu item's menu or
    // item); the reader tells it after creating the object.
    virtual void SetParentComponent(TComponent* parent);

private:
    std::string name_;
    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
};
FW_DECLARE_EXCEPTION(EComponentError, Exception);

class TCollection;

class TCollectionItem : public TPersistent {
public:
    // A change of the item is a change of its collection.
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;
    static const TClassInfo& StaticClass();
    TCollection* Collection() const { return collection_; }
    int Index() const;

private:
    friend class TCollection;
    TCollection* collection_;
};

class TCollection : public TPersistent {
public:
    using TItemFactory = std::function<TCollectionItem*(TCollection*)>;
    explicit TCollection(TItemFactory factory);
    ~TCollection() override;
    static const TClassInfo& StaticClass();

    int Count() const { return static_cast<int>(items_.size()); }
    // EListError "List index out of bounds (%d)" outside 0 .. Count-1.
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    void Delete(int index);
    void Clear();
    void Assign(TPersistent* source) override;

private:
    friend class TCollectionItem;
    TItemFactory factory_;
    std::vector<TCollectionItem*> items_;
    bool clearing_ = false;
};

class TStrings : public TPersistent {
public:
    TStrings();
    static const TClassInfo& StaticClass();

    // Changes between BeginUpdate and the last EndUpdate are told once, at the end.
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Changed() override;

    virtual int Count() const = 0;
    // EListError "List index out of bounds (%d)" outside 0 .. Count-1.
    std::string Strings(int index) const;
    void Put(int index, const std::string& s);
    int Add(const std::string& s);
    void Insert(int index, const std::string& s);
    void Delete(int index);
    virtual void Clear() = 0;
    int IndexOf(std::string_view s) const;
    // Lines each ended by CR LF.
    std::string Text() const;
    // Splits at CR LF, LF or CR; a final line end adds no empty line.
    void SetText(std::string_view text);
    // Lines set from UTF-16 keep that text beside their 8-bit form (see TText), where the list
    // can hold it; Assign carries it over.
    int AddWide(const std::u16string& s);
    void PutWide(int index, const std::u16string& s);
    void SetWideText(std::u16string_view text);
    // The UTF-16 text a line was set with; nullptr when it was set 8-bit (EListError outside
    // 0 .. Count-1).
    const std::u16string* WideStrings(int index) const;
    void Assign(TPersistent* source) override;

protected:
    virtual std::string Get(int index) const = 0;
    virtual void DoPut(int index, const std::string& s) = 0;
    virtual void DoInsert(int index, const std::string& s) = 0;
    virtual void DoDelete(int index) = 0;
    // Lists that cannot keep a line's UTF-16 text take its 8-bit form.
    virtual void DoPutText(int index, const TText& s) { DoPut(index, s); }
    virtual void DoInsertText(int index, const TText& s) { DoInsert(index, s); }
    virtual const std::u16string* GetWide(int) const { return nullptr; }
    void CheckIndex(int index, int limit) const;

private:
    int updateCount_ = 0;
    bool changedInUpdate_ = false;
};

class TStringList : public TStrings {
public:
    TStringList();
    static const TClassInfo& StaticClass();
    int Count() const override { return static_cast<int>(lines_.size()); }
    void Clear() override {
        lines_.clear();
        Changed();
    }

protected:
    std::string Get(int index) const override { return lines_[static_cast<size_t>(index)]; }
    void DoPut(int index, const std::string& s) override { lines_[static_cast<size_t>(index)] = s; }
    void DoInsert(int index, const std::string& s) override { lines_.insert(lines_.begin() + index, TText(s)); }
    void DoDelete(int index) override { lines_.erase(lines_.begin() + index); }
    void DoPutText(int index, const TText& s) override { lines_[static_cast<size_t>(index)] = s; }
    void DoInsertText(int index, const TText& s) override { lines_.insert(lines_.begin() + index, s); }
    const std::u16string* GetWide(int index) const override { return lines_[static_cast<size_t>(index)].Wide(); }

private:
    std::vector<TText> lines_;
};

// Font charsets the framework has identifiers for (the system header defines the same values
// as macros where it is included first).
#ifndef ANSI_CHARSET
enum : uint8_t {
    ANSI_CHARSET = 0,
    DEFAULT_CHARSET = 1,
    SYMBOL_CHARSET = 2,
    MAC_CHARSET = 77,
    SHIFTJIS_CHARSET = 128,
    HANGEUL_CHARSET = 129,
    JOHAB_CHARSET = 130,
    GB2312_CHARSET = 134,
    CHINESEBIG5_CHARSET = 136,
    GREEK_CHARSET = 161,
    TURKISH_CHARSET = 162,
    VIETNAMESE_CHARSET = 163,
    HEBREW_CHARSET = 177,
    ARABIC_CHARSET = 178,
    BALTIC_CHARSET = 186,
    RUSSIAN_CHARSET = 204,
    THAI_CHARSET = 222,
    EASTEUROPE_CHARSET = 238,
    OEM_CHARSET = 255,
};
#endif
// The identifier of a charset ("RUSSIAN_CHARSET"); false for a value without one.
bool CharsetToIdent(int32_t charset, std::string& ident);

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

class TFont : public TPersistent {
public:
    TFont();
    static const TClassInfo& StaticClass();

    const std::string& Name() const { return name_; }
    void SetName(const std::string& v) {
        name_ = v;
        Changed();
    }
    int32_t Size() const { return size_; }
    void SetSize(int32_t v) {
        size_ = v;
        Changed();
    }
    int32_t Charset() const { return charset_; }
    void SetCharset(int32_t v) {
        charset_ = static_cast<uint8_t>(v);
        Changed();
    }
    int32_t Color() const { return color_; }
    void SetColor(int32_t v) {
        color_ = v;
        Changed();
    }
    uint32_t Style() const { return style_; }
    void SetStyle(uint32_t v) {
        style_ = v;
        Changed();
    }

    // The system font is created on first use (drawing, measuring) and released on any change.
    uintptr_t Handle();
    bool HandleAllocated() const { return handle_ != 0; }
    void Assign(TPersistent* source) override;
    ~TFont() override;
    // A change releases the system font before the holder hears of it.
    void Changed() override;
    void PropertyChanged() override {}  // the setters tell already

    // How system fonts are made and released; without a platform, numbered stand-ins.
    using TFontRealizer = uintptr_t (*)(const TFont& font);
    using TFontReleaser = void (*)(uintptr_t handle);
    static void SetRealizer(TFontRealizer make, TFontReleaser release);

private:
    void ReleaseHandle();
    std::string name_ = "MS Sans Serif";
    int32_t size_ = 8;
    uint8_t charset_ = DEFAULT_CHARSET;
    int32_t color_ = 0;
    uint32_t style_ = 0;
    uintptr_t handle_ = 0;
};

class TControl;
class TMainMenu;
class TPopupMenu;

// What shows a control on screen. It reads the control's state when told of a change; it is
// owned by the control and destroyed with it (before the control's own members go).
class TControlView {
public:
    virtual ~TControlView() = default;
    virtual void Changed() = 0;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    static const TClassInfo& StaticClass();

    TText Caption;
    TText Hint;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool Visible = true;
    bool Enabled = true;
    TFont* Font() const { return font_.get(); }
    TControl* Parent = nullptr;
    TPopupMenu* PopupMenu = nullptr;  // shown on a right click; not owned

    void SetParentComponent(TComponent* parent) override;
    // Code that sets the fields above directly calls Changed() to show the change.
    void Changed() override;
    TControlView* View() const { return view_.get(); }
    void SetView(std::unique_ptr<TControlView> view);
    // Derived classes whose members the view reads drop the view first in their destructors.
    void DestroyView() { view_.reset(); }

private:
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TControlView> view_;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    static const TClassInfo& StaticClass();
    // Position in the keyboard order among the controls of the same parent (-1: not stored).
    int32_t TabOrder = -1;
};

class TScrollingWinControl : public TWinControl {
public:
    explicit TScrollingWinControl(TComponent* owner);
    static const TClassInfo& StaticClass();
};

class TCustomForm : public TScrollingWinControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    static const TClassInfo& StaticClass();

    int32_t PixelsPerInch = 96;
    TNotifyEvent OnCreate;
    TMainMenu* Menu = nullptr;  // the menu bar; not owned
    // Scales position, size and font of the form and of the controls it owns by m/d; the form's
    // pixels per inch stay as they are.
    void ScaleBy(int m, int d);
};

class TForm : public TCustomForm {
public:
    explicit TForm(TComponent* owner);
    static const TClassInfo& StaticClass();
};

class TCustomFrame : public TScrollingWinControl {
public:
    explicit TCustomFrame(TComponent* owner);
    static const TClassInfo& StaticClass();
};

class TFrame : public TCustomFrame {
public:
    explicit TFrame(TComponent* owner);
    static const TClassInfo& StaticClass();
};

class TDataModule : public TComponent {
public:
    explicit TDataModule(TComponent* owner);
    ~TDataModule() override;
    static const TClassInfo& StaticClass();
};

class TScreen {
public:
    TScreen();
    ~TScreen();
    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;

    int CustomFormCount() const { return static_cast<int>(forms_.size()); }
    TCustomForm* CustomForms(int index) const { return forms_.at(static_cast<size_t>(index)); }
    int DataModuleCount() const { return static_cast<int>(dataModules_.size()); }
    TDataModule* DataModules(int index) const { return dataModules_.at(static_cast<size_t>(index)); }
    int32_t PixelsPerInch = 96;
    TFont* IconFont() const { return iconFont_.get(); }
    TFont* HintFont() const { return hintFont_.get(); }
    TFont* MenuFont() const { return menuFont_.get(); }

private:
    friend class TCustomForm;
    friend class TDataModule;
    std::vector<TCustomForm*> forms_;
    std::vector<TDataModule*> dataModules_;
    std::unique_ptr<TFont> iconFont_, hintFont_, menuFont_;
};

TScreen& Screen();

// Standard components.

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    static const TClassInfo& StaticClass();
    bool Default = false;
    TNotifyEvent OnClick;
};

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner);
    static const TClassInfo& StaticClass();
    bool WordWrap = false;
};

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    static const TClassInfo& StaticClass();
    TText Text;
    std::u16string TextHint;  // shown in the empty field, in any script
    char PasswordChar = 0;
    int32_t MaxLength = 0;
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    static const TClassInfo& StaticClass();
    TBevelCut BevelOuter = bvRaised;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };

class TBevel : public TControl {
public:
    explicit TBevel(TComponent* owner);
    static const TClassInfo& StaticClass();
    TBevelShape Shape = bsBox;
};

class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    static const TClassInfo& StaticClass();
    TStrings* Items() const { return items_.get(); }

private:
    std::unique_ptr<TStringList> items_;
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TStatusPanel : public TCollectionItem {
public:
    explicit TStatusPanel(TCollection* c);
    static const TClassInfo& StaticClass();
    TText Text;
    int32_t Width = 50;
    TAlignment Alignment = taLeftJustify;
    void Assign(TPersistent* source) override;
};

class TStatusPanels : public TCollection {
public:
    TStatusPanels();
    static const TClassInfo& StaticClass();
    TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(TCollection::Items(index)); }
    TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
};

class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* owner);
    static const TClassInfo& StaticClass();
    TStatusPanels* Panels() const { return panels_.get(); }
    TText SimpleText;

private:
    std::unique_ptr<TStatusPanels> panels_;
};

// Page titles in Pages; the active page by index.
class TTabbedNotebook : public TWinControl {
public:
    explicit TTabbedNotebook(TComponent* owner);
    static const TClassInfo& StaticClass();
    TStrings* Pages() const { return pages_.get(); }
    int32_t PageIndex = 0;

private:
    std::unique_ptr<TStringList> pages_;
};

class TListColumn : public TCollectionItem {
public:
    explicit TListColumn(TCollection* c);
    static const TClassInfo& StaticClass();
    TText Caption;
    int32_t Width = 50;
    void Assign(TPersistent* source) override;
};

class TListColumns : public TCollection {
public:
    TListColumns();
    static const TClassInfo& StaticClass();
    TListColumn* Items(int index) const { return static_cast<TListColumn*>(TCollection::Items(index)); }
    TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
};

class TListView : public TWinControl {
public:
    explicit TListView(TComponent* owner);
    static const TClassInfo& StaticClass();
    TListColumns* Columns() const { return columns_.get(); }

private:
    std::unique_ptr<TListColumns> columns_;
};

}  // namespace fw
