#include <gtest/gtest.h>

#include <memory>

#include "framework/ComponentReader.h"
#include "framework/Components.h"
#include "framework/FormParser.h"
#include "framework/ResourceSource.h"
#include "framework/StdCtrls.h"
#include "localizer/onfly/LocOnFly.h"

using namespace fw;
using namespace langres;
using onfly::TKLocalizerOnFly;

namespace {

constexpr uint16_t kEnglish = 0x0409;
constexpr uint16_t kGerman = 0x0407;
constexpr uint16_t kRussian = 0x0419;
constexpr uint16_t kFrench = 0x040C;

// Records every value written to its "Mark" property, to see the order entries are applied in.
class TMarkProbe : public TComponent {
public:
    explicit TMarkProbe(TComponent* owner) : TComponent(owner) { SetCompiledClass(StaticClass()); }
    static const TClassInfo& StaticClass() {
        static const TClassInfo& info = *[] {
            auto* c = new TClassInfo("TMarkProbe", &TComponent::StaticClass(), FW_CLASS_FACTORY(TMarkProbe));
            TPropInfo p;
            p.Name = "Mark";
            p.Kind = TTypeKind::tkLString;
            p.GetStr = [](TObject* o) {
                return static_cast<TMarkProbe*>(o)->Log.empty() ? std::string()
                                                                : static_cast<TMarkProbe*>(o)->Log.back();
            };
            p.SetStr = [](TObject* o, const std::string& v) { static_cast<TMarkProbe*>(o)->Log.push_back(v); };
            c->AddProperty(std::move(p));
            return c;
        }();
        return info;
    }
    std::vector<std::string> Log;
};

// A model whose language 1 is the one being applied.
struct Model {
    TLangResource res;
    uint32_t nextId = 1;
    explicit Model() {
        res.SetNativeLangId(kEnglish);
        res.CurrentIndex = 1;
    }
    // comp empty: a property of the form entry itself.
    TLResPropertyItem* Set(const std::string& form, const std::string& comp, const std::string& prop,
                           const std::u16string& text, uint16_t lang = kGerman, uint16_t flags = 0) {
        TLResFormItem* f = res.Forms->Ensure(form);
        TLResPropertyItem* p = f->EnsureProperty(nextId++, comp.empty() ? nullptr : &comp, prop, vkString);
        while (p->Values->Count() < 2) p->AddValue(u"", lang);
        TLResValue* v = p->Values->Values(1);
        v->Text = text;
        v->LangId = lang;
        v->Flags = flags;
        return p;
    }
};

template <class T>
T* Make(TComponent* owner, const std::string& name) {
    auto* c = new T(owner);
    c->SetName(name);
    return c;
}

// A live form of a class defined at run time, built without resources.
std::unique_ptr<TForm> NewForm(const std::string& cls, const TClassInfo& parent = TForm::StaticClass()) {
    const TClassInfo& c = DefineComponentClass(cls, parent);
    auto* f = static_cast<TForm*>(c.Create(nullptr));
    f->SetName(cls.substr(1));
    return std::unique_ptr<TForm>(f);
}

}  // namespace

TEST(TranslateComponent, AncestorEntriesNearestFirstOwnClassLast) {
    const TClassInfo& a = DefineComponentClass("TFormA", TForm::StaticClass());
    const TClassInfo& b = DefineComponentClass("TFormB", a);
    auto form = NewForm("TFormC", b);
    auto* probe = Make<TMarkProbe>(form.get(), "Probe1");
    Model m;
    m.Set("FormA", "Probe1", "Mark", u"A");
    m.Set("FormB", "Probe1", "Mark", u"B");
    m.Set("FormC", "Probe1", "Mark", u"C");
    m.Set("Form", "Probe1", "Mark", u"F");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    // TForm itself has an entry too ("Form"); it sits above FormA and below the stop class.
    EXPECT_EQ(probe->Log, (std::vector<std::string>{"B", "A", "F", "C"}));

    // Two levels: FormA, then FormB.
    auto formB = NewForm("TFormB2", a);
    auto* probe2 = Make<TMarkProbe>(formB.get(), "Probe1");
    m.Set("FormB2", "Probe1", "Mark", u"B2");
    loc.TranslateComponent(&m.res, formB.get());
    EXPECT_EQ(probe2->Log, (std::vector<std::string>{"A", "F", "B2"}));
}

TEST(TranslateComponent, FrameFirstThenTheFormsEntriesWin) {
    const TClassInfo& frameCls = DefineComponentClass("TToolFrame", TFrame::StaticClass());
    auto form = NewForm("TFrameHostForm");
    auto* frame = static_cast<TFrame*>(frameCls.Create(form.get()));
    frame->SetName("ToolFrame");
    auto* button = Make<TButton>(frame, "Button1");
    auto* other = Make<TButton>(frame, "Button2");
    auto* frameProbe = Make<TMarkProbe>(frame, "Probe1");
    Model m;
    m.Set("ToolFrame", "Button1", "Caption", u"Frame text");
    m.Set("ToolFrame", "Button2", "Caption", u"Frame only");
    m.Set("ToolFrame", "Probe1", "Mark", u"frame");
    m.Set("FrameHostForm", "ToolFrame.Button1", "Caption", u"Form text");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(button->Caption, "Form text");
    EXPECT_EQ(other->Caption, "Frame only");
    // The frame's own entry runs twice: once in the walk, once as its own class.
    EXPECT_EQ(frameProbe->Log.size(), 2u);
}

TEST(TranslateComponent, StringListTakesTheLinesWithOneChange) {
    struct TCounter : fw::TPersistent {
        int Count = 0;
        void Changed() override { ++Count; }
    };
    auto form = NewForm("TListsForm");
    auto* list = Make<TListBox>(form.get(), "ListBox1");
    auto* other = Make<TListBox>(form.get(), "ListBox2");
    list->Items()->SetText("old1\r\nold2\r\nold3");
    other->Items()->SetText("x");
    TCounter counter, otherCounter;
    list->Items()->SetChangeOwner(&counter);
    other->Items()->SetChangeOwner(&otherCounter);
    Model m;
    m.Set("ListsForm", "ListBox1", "Items.Strings", u"eins\nzwei\r\rdrei\r\n");
    m.Set("ListsForm", "ListBox2", "Items.Strings", u"");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    ASSERT_EQ(list->Items()->Count(), 4);
    EXPECT_EQ(list->Items()->Text(), "eins\r\nzwei\r\n\r\ndrei\r\n");
    EXPECT_EQ(counter.Count, 1);
    EXPECT_EQ(other->Items()->Count(), 0);
    EXPECT_EQ(otherCounter.Count, 1);
}

TEST(TranslateComponent, DottedPathsAndStringLists) {
    auto form = NewForm("TPathForm");
    auto* panel = Make<TPanel>(form.get(), "Panel1");
    panel->Caption = "keep";
    auto* list = Make<TListBox>(form.get(), "ListBox1");
    list->Items()->SetText("old1\r\nold2\r\nold3");
    auto* inner = Make<TPanel>(panel, "Inner");  // owned by the panel: found by the deep search
    Model m;
    m.Set("PathForm", "Panel1.Font", "Name", u"Arial");
    m.Set("PathForm", "ListBox1", "Items.Strings", u"eins\r\nzwei");
    m.Set("PathForm", "Inner", "Caption", u"deep");
    m.Set("PathForm", "Missing", "Caption", u"nowhere");
    m.Set("PathForm", "ListBox1", "NoSuchProperty", u"x");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(panel->Font()->Name(), "Arial");
    EXPECT_EQ(panel->Caption, "keep");
    EXPECT_EQ(list->Items()->Text(), "eins\r\nzwei\r\n");
    EXPECT_EQ(inner->Caption, "deep");

    std::string rest;
    EXPECT_EQ(TKLocalizerOnFly::FindComponentByPath(form.get(), "Panel1.Inner.Font", rest), inner);
    EXPECT_EQ(rest, "Font");
    rest.clear();
    EXPECT_EQ(TKLocalizerOnFly::FindComponentByPath(form.get(), "panel1", rest), panel);
    EXPECT_EQ(rest, "");
    EXPECT_EQ(TKLocalizerOnFly::FindComponentByPath(form.get(), "Nope.Inner", rest), nullptr);
}

// Entries find the form's components by their names as they are when the entry is applied: in
// any ASCII case, and after an earlier entry (or the frame's own pass) renamed them.
TEST(TranslateComponent, EntriesSeeComponentNamesAsTheyAreNow) {
    const TClassInfo& frameCls = DefineComponentClass("TRenamedFrame", TFrame::StaticClass());
    auto form = NewForm("TRenameForm");
    auto* frame = static_cast<TFrame*>(frameCls.Create(form.get()));
    frame->SetName("OldFrame");
    auto* inFrame = Make<TButton>(frame, "FrameButton");
    auto* first = Make<TButton>(form.get(), "Alpha");
    auto* second = Make<TButton>(form.get(), "Beta");
    for (int i = 0; i < 40; ++i) Make<TLabel>(form.get(), "Filler" + std::to_string(i));
    Model m;
    m.Set("RenamedFrame", "", "Name", u"NewFrame");       // the frame renames itself first
    m.Set("RenameForm", "alpha", "Name", u"Zeta");        // then Alpha becomes Zeta ...
    m.Set("RenameForm", "BETA", "Caption", u"beta set");  // (any case finds Beta)
    m.Set("RenameForm", "NewFrame.FrameButton", "Caption", u"through the new name");
    m.Set("RenameForm", "OldFrame.FrameButton", "Caption", u"through the old name");
    m.Set("RenameForm", "Zeta", "Caption", u"zeta set");  // ... and is found by its new name
    m.Set("RenameForm", "Filler39", "Caption", u"last filler");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(frame->Name(), "NewFrame");
    EXPECT_EQ(first->Name(), "Zeta");
    EXPECT_EQ(first->Caption, "zeta set");
    EXPECT_EQ(second->Caption, "beta set");
    EXPECT_EQ(inFrame->Caption, "through the new name");
    EXPECT_EQ(static_cast<TLabel*>(form->FindComponent("Filler39"))->Caption, "last filler");
}

TEST(ApplyIndexedEntry, StatusPanelsByIndexWithOneAndTwoPanels) {
    auto form = NewForm("TStatusForm");
    auto* bar = Make<TStatusBar>(form.get(), "StatusBar1");
    bar->Panels()->Add()->Text = "first";
    Model m;
    m.Set("StatusForm", "StatusBar1.Panels[1]", "Text", u"zweites");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(bar->Panels()->Count(), 1);
    EXPECT_EQ(bar->Panels()->Items(0)->Text, "first");
    bar->Panels()->Add()->Text = "second";
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(bar->Panels()->Items(0)->Text, "first");
    EXPECT_EQ(bar->Panels()->Items(1)->Text, "zweites");
}

TEST(ApplyIndexedEntry, BadIndexesEndThePass) {
    auto form = NewForm("TBadIndexForm");
    auto* bar = Make<TStatusBar>(form.get(), "StatusBar1");
    bar->Panels()->Add();
    bar->Panels()->Add();
    auto* after = Make<TLabel>(form.get(), "ZLabel");
    Model m;
    m.Set("BadIndexForm", "StatusBar1.Panels[0]", "Text", u"done before");
    m.Set("BadIndexForm", "StatusBar1.Panels[x1]", "Text", u"bad");
    m.Set("BadIndexForm", "ZLabel", "Caption", u"never");
    TKLocalizerOnFly loc;
    EXPECT_THROW(loc.TranslateComponent(&m.res, form.get()), EConvertError);
    // Entries are kept in name order: "StatusBar1.Panels[0]" sorts before "StatusBar1.Panels[x1]".
    EXPECT_EQ(bar->Panels()->Items(0)->Text, "done before");
    EXPECT_EQ(after->Caption, "");

    // A deeper collection level past its end raises the list's index error.
    Model deep;
    deep.Set("BadIndexForm", "ZLabel.Sections[0].Panels[5]", "Text", u"too far");
    int calls = 0;
    loc.OnGetIndexedObject = [&](TObject* sender, const std::string& prop, int index, TObject*& result) {
        ++calls;
        EXPECT_EQ(prop, "Sections");
        EXPECT_EQ(index, 0);
        result = sender == after ? static_cast<TObject*>(after->Font()) : static_cast<TObject*>(bar->Panels());
    };
    EXPECT_THROW(loc.TranslateComponent(&deep.res, form.get()), EListError);
    EXPECT_EQ(calls, 2);
    Model ok;
    ok.Set("BadIndexForm", "ZLabel.Sections[0].Panels[1]", "Text", u"through the event");
    loc.TranslateComponent(&ok.res, form.get());
    EXPECT_EQ(bar->Panels()->Items(1)->Text, "through the event");
    // Without a handler such paths change nothing.
    loc.OnGetIndexedObject = nullptr;
    ok.Set("BadIndexForm", "ZLabel.Sections[0].Panels[1]", "Text", u"unchanged");
    loc.TranslateComponent(&ok.res, form.get());
    EXPECT_EQ(bar->Panels()->Items(1)->Text, "through the event");
    // A remaining path without an index ends the walk.
    Model tail;
    tail.Set("BadIndexForm", "StatusBar1.Panels[1].Text", "Text", u"not applied");
    loc.TranslateComponent(&tail.res, form.get());
    EXPECT_EQ(bar->Panels()->Items(1)->Text, "through the event");
}

TEST(SetSpecialProperty, NotebookPagesAppendAndReplace) {
    auto form = NewForm("TNotebookForm");
    auto* book = Make<TTabbedNotebook>(form.get(), "Notebook1");
    book->Pages()->SetText("One\r\nTwo\r\nThree");
    Model m;
    m.Set("NotebookForm", "Notebook1", "TTabPage5.Caption", u"Vier");
    m.Set("NotebookForm", "Notebook1", "TTabPage2.Caption", u"Zwei");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(book->Pages()->Text(), "One\r\nZwei\r\nThree\r\nVier\r\n");

    auto value = [&](const std::u16string& t) {
        static Model holder;
        return holder.Set("X", "Y", "Z", t)->Values->Values(1);
    };
    EXPECT_TRUE(loc.SetSpecialProperty(book, "Caption", value(u"Eins")));
    EXPECT_EQ(book->Pages()->Strings(0), "Eins");  // no dot: the first page
    EXPECT_THROW(loc.SetSpecialProperty(book, "TTabPageX.Caption", value(u"x")), EConvertError);
    EXPECT_THROW(loc.SetSpecialProperty(book, "Tab.Caption", value(u"x")), EConvertError);
    EXPECT_THROW(loc.SetSpecialProperty(book, "TTabPage0.Caption", value(u"x")), EListError);
    EXPECT_EQ(book->Pages()->Count(), 4);
    // The special handler's work does not count as a set property.
    EXPECT_FALSE(loc.SetTranslatedProperty(book, "TTabPage1.Caption", value(u"Erste")));
    EXPECT_EQ(book->Pages()->Strings(0), "Erste");
}

TEST(ApplyEntryProperties, CharsetOnlyWhenNothingWasSetAndOnlyOnRealisedFonts) {
    auto form = NewForm("TCharsetForm");
    auto* realised = Make<TLabel>(form.get(), "Label1");
    auto* unrealised = Make<TLabel>(form.get(), "Label2");
    auto* captioned = Make<TLabel>(form.get(), "Label3");
    realised->Font()->Handle();
    captioned->Font()->Handle();
    Model m;
    m.Set("CharsetForm", "Label1", "Caption", u"x", kRussian, vfDoNotTranslate);
    m.Set("CharsetForm", "Label1", "Hint", u"y", kRussian, vfDoNotTranslate);
    m.Set("CharsetForm", "Label2", "Caption", u"x", kRussian, vfDoNotTranslate);
    m.Set("CharsetForm", "Label3", "Caption", u"\u041F\u0440\u0438\u0432\u0435\u0442", kRussian);
    m.Set("CharsetForm", "Label3", "Hint", u"skip", kRussian, vfDoNotTranslate);
    TKLocalizerOnFly loc;
    loc.CurrentLangId = kRussian;
    loc.AdjustCharset = false;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(realised->Font()->Charset(), DEFAULT_CHARSET);
    EXPECT_EQ(realised->Caption, "");  // never applied

    loc.AdjustCharset = true;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(realised->Font()->Charset(), RUSSIAN_CHARSET);
    EXPECT_EQ(unrealised->Font()->Charset(), DEFAULT_CHARSET);
    EXPECT_EQ(captioned->Font()->Charset(), DEFAULT_CHARSET);
    EXPECT_EQ(captioned->Caption, "\xCF\xF0\xE8\xE2\xE5\xF2");  // code page 1251
    EXPECT_EQ(captioned->Hint, "");
    // The form's own entry set nothing either: its (realised) font gets the charset too.
    form->Font()->Handle();
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(form->Font()->Charset(), RUSSIAN_CHARSET);
}

TEST(TranslateComponent, ScalesWhenPixelsPerInchDiffer) {
    auto form = NewForm("TScaledForm");
    form->Width = 200;
    form->PixelsPerInch = 96;
    Model m;
    m.Set("ScaledForm", "", "Caption", u"Skaliert");
    TKLocalizerOnFly loc;
    Screen().PixelsPerInch = 120;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(form->Width, 250);
    EXPECT_EQ(form->Caption, "Skaliert");
    // A later pass does not scale the same form again.
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(form->Width, 250);
    // Same pixels per inch: no scaling.
    auto plain = NewForm("TPlainForm");
    plain->Width = 200;
    plain->PixelsPerInch = 120;
    m.Set("PlainForm", "", "Caption", u"x");
    loc.TranslateComponent(&m.res, plain.get());
    EXPECT_EQ(plain->Width, 200);
    Screen().PixelsPerInch = 96;
}

TEST(SetTranslatedProperty, CodePagesAndKinds) {
    auto form = NewForm("TKindsForm");
    auto* edit = Make<TEdit>(form.get(), "Edit1");
    auto* bevel = Make<TBevel>(form.get(), "Bevel1");
    Model m;
    m.Set("KindsForm", "Edit1", "Text", u"Schlie\u00DFen");
    m.Set("KindsForm", "Edit1", "TextHint", u"\u0416\u00DF\U0001F600");
    m.Set("KindsForm", "Edit1", "MaxLength", u" 42 ");
    m.Set("KindsForm", "Edit1", "PasswordChar", u"*");  // character kind: left alone
    m.Set("KindsForm", "Bevel1", "Shape", u"2");
    m.Set("KindsForm", "Bevel1", "Width", u"abc");  // not a number: 0
    m.Set("KindsForm", "", "Caption", u"\u041E\u043A", kRussian);
    bevel->Width = 10;
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(edit->Text,
              "Schlie\xDF"
              "en");  // code page 1252
    EXPECT_EQ(edit->TextHint, u"\u0416\u00DF\U0001F600");
    EXPECT_EQ(edit->MaxLength, 42);
    EXPECT_EQ(edit->PasswordChar, 0);
    EXPECT_EQ(bevel->Shape, bsTopLine);
    EXPECT_EQ(bevel->Width, 0);
    EXPECT_EQ(form->Caption, "\xCE\xEA");  // code page 1251

    // An ordinal that is no value of the enumeration is not stored.
    m.Set("KindsForm", "Bevel1", "Shape", u"99");
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(bevel->Shape, bsTopLine);
}

// A text the language's code page holds is set 8-bit, as always; one it cannot hold (another
// script in the translation, an untranslated text of the native language) is set whole where
// the control keeps UTF-16: captions, texts, hints, menu items, list lines, collection items and
// notebook pages.
TEST(SetTranslatedProperty, TextsTheCodePageCannotHoldAreSetWhole) {
    const std::u16string mixed = u"Fichier \u6587\u4EF6 \u0160koda";
    const std::u16string moscow = u"\u041C\u043E\u0441\u043A\u0432\u0430";
    auto form = NewForm("TScriptsForm");
    auto* button = Make<TButton>(form.get(), "Button1");
    auto* edit = Make<TEdit>(form.get(), "Edit1");
    auto* list = Make<TListBox>(form.get(), "ListBox1");
    auto* bar = Make<TStatusBar>(form.get(), "StatusBar1");
    bar->Panels()->Add();
    auto* book = Make<TTabbedNotebook>(form.get(), "Notebook1");
    book->Pages()->SetText("One\r\nTwo");
    auto* item = Make<TMenuItem>(form.get(), "Item1");
    Model m;
    m.Set("ScriptsForm", "", "Caption", mixed, kFrench);
    m.Set("ScriptsForm", "Button1", "Caption", u"Fermer \u0160", kFrench);
    m.Set("ScriptsForm", "Button1", "Hint", u"\u5317\u4EAC", kFrench);
    m.Set("ScriptsForm", "Edit1", "Text", moscow, kFrench);
    m.Set("ScriptsForm", "ListBox1", "Items.Strings", moscow + u"\r\nParis\r\n\u5317\u4EAC", kFrench);
    m.Set("ScriptsForm", "StatusBar1.Panels[0]", "Text", u"\u0413\u043E\u0442\u043E\u0432\u043E", kFrench);
    m.Set("ScriptsForm", "Notebook1", "TTabPage2.Caption", u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1", kFrench);
    m.Set("ScriptsForm", "Notebook1", "TTabPage3.Caption", u"\u65E5\u672C", kFrench);
    m.Set("ScriptsForm", "Item1", "Caption", u"&\u0424\u0430\u0439\u043B", kFrench);
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form.get());

    EXPECT_EQ(GetWideStrProp(form.get(), "Caption"), mixed);
    // Fits code page 1252: the 8-bit text, no UTF-16 kept.
    EXPECT_EQ(button->Caption, "Fermer \x8A");
    EXPECT_EQ(button->Caption.Wide(), nullptr);
    EXPECT_EQ(GetWideStrProp(button, "Hint"), u"\u5317\u4EAC");
    EXPECT_EQ(GetWideStrProp(edit, "Text"), moscow);
    ASSERT_EQ(list->Items()->Count(), 3);
    ASSERT_NE(list->Items()->WideStrings(0), nullptr);
    EXPECT_EQ(*list->Items()->WideStrings(0), moscow);
    EXPECT_EQ(*list->Items()->WideStrings(2), u"\u5317\u4EAC");
    EXPECT_EQ(GetWideStrProp(bar->Panels()->Items(0), "Text"), u"\u0413\u043E\u0442\u043E\u0432\u043E");
    ASSERT_EQ(book->Pages()->Count(), 3);
    ASSERT_NE(book->Pages()->WideStrings(1), nullptr);
    EXPECT_EQ(*book->Pages()->WideStrings(1), u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1");
    ASSERT_NE(book->Pages()->WideStrings(2), nullptr);
    EXPECT_EQ(*book->Pages()->WideStrings(2), u"\u65E5\u672C");
    EXPECT_EQ(GetWideStrProp(item, "Caption"), u"&\u0424\u0430\u0439\u043B");

    // A list whose lines all fit stays 8-bit, line for line.
    m.Set("ScriptsForm", "ListBox1", "Items.Strings", u"Paris\r\nS\u00E8te", kFrench);
    loc.TranslateComponent(&m.res, form.get());
    EXPECT_EQ(list->Items()->Text(), "Paris\r\nS\xE8te\r\n");
    EXPECT_EQ(list->Items()->WideStrings(1), nullptr);
}

TEST(TranslateForms, EveryOpenFormAndDataModule) {
    auto f1 = NewForm("TOpenForm1");
    auto f2 = NewForm("TOpenForm2");
    const TClassInfo& dmCls = DefineComponentClass("TOpenData", TDataModule::StaticClass());
    std::unique_ptr<TComponent> dm(dmCls.Create(nullptr));
    auto* probe = Make<TMarkProbe>(dm.get(), "Probe1");
    Model m;
    m.Set("OpenForm1", "", "Caption", u"Erstes");
    m.Set("OpenForm2", "", "Caption", u"Zweites");
    m.Set("OpenData", "Probe1", "Mark", u"Daten");
    TKLocalizerOnFly loc;
    loc.TranslateForms(&m.res);
    EXPECT_EQ(f1->Caption, "Erstes");
    EXPECT_EQ(f2->Caption, "Zweites");
    EXPECT_TRUE(probe->Log.empty());
    loc.TranslateDataModules(&m.res);
    EXPECT_EQ(probe->Log, std::vector<std::string>{"Daten"});
    // No model: the localizer's own.
    loc.TranslateComponent(nullptr, f1.get());
    EXPECT_EQ(f1->Caption, "Erstes");
    EXPECT_TRUE(TKLocalizerOnFly::ClassChainHasName(f1.get(), {"tcustomform"}));
    EXPECT_FALSE(TKLocalizerOnFly::ClassChainHasName(f1.get(), {"TStrings"}));
}

TEST(TranslateForms, FormsFromTheSwitchedResourceModuleNeedNoPass) {
    // A form resource in the program and its translated counterpart in the resource module.
    auto build = [](const std::string& caption) {
        std::vector<uint8_t> v = {'T', 'P', 'F', '0'};
        auto str = [&v](const std::string& s) {
            v.push_back(static_cast<uint8_t>(s.size()));
            v.insert(v.end(), s.begin(), s.end());
        };
        str("TSwitchedForm");
        str("SwitchedForm");
        str("Caption");
        v.push_back(6);  // short string
        str(caption);
        v.push_back(0);
        v.push_back(0);
        return v;
    };
    const TClassInfo& cls = DefineComponentClass("TSwitchedForm", TForm::StaticClass());
    const_cast<TClassInfo&>(cls).Module = 0x10000;
    HostResources().Add(0x10000, "TSWITCHEDFORM", build("Close"));
    HostResources().Add(0x20000, "TSWITCHEDFORM",
                        build("Schlie\xDF"
                              "en"));
    std::unique_ptr<TComponent> before(CreateComponent(cls, nullptr));
    HostResources().Redirect(0x10000, 0x20000);
    std::unique_ptr<TComponent> after(CreateComponent(cls, nullptr));
    HostResources().Redirect(0x10000, 0x10000);
    EXPECT_EQ(static_cast<TForm*>(before.get())->Caption, "Close");
    EXPECT_EQ(static_cast<TForm*>(after.get())->Caption,
              "Schlie\xDF"
              "en");
}

// A form of the Unicode era created from its binary resource, its class and components named
// in Chinese and Cyrillic letters (UTF-8, as the resource stores them): the framework finds
// its resource and its components by those names, and the dictionary's paths reach them.
TEST(TranslateForms, NamesInAnyScript) {
    const std::string text =
        "object 日志窗体: T日志窗体\r\n"
        "  Caption = 'Log'\r\n"
        "  object 日志记录: TLabel\r\n"
        "    Caption = 'Entries'\r\n"
        "  end\r\n"
        "  object Поле_ввода: TEdit\r\n"
        "    Hint = 'Name'\r\n"
        "  end\r\n"
        "  object Панель: TPanel\r\n"
        "    object 状态栏: TStatusBar\r\n"
        "      Panels = <\r\n"
        "        item\r\n"
        "          Text = 'Ready'\r\n"
        "        end>\r\n"
        "    end\r\n"
        "  end\r\n"
        "end\r\n";
    TMemoryStream binary;
    TWriter w(binary);
    ObjectTextToBinary(std::string_view(text), w);
    const TClassInfo& cls = DefineComponentClass("T日志窗体", TForm::StaticClass());
    const_cast<TClassInfo&>(cls).Module = 0x30000;
    HostResources().Add(0x30000, "T日志窗体", binary.Bytes());
    std::unique_ptr<TComponent> created(CreateComponent(FindClass("T日志窗体"), nullptr));
    auto* form = static_cast<TForm*>(created.get());
    EXPECT_EQ(form->Name(), "日志窗体");
    auto* label = dynamic_cast<TLabel*>(form->FindComponent("日志记录"));
    auto* edit = dynamic_cast<TEdit*>(form->FindComponent("Поле_ввода"));
    auto* bar = dynamic_cast<TStatusBar*>(form->FindComponent("状态栏"));
    ASSERT_TRUE(label && edit && bar);
    ASSERT_EQ(bar->Panels()->Count(), 1);

    Model m;
    m.Set("日志窗体", "", "Caption", u"Protokoll");
    m.Set("日志窗体", "日志记录", "Caption", u"Eintr\u00E4ge");
    m.Set("日志窗体", "Поле_ввода", "Hint", u"Name eingeben");
    m.Set("日志窗体", "状态栏.Panels[0]", "Text", u"Bereit");
    TKLocalizerOnFly loc;
    loc.TranslateComponent(&m.res, form);
    EXPECT_EQ(form->Caption, "Protokoll");
    EXPECT_EQ(label->Caption, "Eintr\xE4ge");
    EXPECT_EQ(edit->Hint, "Name eingeben");
    EXPECT_EQ(bar->Panels()->Items(0)->Text, "Bereit");

    std::string rest;
    EXPECT_EQ(TKLocalizerOnFly::FindComponentByPath(form, "状态栏.Panels", rest), bar);
    EXPECT_EQ(rest, "Panels");
    // A class named from its first letter on: the entry drops that letter, whatever its script.
    const TClassInfo& own = DefineComponentClass("ЖурналФорма", TForm::StaticClass());
    std::unique_ptr<TForm> other(static_cast<TForm*>(own.Create(nullptr)));
    Model m2;
    m2.Set("урналФорма", "", "Caption", u"Aus dem Protokoll");
    loc.TranslateComponent(&m2.res, other.get());
    EXPECT_EQ(other->Caption, "Aus dem Protokoll");
}
