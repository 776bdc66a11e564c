#include <gtest/gtest.h>

#include <memory>

#include "framework/ComponentReader.h"
#include "framework/Components.h"
#include "framework/tests/FormWriterUtil.h"

using namespace fw;
using fwtest::FormBuilder;

namespace {

// A component publishing one property of every kind.
class TKindProbe : public TComponent {
public:
    explicit TKindProbe(TComponent* owner) : TComponent(owner) { SetCompiledClass(StaticClass()); }
    static const TClassInfo& StaticClass() {
        static const TClassInfo& info = *[] {
            using namespace published;
            auto* c = new TClassInfo("TKindProbe", &TComponent::StaticClass(), FW_CLASS_FACTORY(TKindProbe));
            c->AddProperty(Ord("Count", TTypeKind::tkInteger, &TKindProbe::Count));
            c->AddProperty(Ord("Letter", TTypeKind::tkChar, &TKindProbe::Letter));
            c->AddProperty(
                Ord("Shape", TTypeKind::tkEnumeration, &TKindProbe::Shape, {"shNone", "shRound", "shSquare"}));
            c->AddProperty(Float("Ratio", &TKindProbe::Ratio));
            c->AddProperty(Str("Short", &TKindProbe::Short, true));
            c->AddProperty(Ord("Flags", TTypeKind::tkSet, &TKindProbe::Flags, {"fA", "fB", "fC"}));
            c->AddProperty(Object<TKindProbe>("Lines", [](TKindProbe* o) { return &o->Lines; }));
            c->AddProperty(Method("OnChange", &TKindProbe::OnChange));
            c->AddProperty(Ord("WideLetter", TTypeKind::tkWChar, &TKindProbe::WideLetter));
            c->AddProperty(Str("Long", &TKindProbe::Long));
            c->AddProperty(WStr("Wide", &TKindProbe::Wide));
            return c;
        }();
        return info;
    }
    int32_t Count = 0;
    uint8_t Letter = 0;
    int32_t Shape = 0;
    double Ratio = 0;
    std::string Short;
    uint32_t Flags = 0;
    TStringList Lines;
    TNotifyEvent OnChange;
    char16_t WideLetter = 0;
    std::string Long;
    std::u16string Wide;
};

struct KindRow {
    const char* name;
    TTypeKind kind;
    std::function<void(TObject*)> set;
    std::function<void(TKindProbe&)> check;
};

}  // namespace

TEST(TypeInfo, EveryPropertyKindByName) {
    TKindProbe p(nullptr);
    int fired = 0;
    const std::vector<KindRow> rows = {
        {"Count", TTypeKind::tkInteger, [](TObject* o) { SetOrdProp(o, "count", -7); },
         [](TKindProbe& k) { EXPECT_EQ(k.Count, -7); }},
        {"Letter", TTypeKind::tkChar, [](TObject* o) { SetOrdProp(o, "Letter", 0xE4); },
         [](TKindProbe& k) { EXPECT_EQ(k.Letter, 0xE4); }},
        {"Shape", TTypeKind::tkEnumeration, [](TObject* o) { SetEnumProp(o, "Shape", "SHSQUARE"); },
         [](TKindProbe& k) { EXPECT_EQ(k.Shape, 2); }},
        {"Ratio", TTypeKind::tkFloat, [](TObject* o) { SetFloatProp(o, "Ratio", 1.25); },
         [](TKindProbe& k) { EXPECT_DOUBLE_EQ(k.Ratio, 1.25); }},
        {"Short", TTypeKind::tkString, [](TObject* o) { SetStrProp(o, "Short", std::string(300, 'x')); },
         [](TKindProbe& k) { EXPECT_EQ(k.Short.size(), 255u); }},
        {"Flags", TTypeKind::tkSet, [](TObject* o) { SetSetProp(o, "Flags", "[fA, fC]"); },
         [](TKindProbe& k) { EXPECT_EQ(k.Flags, 5u); }},
        {"Lines", TTypeKind::tkClass,
         [](TObject* o) { static_cast<TStrings*>(GetObjectProp(o, "Lines"))->SetText("a\r\nb"); },
         [](TKindProbe& k) { EXPECT_EQ(k.Lines.Count(), 2); }},
        {"OnChange", TTypeKind::tkMethod,
         [&fired](TObject* o) { SetMethodProp(o, "OnChange", [&fired](TObject*) { ++fired; }); },
         [&fired](TKindProbe& k) {
             k.OnChange(&k);
             EXPECT_EQ(fired, 1);
         }},
        {"WideLetter", TTypeKind::tkWChar, [](TObject* o) { SetOrdProp(o, "WideLetter", 0x0416); },
         [](TKindProbe& k) { EXPECT_EQ(k.WideLetter, u'\u0416'); }},
        {"Long", TTypeKind::tkLString, [](TObject* o) { SetStrProp(o, "Long", std::string(300, 'y')); },
         [](TKindProbe& k) { EXPECT_EQ(k.Long.size(), 300u); }},
        {"Wide", TTypeKind::tkWString, [](TObject* o) { SetWideStrProp(o, "Wide", u"\u041F\u0440\u0438"); },
         [](TKindProbe& k) { EXPECT_EQ(k.Wide, u"\u041F\u0440\u0438"); }},
    };
    ASSERT_EQ(TKindProbe::StaticClass().OwnProperties().size(), rows.size());
    for (const KindRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PropType(&p, row.name), row.kind);
        row.set(&p);
        row.check(p);
    }
    // Read back through the typed getters.
    EXPECT_EQ(GetOrdProp(&p, "Count"), -7);
    EXPECT_EQ(GetEnumProp(&p, "Shape"), "shSquare");
    EXPECT_EQ(GetSetProp(&p, "Flags"), "[fA,fC]");
    EXPECT_EQ(GetWideStrProp(&p, "Wide"), u"\u041F\u0440\u0438");
    EXPECT_EQ(GetObjectProp(&p, "Lines"), &p.Lines);
    // Inherited properties, wrong kinds and unknown names.
    SetStrProp(&p, "Name", "Probe1");
    EXPECT_EQ(p.Name(), "Probe1");
    EXPECT_THROW(SetStrProp(&p, "Count", "1"), EPropertyError);
    EXPECT_THROW(SetOrdProp(&p, "Wide", 1), EPropertyError);
    EXPECT_THROW(SetEnumProp(&p, "Shape", "shOval"), EPropertyError);
    EXPECT_THROW(SetSetProp(&p, "Flags", "[fD]"), EPropertyError);
    EXPECT_THROW(GetOrdProp(&p, "Missing"), EPropertyError);
    EXPECT_EQ(PropType(&p, "Missing"), TTypeKind::tkUnknown);
}

TEST(TypeInfo, ClassChainAndFactory) {
    EXPECT_TRUE(TForm::StaticClass().InheritsFrom(&TScrollingWinControl::StaticClass()));
    EXPECT_FALSE(TFrame::StaticClass().InheritsFrom(&TCustomForm::StaticClass()));
    EXPECT_EQ(TStringList::StaticClass().Parent()->Name(), "TStrings");
    const TClassInfo& formX = DefineComponentClass("TFactoryFormX", TForm::StaticClass());
    std::unique_ptr<TComponent> f(formX.Create(nullptr));  // no resources read by the bare factory
    EXPECT_EQ(f->ClassName(), "TFactoryFormX");
    EXPECT_NE(dynamic_cast<TForm*>(f.get()), nullptr);
    EXPECT_EQ(&FindClass("tbutton"), &TButton::StaticClass());
    EXPECT_THROW(FindClass("TNoSuchClass"), EClassNotFound);
    EXPECT_THROW(DefineComponentClass("TFactoryFormX", TFrame::StaticClass()), EClassNotFound);
}

TEST(Components, OwnershipFindAndFree) {
    auto* form = new TForm(nullptr);
    auto* b1 = new TButton(form);
    b1->SetName("Button1");
    auto* b2 = new TButton(form);
    b2->SetName("Button2");
    EXPECT_EQ(form->FindComponent("BUTTON2"), b2);
    EXPECT_EQ(form->FindComponent(""), nullptr);
    EXPECT_THROW(b2->SetName("button1"), EComponentError);
    b2->SetName("BUTTON2");  // only its own case changes
    EXPECT_EQ(form->Components(1), b2);
    EXPECT_THROW(form->Components(2), EListError);
    delete b1;
    EXPECT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(form->Components(0), b2);
    int before = Screen().CustomFormCount();
    delete form;  // frees b2
    EXPECT_EQ(Screen().CustomFormCount(), before - 1);
}

TEST(Components, StringsSplitAssignAndBounds) {
    TStringList s;
    s.SetText("one\r\ntwo\nthree\rfour\r\n");
    ASSERT_EQ(s.Count(), 4);
    EXPECT_EQ(s.Strings(3), "four");
    EXPECT_EQ(s.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    s.SetText("a\r\n\r\nb");
    EXPECT_EQ(s.Count(), 3);
    EXPECT_EQ(s.Strings(1), "");
    EXPECT_THROW(s.Strings(3), EListError);
    EXPECT_THROW(s.Strings(-1), EListError);
    TStringList t;
    t.Assign(&s);
    EXPECT_EQ(t.Text(), s.Text());
    TFont font;
    EXPECT_THROW(t.Assign(&font), EConvertError);
}

// Texts set from UTF-16 keep every character beside the 8-bit form the framework's code still
// reads; 8-bit text set afterwards, or a change in place, takes over again.
TEST(Components, TextsSetWideKeepEveryCharacterUntilSet8Bit) {
    const std::u16string mixed = u"Fichier \u6587\u4EF6 \u0160koda";
    TButton b(nullptr);
    SetWideStrProp(&b, "Caption", mixed);
    EXPECT_EQ(GetWideStrProp(&b, "Caption"), mixed);
    EXPECT_EQ(b.Caption, "Fichier ?? ?koda");  // the framework's conversion (Latin-1 here)
    ASSERT_NE(b.Caption.Wide(), nullptr);
    TText copy = b.Caption;
    ASSERT_NE(copy.Wide(), nullptr);
    EXPECT_EQ(*copy.Wide(), mixed);

    SetStrProp(&b, "Caption", "Datei");
    EXPECT_EQ(b.Caption.Wide(), nullptr);
    EXPECT_EQ(GetWideStrProp(&b, "Caption"), u"Datei");
    b.Caption.SetWide(mixed);
    b.Caption += "!";  // changed through the 8-bit text
    EXPECT_EQ(b.Caption.Wide(), nullptr);
    EXPECT_EQ(GetWideStrProp(&b, "Caption"), u"Fichier ?? ?koda!");
    b.Caption.SetWide(mixed);
    b.Caption = "??";
    EXPECT_EQ(b.Caption.Wide(), nullptr);
    // Only texts of controls keep UTF-16: a plain 8-bit property has no wide access.
    TKindProbe probe(nullptr);
    EXPECT_THROW(GetWideStrProp(&probe, "Long"), EPropertyError);
    EXPECT_THROW(SetWideStrProp(&probe, "Short", u"x"), EPropertyError);

    TStringList lines;
    lines.SetWideText(u"\u041C\u043E\u0441\u043A\u0432\u0430\r\nParis\n\u5317\u4EAC\r");
    ASSERT_EQ(lines.Count(), 3);
    ASSERT_NE(lines.WideStrings(0), nullptr);
    EXPECT_EQ(*lines.WideStrings(0), u"\u041C\u043E\u0441\u043A\u0432\u0430");
    EXPECT_EQ(lines.Strings(1), "Paris");
    EXPECT_EQ(*lines.WideStrings(2), u"\u5317\u4EAC");
    EXPECT_THROW(lines.WideStrings(3), EListError);
    lines.Add("Rome");
    EXPECT_EQ(lines.WideStrings(3), nullptr);
    TStringList other;
    other.Assign(&lines);
    ASSERT_EQ(other.Count(), 4);
    ASSERT_NE(other.WideStrings(2), nullptr);
    EXPECT_EQ(*other.WideStrings(2), u"\u5317\u4EAC");
    EXPECT_EQ(other.Text(), lines.Text());
    other.Put(2, "Pekin");
    EXPECT_EQ(other.WideStrings(2), nullptr);
    other.PutWide(1, u"Par\u00EDs");
    EXPECT_EQ(*other.WideStrings(1), u"Par\u00EDs");
    EXPECT_EQ(other.Strings(1), "Par\xEDs");
}

TEST(Components, CollectionsAndFonts) {
    TStatusBar bar(nullptr);
    bar.Panels()->Add()->Text = "a";
    bar.Panels()->Add()->Text = "b";
    EXPECT_EQ(bar.Panels()->Items(1)->Index(), 1);
    EXPECT_THROW(bar.Panels()->Items(2), EListError);
    TStatusPanels copy;
    copy.Assign(bar.Panels());
    EXPECT_EQ(copy.Items(1)->Text, "b");
    delete copy.Items(0);
    EXPECT_EQ(copy.Count(), 1);

    TFont f;
    EXPECT_FALSE(f.HandleAllocated());
    f.Handle();
    EXPECT_TRUE(f.HandleAllocated());
    SetOrdProp(&f, "Charset", RUSSIAN_CHARSET);
    EXPECT_EQ(f.Charset(), RUSSIAN_CHARSET);
    EXPECT_FALSE(f.HandleAllocated());  // a change releases the system font
    std::string ident;
    EXPECT_TRUE(CharsetToIdent(238, ident));
    EXPECT_EQ(ident, "EASTEUROPE_CHARSET");
    EXPECT_FALSE(CharsetToIdent(100, ident));
}

namespace {

// Counts what a control's view is told; reads the control's font as a window would.
class TCountingView : public TControlView {
public:
    TCountingView(TControl* c, int* count, int* destroyed) : c_(c), count_(count), destroyed_(destroyed) {}
    ~TCountingView() override { ++*destroyed_; }
    void Changed() override {
        ++*count_;
        c_->Font()->Handle();
    }

private:
    TControl* c_;
    int* count_;
    int* destroyed_;
};

template <class T>
std::unique_ptr<T> Viewed(int& count, int& destroyed) {
    auto c = std::make_unique<T>(nullptr);
    c->SetView(std::make_unique<TCountingView>(c.get(), &count, &destroyed));
    return c;
}

}  // namespace

// Every change made through published properties, string lists, collections and fonts reaches
// the control's view exactly once; a font change releases the old system font after the view
// made the new one.
TEST(Components, ChangesReachTheViewOnce) {
    int count = 0, destroyed = 0;
    {
        auto button = Viewed<TButton>(count, destroyed);
        SetStrProp(button.get(), "Caption", "Go");
        EXPECT_EQ(count, 1);
        SetOrdProp(button.get(), "Enabled", 0);
        EXPECT_FALSE(button->Enabled);
        EXPECT_EQ(count, 2);
        uintptr_t before = button->Font()->Handle();
        SetOrdProp(button->Font(), "Charset", RUSSIAN_CHARSET);
        EXPECT_EQ(count, 3);
        EXPECT_TRUE(button->Font()->HandleAllocated());  // remade by the view
        EXPECT_NE(button->Font()->Handle(), before);
        button->Caption = "direct";
        EXPECT_EQ(count, 3);  // a field set directly shows only when the code says so
        button->Changed();
        EXPECT_EQ(count, 4);
    }
    EXPECT_EQ(destroyed, 1);

    count = 0;
    auto list = Viewed<TListBox>(count, destroyed);
    list->Items()->SetText("a\r\nb\r\nc");
    EXPECT_EQ(count, 1);
    TStringList other;
    other.SetText("x\r\ny");
    list->Items()->Assign(&other);
    EXPECT_EQ(count, 2);
    list->Items()->Put(0, "z");
    list->Items()->Delete(1);
    EXPECT_EQ(count, 4);
    list->Items()->Clear();
    EXPECT_EQ(count, 5);

    count = 0;
    auto bar = Viewed<TStatusBar>(count, destroyed);
    TStatusPanel* p = bar->Panels()->Add();
    EXPECT_EQ(count, 1);
    SetStrProp(p, "Text", "Ready");
    EXPECT_EQ(count, 2);
    delete p;
    EXPECT_EQ(count, 3);
    bar.reset();  // the panels go with the bar without telling its view
    EXPECT_EQ(count, 3);

    count = 0;
    auto view = Viewed<TListView>(count, destroyed);
    SetStrProp(view->Columns()->Add(), "Caption", "Name");
    EXPECT_EQ(count, 2);
    auto book = Viewed<TTabbedNotebook>(count, destroyed);
    book->Pages()->Add("General");
    EXPECT_EQ(count, 3);
}

TEST(Components, ScaleBy) {
    TForm form(nullptr);
    form.Width = 200;
    form.Height = 100;
    auto* b = new TButton(&form);
    b->Left = 10;
    b->Width = 75;
    form.ScaleBy(120, 96);
    EXPECT_EQ(form.Width, 250);
    EXPECT_EQ(b->Left, 13);  // 12.5 rounds up
    EXPECT_EQ(b->Width, 94);
    EXPECT_EQ(b->Font()->Size(), 10);
    EXPECT_EQ(form.PixelsPerInch, 96);
}

// ---- Forms from resources

namespace {

constexpr TModuleHandle kApp = 0x400000;
constexpr TModuleHandle kGerman = 0x500000;

struct ResourceFixture : ::testing::Test {
    void SetUp() override { HostResources().Clear(); }
    void TearDown() override { HostResources().Clear(); }
};

std::vector<uint8_t> BaseForm(const std::string& caption, const std::string& item) {
    FormBuilder b;
    b.Begin("TRBaseForm", "RBaseForm").Str("Caption", caption).Int("Width", 300).EndProps();
    b.Begin("TPanel", "Panel1")
        .Ident("BevelOuter", "bvLowered")
        .Set("Font.Style", {"fsBold"})
        .Ident("Font.Charset", "RUSSIAN_CHARSET")
        .EndProps();
    b.Begin("TButton", "Button1")
        .Str("Caption", "OK")
        .Ident("Default", "True")
        .Int("TabOrder", 1)
        .Ident("Enabled", "False")
        .EndProps()
        .EndChildren();
    b.EndChildren();
    b.Begin("TListBox", "ListBox1").Strings("Items.Strings", {item, "two"}).EndProps().EndChildren();
    b.Begin("TStatusBar", "StatusBar1")
        .Collection("Panels", {{{"Text", "p0"}}, {{"Text", "p1"}}})
        .EndProps()
        .EndChildren();
    b.EndChildren();
    return b.Bytes();
}

}  // namespace

TEST_F(ResourceFixture, FormReadsAncestorsFirstAndFollowsTheResourceModule) {
    const TClassInfo& base = DefineComponentClass("TRBaseForm", TForm::StaticClass());
    const_cast<TClassInfo&>(base).Module = kApp;
    DefineComponentClass("TRDerivedForm", base);
    HostResources().Add(kApp, "TRBASEFORM", BaseForm("Base", "one"));
    FormBuilder d;
    d.Begin("TRDerivedForm", "RDerivedForm", ffInherited).Str("Caption", "Derived").EndProps();
    d.Begin("TButton", "Button1", ffInherited).Str("Caption", "Go").EndProps().EndChildren();
    d.Begin("TEdit", "Edit1").WStr("TextHint", u"\u0416").Str("PasswordChar", "*").EndProps().EndChildren();
    d.EndChildren();
    HostResources().Add(kApp, "TRDERIVEDFORM", d.Bytes());

    std::unique_ptr<TComponent> c(CreateComponent("TRDerivedForm", nullptr));
    auto* form = dynamic_cast<TForm*>(c.get());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Name(), "RDerivedForm");
    EXPECT_EQ(form->Caption, "Derived");
    EXPECT_EQ(form->Width, 300);
    auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel1"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->BevelOuter, bvLowered);
    EXPECT_EQ(panel->Font()->Style(), 1u);
    EXPECT_EQ(panel->Font()->Charset(), RUSSIAN_CHARSET);
    auto* button = dynamic_cast<TButton*>(form->FindComponent("Button1"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->Caption, "Go");  // the derived form's resource came second
    EXPECT_TRUE(button->Default);
    EXPECT_EQ(button->Parent, panel);
    EXPECT_EQ(button->TabOrder, 1);
    EXPECT_FALSE(button->Enabled);
    EXPECT_EQ(panel->TabOrder, -1);  // not stored
    auto* list = dynamic_cast<TListBox*>(form->FindComponent("ListBox1"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Items()->Text(), "one\r\ntwo\r\n");
    auto* bar = dynamic_cast<TStatusBar*>(form->FindComponent("StatusBar1"));
    ASSERT_EQ(bar->Panels()->Count(), 2);
    EXPECT_EQ(bar->Panels()->Items(1)->Text, "p1");
    auto* edit = dynamic_cast<TEdit*>(form->FindComponent("Edit1"));
    EXPECT_EQ(edit->TextHint, u"\u0416");
    EXPECT_EQ(edit->PasswordChar, '*');
    EXPECT_EQ(form->ComponentCount(), 5);

    // After the switch to another resource module, new forms come from its resources.
    HostResources().Add(kGerman, "TRBASEFORM", BaseForm("Basis", "eins"));
    HostResources().Add(kGerman, "TRDERIVEDFORM", d.Bytes());
    HostResources().Redirect(kApp, kGerman);
    std::unique_ptr<TComponent> g(CreateComponent("TRBaseForm", nullptr));
    EXPECT_EQ(static_cast<TForm*>(g.get())->Caption, "Basis");
    EXPECT_EQ(static_cast<TListBox*>(g->FindComponent("ListBox1"))->Items()->Strings(0), "eins");
}

// Wide (tag 18) and UTF-8 (tag 20) values reach the controls' texts and list lines whole,
// whatever the code page; 8-bit values stay 8-bit.
TEST_F(ResourceFixture, WideAndUtf8TextsOfAFormKeepEveryCharacter) {
    const TClassInfo& cls = DefineComponentClass("TRScriptsForm", TForm::StaticClass());
    const_cast<TClassInfo&>(cls).Module = kApp;
    const std::u16string mixed = u"Fichier \u6587\u4EF6 \u0160koda";
    FormBuilder b;
    b.Begin("TRScriptsForm", "RScriptsForm").WStr("Caption", mixed).EndProps();
    b.Begin("TButton", "Button1")
        .Utf8Str("Caption", u"\u00DCAVX512\u00DF")
        .Str("Hint", "Plain")
        .EndProps()
        .EndChildren();
    b.Begin("TListBox", "ListBox1")
        .TaggedStrings("Items.Strings", {{vaWString, u"\u041C\u043E\u0441\u043A\u0432\u0430"},
                                         {vaUTF8String, u"\u5317\u4EAC"},
                                         {vaString, u"Paris"}})
        .EndProps()
        .EndChildren();
    b.EndChildren();
    HostResources().Add(kApp, "TRSCRIPTSFORM", b.Bytes());

    std::unique_ptr<TComponent> c(CreateComponent("TRScriptsForm", nullptr));
    auto* form = static_cast<TForm*>(c.get());
    EXPECT_EQ(GetWideStrProp(form, "Caption"), mixed);
    auto* button = static_cast<TButton*>(form->FindComponent("Button1"));
    EXPECT_EQ(GetWideStrProp(button, "Caption"), u"\u00DCAVX512\u00DF");
    EXPECT_EQ(button->Caption,
              "\xDC"
              "AVX512\xDF");
    EXPECT_EQ(button->Hint, "Plain");
    EXPECT_EQ(button->Hint.Wide(), nullptr);
    TStrings* items = static_cast<TListBox*>(form->FindComponent("ListBox1"))->Items();
    ASSERT_EQ(items->Count(), 3);
    ASSERT_NE(items->WideStrings(0), nullptr);
    EXPECT_EQ(*items->WideStrings(0), u"\u041C\u043E\u0441\u043A\u0432\u0430");
    ASSERT_NE(items->WideStrings(1), nullptr);
    EXPECT_EQ(*items->WideStrings(1), u"\u5317\u4EAC");
    EXPECT_EQ(items->WideStrings(2), nullptr);
    EXPECT_EQ(items->Strings(2), "Paris");
}

TEST_F(ResourceFixture, InlineFrameReadsItsOwnResourceThenTheFormsChanges) {
    const TClassInfo& frame = DefineComponentClass("TRToolFrame", TFrame::StaticClass());
    const TClassInfo& form = DefineComponentClass("TRFrameHost", TForm::StaticClass());
    FormBuilder f;
    f.Begin("TRToolFrame", "RToolFrame").EndProps();
    f.Begin("TButton", "Button1").Str("Caption", "Frame button").EndProps().EndChildren();
    f.EndChildren();
    HostResources().Add(0, "TRTOOLFRAME", f.Bytes());
    FormBuilder h;
    h.Begin("TRFrameHost", "RFrameHost").EndProps();
    h.Begin("TRToolFrame", "ToolFrame", ffInline).EndProps();
    h.Begin("TButton", "Button1", ffInherited).Str("Caption", "Host button").EndProps().EndChildren();
    h.EndChildren();
    h.EndChildren();
    HostResources().Add(0, "TRFRAMEHOST", h.Bytes());

    std::unique_ptr<TComponent> c(CreateComponent(form, nullptr));
    auto* tool = c->FindComponent("ToolFrame");
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->ClassType(), &frame);
    auto* b = dynamic_cast<TButton*>(tool->FindComponent("Button1"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Caption, "Host button");
    EXPECT_EQ(c->FindComponent("Button1"), nullptr);  // owned by the frame
}

TEST_F(ResourceFixture, DamagedOrMissingResourceNamesTheForm) {
    DefineComponentClass("TRBrokenForm", TForm::StaticClass());
    std::vector<uint8_t> good = BaseForm("x", "y");
    good[0] = 'X';
    good.resize(good.size());
    HostResources().Add(0, "TRBROKENFORM", good);
    int before = Screen().CustomFormCount();
    try {
        CreateComponent("TRBrokenForm", nullptr);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("TRBROKENFORM"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Screen().CustomFormCount(), before);  // the half-read form is gone

    // Cut short in the middle: the reader stops at the end of the data.
    std::vector<uint8_t> cut = BaseForm("x", "y");
    for (size_t n : {size_t(5), cut.size() / 2, cut.size() - 1}) {
        HostResources().Add(0, "TRBROKENFORM", std::vector<uint8_t>(cut.begin(), cut.begin() + static_cast<long>(n)));
        EXPECT_THROW(CreateComponent("TRBrokenForm", nullptr), EReadError) << n;
    }
    EXPECT_EQ(Screen().CustomFormCount(), before);

    DefineComponentClass("TRNoResourceForm", TForm::StaticClass());
    EXPECT_THROW(CreateComponent("TRNoResourceForm", nullptr), EResNotFound);
    FormBuilder unknown;
    unknown.Begin("TRBrokenForm", "F").Str("NoSuchProperty", "x").EndProps().EndChildren();
    HostResources().Add(0, "TRBROKENFORM", unknown.Bytes());
    try {
        CreateComponent("TRBrokenForm", nullptr);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("NoSuchProperty"), std::string::npos) << e.Message();
    }
}

TEST_F(ResourceFixture, FrameThatEmbedsItselfFailsInsteadOfRecursing) {
    DefineComponentClass("TRSelfFrame", TFrame::StaticClass());
    const TClassInfo& host = DefineComponentClass("TRSelfHost", TForm::StaticClass());
    FormBuilder f;
    f.Begin("TRSelfFrame", "RSelfFrame").EndProps();
    f.Begin("TRSelfFrame", "Inner", ffInline).EndProps().EndChildren();
    f.EndChildren();
    HostResources().Add(0, "TRSELFFRAME", f.Bytes());
    FormBuilder h;
    h.Begin("TRSelfHost", "RSelfHost").EndProps();
    h.Begin("TRSelfFrame", "Frame1", ffInline).EndProps().EndChildren();
    h.EndChildren();
    HostResources().Add(0, "TRSELFHOST", h.Bytes());
    int before = Screen().CustomFormCount();
    EXPECT_THROW(CreateComponent(host, nullptr), EReadError);
    EXPECT_EQ(Screen().CustomFormCount(), before);
}

namespace {

// Two unrelated classes publish "Value" over fields at different places, and a descendant of
// the first shadows "Tag"-like names of its ancestor.
class TValueA : public TComponent {
public:
    explicit TValueA(TComponent* owner) : TComponent(owner) { SetCompiledClass(StaticClass()); }
    static TClassInfo& MutableClass() {
        static TClassInfo& info = *[] {
            auto* c = new TClassInfo("TValueA", &TComponent::StaticClass(), FW_CLASS_FACTORY(TValueA));
            c->AddProperty(published::Ord("Value", TTypeKind::tkInteger, &TValueA::Value));
            c->AddProperty(published::Str("Title", &TValueA::Title));
            return c;
        }();
        return info;
    }
    static const TClassInfo& StaticClass() { return MutableClass(); }
    std::string Title;
    int32_t Value = 0;
    int32_t Later = 0;
};

class TValueB : public TComponent {
public:
    explicit TValueB(TComponent* owner) : TComponent(owner) { SetCompiledClass(StaticClass()); }
    static const TClassInfo& StaticClass() {
        static const TClassInfo& info = *[] {
            auto* c = new TClassInfo("TValueB", &TComponent::StaticClass(), FW_CLASS_FACTORY(TValueB));
            c->AddProperty(published::Str("Title", &TValueB::Title));
            c->AddProperty(published::Ord("Value", TTypeKind::tkInteger, &TValueB::Value));
            return c;
        }();
        return info;
    }
    int32_t Pad[7] = {};
    int32_t Value = 0;
    std::string Title;
};

class TValueA2 : public TValueA {
public:
    explicit TValueA2(TComponent* owner) : TValueA(owner) { SetCompiledClass(StaticClass()); }
    static const TClassInfo& StaticClass() {
        static const TClassInfo& info = *[] {
            auto* c = new TClassInfo("TValueA2", &TValueA::StaticClass(), FW_CLASS_FACTORY(TValueA2));
            // Its own "Title" over another field: it wins over the ancestor's.
            c->AddProperty(published::Str("Title", &TValueA2::OwnTitle));
            return c;
        }();
        return info;
    }
    std::string OwnTitle;
};

}  // namespace

TEST(TypeInfo, PropertiesByNameAcrossClassesAndLaterAdditions) {
    TValueA a(nullptr);
    TValueB b(nullptr);
    TValueA2 a2(nullptr);
    // Each class's look-up table is built on first use; the same names land in each class's
    // own fields.
    SetOrdProp(&a, "value", 11);
    SetOrdProp(&b, "VALUE", 22);
    SetOrdProp(&a2, "Value", 33);  // inherited
    EXPECT_EQ(a.Value, 11);
    EXPECT_EQ(b.Value, 22);
    EXPECT_EQ(a2.Value, 33);
    SetStrProp(&a, "Title", "a");
    SetStrProp(&b, "Title", "b");
    SetStrProp(&a2, "title", "a2");
    EXPECT_EQ(a.Title, "a");
    EXPECT_EQ(b.Title, "b");
    EXPECT_EQ(a2.OwnTitle, "a2");
    EXPECT_EQ(a2.Title, "");
    EXPECT_EQ(GetPropInfo(&a2, "Title"), &TValueA2::StaticClass().OwnProperties()[0]);
    EXPECT_EQ(GetPropInfo(&a, "Nothing"), nullptr);
    EXPECT_EQ(GetPropInfo(&a2, "Later"), nullptr);

    // A property the ancestor gains after the tables were built is found on both classes, and
    // what was found before still is.
    TClassInfo& classA = TValueA::MutableClass();
    classA.AddProperty(published::Ord("Later", TTypeKind::tkInteger, &TValueA::Later));
    SetOrdProp(&a2, "Later", 5);
    SetOrdProp(&a, "LATER", 6);
    EXPECT_EQ(a2.Later, 5);
    EXPECT_EQ(a.Later, 6);
    SetOrdProp(&a2, "Value", 44);
    EXPECT_EQ(a2.Value, 44);
    EXPECT_EQ(GetPropInfo(&a, "Value"), &classA.OwnProperties()[0]);

    // A class defined now, under a class whose table exists, sees its ancestors' properties.
    auto* late = new TClassInfo("TValueA3", &TValueA2::StaticClass());  // classes live for the run
    a2.SetClassType(late);
    SetStrProp(&a2, "Title", "late");
    SetOrdProp(&a2, "Later", 7);
    EXPECT_EQ(a2.OwnTitle, "late");
    EXPECT_EQ(a2.Later, 7);
}
