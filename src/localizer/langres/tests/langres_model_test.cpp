#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "framework/FormStream.h"
#include "localizer/langres/LangFormat.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/Translatable.h"

using namespace langres;

namespace {

// 1252 and 1251 map the byte 0xE9 to different letters: e-acute and short i.
constexpr uint16_t LangEnglish = 0x0409;
constexpr uint16_t LangRussian = 0x0419;
constexpr uint16_t LangGerman = 0x0407;

std::vector<std::string> Names(const TLResNamedItemList& list) {
    std::vector<std::string> r;
    for (int i = 0; i < list.Count(); ++i) r.push_back(list.Items(i)->Name);
    return r;
}

struct TModel {
    TLangResource res;
    TLResUnitItem* unit;
    TLResConstantItem* title;
    TLResConstantItem* hello;
    TLResFormItem* form;
    TLResPropertyItem* caption;
    TLResPropertyItem* buttonCaption;
    TLResPropertyItem* width;
    TLResExternalItem* ext;
    TModel() {
        res.SetNativeLangId(LangEnglish);
        unit = res.Units->Ensure("Main");
        title = unit->Constants->EnsureConstant(2, "STitle", 65000);
        hello = unit->Constants->EnsureConstant(1, "SHello", 65001);
        title->NativeValue()->SetText(u"Caf\u00e9");
        hello->NativeValue()->SetText(u"Hello");
        form = res.Forms->Ensure("MainForm");
        caption = form->EnsureProperty(3, nullptr, "Caption", vkString);
        buttonCaption = form->EnsureProperty(1, &okName, "Caption", vkString);
        width = form->EnsureProperty(2, &okName, "Width", vkInteger);
        caption->NativeValue()->SetText(u"Main");
        buttonCaption->NativeValue()->SetText(u"OK");
        width->NativeValue()->SetText(u"75");
        ext = res.ExtGroups->Ensure("Messages")->Externals->EnsureExternal(1, "Bye");
        ext->NativeValue()->SetText(u"Bye");
    }
    std::string okName = "OkButton";
};

}  // namespace

TEST(KObjectList, NotifiesChangesAndEmptiness) {
    struct TObj : TKObject {
        int* alive;
        explicit TObj(int* a) : alive(a) { ++*alive; }
        ~TObj() override { --*alive; }
    };
    int alive = 0, changed = 0, empty = 0;
    {
        TKObjectList list;
        list.OnItemsChanged = [&](TKObjectList* s) {
            EXPECT_EQ(s, &list);
            ++changed;
        };
        list.OnBecameEmpty = [&](TKObjectList*) { ++empty; };
        list.Add(new TObj(&alive));
        list.Add(nullptr);  // an entry may be none
        list.Insert(0, new TObj(&alive));
        EXPECT_EQ(list.Count(), 3);
        EXPECT_EQ(changed, 3);
        EXPECT_EQ(empty, 0);
        TKObject* first = list.Items(0);
        list.ExtractAt(0);  // not freed
        EXPECT_EQ(alive, 2);
        delete first;
        list.Delete(0);
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(list.Count(), 1);
        EXPECT_THROW(list.Items(1), fw::EListError);
        EXPECT_THROW(list.Items(-1), fw::EListError);
        list.Delete(0);
        EXPECT_EQ(empty, 1);
        list.Add(new TObj(&alive));
        list.FreeAll();  // frees, keeps the count, tells nobody
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Items(0), nullptr);
        int before = changed;
        list.Clear();
        EXPECT_EQ(changed, before + 1);
        EXPECT_EQ(empty, 2);
        list.Add(new TObj(&alive));
    }
    EXPECT_EQ(alive, 0);  // destroying the list frees what it holds
}

TEST(NamedList, NameOrderFoldsAsciiOnly) {
    EXPECT_EQ(CompareNames("caption", "CAPTION"), 0);
    EXPECT_LT(CompareNames("Cap", "caption"), 0);  // prefix first
    // Letters fold to upper case, so '_' (0x5F) sorts after every letter.
    EXPECT_GT(CompareNames("A_", "Aa"), 0);
    EXPECT_GT(CompareNames("a_", "AB"), 0);
    EXPECT_LT(CompareNames("A0", "a_"), 0);
    EXPECT_NE(CompareNames("\xE9", "\xC9"), 0);  // non-ASCII letters are not folded

    TLResNamedItemList list;
    TLResNamedItem* b = list.Ensure("B");
    list.Ensure("A");
    TLResNamedItem* c = list.Ensure("C");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(list.LastIndex, 2);
    EXPECT_EQ(list.Ensure("c"), c);
    EXPECT_EQ(list.Ensure("b"), b);
    EXPECT_EQ(list.LastIndex, 1);
    EXPECT_EQ(list.IndexOf("a"), 0);
    EXPECT_EQ(list.IndexOf("D"), -1);
    int at = -1;
    EXPECT_FALSE(list.Find("BB", at));
    EXPECT_EQ(at, 2);

    TLResNamedItemList ci;
    TLResNamedItem* capt = ci.Ensure("caption");
    EXPECT_EQ(ci.Ensure("Caption"), capt);
    TLResNamedItem* e1 = ci.Ensure("caf\xE9");
    TLResNamedItem* e2 = ci.Ensure("CAF\xC9");
    EXPECT_NE(e1, e2);
    EXPECT_EQ(ci.Count(), 3);

    list.Clear();
    EXPECT_EQ(list.LastIndex, -1);
    list.Ensure("X");
    EXPECT_EQ(list.LastIndex, 0);
}

// The ends of the folded range: 'a' and 'z' fold on both sides, and what lies between 'Z' and 'a'
// ('[', '_'), digits and bytes above 127 keep their values.
TEST(NamedList, FoldingCoversAToZOnBothSides) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"z", "Z", 0},    {"zeta", "ZETA", 0}, {"a", "A", 0},  {"z", "_", -1},    {"Z", "_", -1},       {"z", "[", -1},
        {"y", "Z", -1},   {"z", "0", 1},       {"9", "z", -1}, {"z", "\x80", -1}, {"\xFF", "z", 1},     {"z_", "Z0", 1},
        {"za", "ZB", -1}, {"a", "@", 1},       {"`", "a", 1},  {"{", "z", 1},     {"\xDA", "\xFA", -1},
    };
    auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(CompareNames(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(CompareNames(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
    }

    // Lookups through the sorted list, in either case, whatever order the names came in.
    TLResNamedItemList list;
    for (const char* n : {"_under", "zeta", "\xC4rger", "9lives", "Zulu", "alpha", "[x", "Z"}) list.Ensure(n);
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"9lives", "alpha", "Z", "zeta", "Zulu", "[x", "_under", "\xC4rger"}));
    for (const char* n : {"ZETA", "zulu", "z", "ALPHA", "_under", "[x", "9LIVES", "\xC4rger"})
        EXPECT_GE(list.IndexOf(n), 0) << n;
    EXPECT_EQ(list.IndexOf("\xE4rger"), -1);
    EXPECT_EQ(list.Ensure("zULU"), list.Items(4));
    EXPECT_EQ(list.Count(), 8);
}

// Names longer than eight bytes: equal stretches are passed over quickly, but a case difference
// or a difference that folding decides must still count, wherever it lies.
TEST(NamedList, LongNamesCompareLikeShortOnes) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"SConst00001", "SConst00002", -1},
        {"CaptionLong_A", "captionlong_a", 0},
        {"ABCDEFGHijk", "abcdefghIJK", 0},
        {"abcdefghijklmnop", "ABCDEFGHIJKLMNOP", 0},
        {"abcdefghijklmnoQ", "ABCDEFGHIJKLMNOp", 1},
        {"ABCDEFGH_", "abcdefgha", 1},  // folded 'A' sorts before '_'
        {"abcdefgh[", "ABCDEFGHz", 1},  // '[' comes after 'Z'
        {"abcdefg_x", "ABCDEFGaX", 1},  // decided inside the first eight bytes
        {"abcdefgh", "ABCDEFGHI", -1},  // a prefix of exactly eight bytes
        {"abcdefghijklmnop", "ABCDEFGHIJKLMNOPq", -1},
        {"12345678\xE9x", "12345678\xC9x", 1},  // not folded beyond ASCII
        {"Component17.Caption", "Component17.Caption2", -1},
    };
    auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(CompareNames(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(CompareNames(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
    }
    // Bytes above 127 and NUL inside a name are compared as they are.
    EXPECT_GT(CompareNames(std::string("abcdefghij\xFF", 11), std::string("ABCDEFGHIJ\x01", 11)), 0);
    EXPECT_LT(CompareNames(std::string("abcdefghij\0", 11), std::string("ABCDEFGHIJ\x01", 11)), 0);
}

// Ensure in every kind of order (ascending as files list them, descending, interleaved,
// case variants of names already there) keeps the list sorted, finds what is there and
// leaves LastIndex on the item, as a plain search would.
TEST(NamedList, EnsureInAnyOrderMatchesASortedSearch) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "Caption%02d", i);
        names.push_back(buf);
        if (i % 10 == 9) {
            std::snprintf(buf, sizeof buf, "Width%02d", i);
            names.push_back(buf);
        }
    }
    names.insert(names.end(), {"A", "Zzz", "Caption", "Caption100", "caption_", "Caption[", "W"});
    auto ref = names;
    std::sort(ref.begin(), ref.end(),
              [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
    auto upper = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return s;
    };

    std::vector<std::vector<std::string>> orders;
    orders.push_back(names);
    orders.push_back(ref);
    orders.emplace_back(ref.rbegin(), ref.rend());
    std::vector<std::string> zig;  // from both ends towards the middle
    for (size_t i = 0, j = ref.size(); i < j;) {
        zig.push_back(ref[i++]);
        if (i < j) zig.push_back(ref[--j]);
    }
    orders.push_back(zig);
    std::vector<std::string> strided;  // every third name, three rounds
    for (size_t start = 0; start < 3; ++start)
        for (size_t i = start; i < ref.size(); i += 3) strided.push_back(ref[i]);
    orders.push_back(strided);

    for (size_t o = 0; o < orders.size(); ++o) {
        SCOPED_TRACE(o);
        TLResNamedItemList list;
        std::map<std::string, TLResNamedItem*> items;
        for (const std::string& n : orders[o]) {
            TLResNamedItem* it = list.Ensure(n);
            ASSERT_EQ(list.Items(list.LastIndex), it) << n;
            items[n] = it;
        }
        EXPECT_EQ(Names(list), ref);
        // Again, in other orders and other case: nothing new, the same items, LastIndex on them.
        for (const auto& again : {ref, zig, strided}) {
            for (const std::string& n : again) {
                const std::string u = upper(n);
                TLResNamedItem* it = list.Ensure(u);
                EXPECT_EQ(it, items[n]) << u;
                EXPECT_EQ(list.Items(list.LastIndex), it) << u;
                EXPECT_EQ(list.IndexOf(n), list.LastIndex) << n;
            }
        }
        EXPECT_EQ(list.Count(), static_cast<int>(ref.size()));
    }
}

// Value 0 is part of its list; the further values are owned as ever.
TEST(Values, ListFreesItsValuesButKeepsValueZero) {
    TLangResource res;
    res.AddLanguage(0, LangGerman);
    res.AddLanguage(0, LangRussian);
    TLResUnitItem* unit = res.Units->Ensure("U");
    TLResConstantItem* c = unit->Constants->EnsureConstant(1, "C", 1);
    ASSERT_EQ(c->Values->Count(), 3);
    TLResValue* native = c->NativeValue();
    EXPECT_EQ(native->Owner, c->Values);
    EXPECT_EQ(native->Kind(), vkString);
    native->SetText(u"one");
    EXPECT_EQ(c->Values->Values(1)->Text, u"");
    res.RemoveLanguage(1);
    ASSERT_EQ(c->Values->Count(), 2);
    EXPECT_EQ(c->NativeValue(), native);
    EXPECT_EQ(c->Values->Values(1)->LangId, LangRussian);

    TLResValueList list(vkInteger);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Values(0)->Kind(), vkInteger);
    EXPECT_EQ(list.Values(0)->Owner, &list);
    list.Add(new TLResValue(&list));
    list.Add(new TLResValue(&list));
    list.Delete(1);
    EXPECT_EQ(list.Count(), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.Add(new TLResValue(&list));
    // The remaining value is freed with the list (the leak checkers see it).
}

TEST(Model, CreationDefaultsAndLanguages) {
    TLangResource res;
    EXPECT_EQ(res.LanguageCount(), 1);
    EXPECT_EQ(res.NativeLangId, UserDefaultLangId());
    EXPECT_EQ(res.LangIds(0), UserDefaultLangId());
    EXPECT_EQ(res.LangIds(-1), 0);
    EXPECT_EQ(res.LangIds(1), 0);
    EXPECT_EQ(res.CurrentIndex, 0);
    res.SetNativeLangId(LangEnglish);
    EXPECT_EQ(res.LangIds(0), LangEnglish);
    EXPECT_EQ(res.IndexOfLangId(LangEnglish), 0);
    EXPECT_EQ(res.IndexOfLangId(LangGerman), -1);
}

TEST(Model, ItemsTakeTheirResourceAndNativeLanguage) {
    TModel m;
    EXPECT_EQ(m.title->Resource, &m.res);
    EXPECT_EQ(m.caption->Resource, &m.res);
    EXPECT_EQ(m.buttonCaption->Resource, &m.res);
    EXPECT_EQ(m.ext->Resource, &m.res);
    EXPECT_EQ(m.caption->OwnerForm(), m.form);
    EXPECT_EQ(m.buttonCaption->OwnerForm(), m.form);
    EXPECT_EQ(m.buttonCaption->NativeValue()->LangId, LangEnglish);
    EXPECT_EQ(m.width->Kind(), vkInteger);
    EXPECT_EQ(m.title->ResId, 65000u);
    EXPECT_EQ(m.buttonCaption->GetPath('.'), "MainForm.OkButton.Caption");
    EXPECT_EQ(m.caption->GetPath('/'), "MainForm/Caption");
    EXPECT_EQ(m.title->GetPath('.'), "Main.STitle");
    EXPECT_EQ(m.ext->GetPath('.'), "Messages.Bye");
    std::string ok = "okbutton";
    EXPECT_EQ(m.form->FindProperty(&ok, "CAPTION"), m.buttonCaption);
    EXPECT_EQ(m.form->FindProperty(nullptr, "caption"), m.caption);
    std::string none = "Nothing";
    EXPECT_EQ(m.form->FindComponent(&none), nullptr);
    EXPECT_EQ(m.form->FindProperty(&none, "Caption"), nullptr);
    EXPECT_EQ(m.form->FindComponent(nullptr), m.form);
    // An existing item is never changed by ensuring it again.
    EXPECT_EQ(m.form->EnsureProperty(99, &ok, "caption", vkFloat), m.buttonCaption);
    EXPECT_EQ(m.buttonCaption->Id, 1u);
    EXPECT_EQ(m.buttonCaption->Kind(), vkString);
}

TEST(Model, AddLanguageCopiesThroughBothCodePages) {
    TModel m;
    m.res.CurrentIndex = 0;
    int idx = m.res.AddLanguage(0, LangRussian);
    EXPECT_EQ(idx, 1);
    EXPECT_EQ(m.res.LanguageCount(), 2);
    for (TLResItem* item :
         std::initializer_list<TLResItem*>{m.title, m.hello, m.caption, m.buttonCaption, m.width, m.ext}) {
        ASSERT_EQ(item->Values->Count(), 2) << item->Name;
        EXPECT_EQ(item->Values->Values(1)->Revision, -1);
        EXPECT_EQ(item->Values->Values(1)->LangId, LangRussian);
    }
    // 0xE9 written in 1252, read back in 1251.
    EXPECT_EQ(m.title->Values->Values(1)->Text, u"Caf\u0439");
    EXPECT_EQ(m.hello->Values->Values(1)->Text, u"Hello");

    // Items made while two languages exist get an empty further value of revision 0.
    TLResConstantItem* late = m.unit->Constants->EnsureConstant(7, "SLate", 1);
    ASSERT_EQ(late->Values->Count(), 2);
    EXPECT_EQ(late->Values->Values(1)->Text, u"");
    EXPECT_EQ(late->Values->Values(1)->Revision, 0);
    EXPECT_EQ(late->Values->Values(1)->LangId, LangRussian);

    EXPECT_THROW(m.res.AddLanguage(5, LangGerman), ELangResError);
    EXPECT_THROW(m.res.AddLanguage(-1, LangGerman), ELangResError);
    EXPECT_EQ(m.res.LanguageCount(), 2);
    try {
        m.res.AddLanguage(2, LangGerman);
        FAIL();
    } catch (const ELangResError& e) {
        EXPECT_EQ(e.Message(), "Could not add language");
    }
    // The same id may be added twice; the source can be any language.
    EXPECT_EQ(m.res.AddLanguage(1, LangRussian), 2);
    EXPECT_EQ(m.title->Values->Values(2)->Text, u"Caf\u0439");
}

TEST(Model, NativeTextFollowsIntoUntranslatedValuesOnly) {
    TModel m;
    m.res.AddLanguage(0, LangRussian);
    m.res.AddLanguage(0, LangGerman);
    TLResValue* ru = m.title->Values->Values(1);
    TLResValue* de = m.title->Values->Values(2);
    de->SetText(u"Kaffee");
    de->SetRevision(0);
    m.title->NativeValue()->SetText(u"\u00e9t\u00e9");
    EXPECT_EQ(ru->Text, u"\u0439t\u0439");
    EXPECT_EQ(de->Text, u"Kaffee");
    // A non-native value does not propagate.
    ru->SetText(u"x");
    EXPECT_EQ(de->Text, u"Kaffee");
    EXPECT_EQ(m.title->NativeValue()->Text, u"\u00e9t\u00e9");
    // The language of a value decides its code page.
    m.res.SetLanguageLangId(1, LangEnglish);
    EXPECT_EQ(m.res.LangIds(1), LangEnglish);
    EXPECT_EQ(ru->LangId, LangEnglish);
    EXPECT_EQ(m.ext->Values->Values(1)->LangId, LangEnglish);
    ru->SetRevision(-1);
    m.title->NativeValue()->SetText(u"caf\u00e9");
    EXPECT_EQ(ru->Text, u"caf\u00e9");
    EXPECT_EQ(ru->GetAnsiText(), "caf\xE9");
}

TEST(Model, RemoveLanguageGuardsAndDrops) {
    TModel m;
    auto expectRefused = [&](int index) {
        try {
            m.res.RemoveLanguage(index);
            ADD_FAILURE() << index;
        } catch (const ELangResError& e) {
            EXPECT_EQ(e.Message(), "Could not remove language");
        }
    };
    expectRefused(0);  // only one language
    expectRefused(1);
    m.res.AddLanguage(0, LangRussian);
    m.res.AddLanguage(0, LangGerman);
    expectRefused(0);  // the native language stays, however many there are
    expectRefused(3);
    expectRefused(-1);
    EXPECT_EQ(m.res.LanguageCount(), 3);
    m.title->Values->Values(2)->SetText(u"Titel");
    m.res.RemoveLanguage(1);
    EXPECT_EQ(m.res.LanguageCount(), 2);
    EXPECT_EQ(m.res.LangIds(1), LangGerman);
    EXPECT_EQ(m.title->Values->Count(), 2);
    EXPECT_EQ(m.title->Values->Values(1)->Text, u"Titel");
    EXPECT_EQ(m.ext->Values->Count(), 2);
    EXPECT_EQ(m.width->Values->Count(), 2);
}

TEST(Model, PackDropsUnusedItemsAndEmptyNodes) {
    TModel m;
    TLResFormItem* other = m.res.Forms->Ensure("OtherForm");
    std::string edit = "Edit1";
    TLResPropertyItem* hint = other->EnsureProperty(10, &edit, "Hint", vkString);
    other->EnsureProperty(11, &edit, "Text", vkString);
    m.caption->AssignValue(0, TVariant(u"Main"), -1);  // unchanged text still marks it used
    EXPECT_TRUE(m.caption->Used);
    hint->Used = true;
    m.hello->Used = true;
    m.res.Forms->Pack();
    m.res.Units->Pack();
    m.res.ExtGroups->Pack();
    // MainForm keeps its own used Caption; its button lost both properties and goes.
    EXPECT_EQ(Names(*m.res.Forms), (std::vector<std::string>{"MainForm", "OtherForm"}));
    EXPECT_EQ(m.form->Components->Count(), 0);
    EXPECT_EQ(m.form->Properties->Count(), 1);
    EXPECT_EQ(other->Components->Count(), 1);
    EXPECT_EQ(other->Components->Items(0)->Properties->Count(), 1);
    EXPECT_EQ(m.unit->Constants->Count(), 1);
    EXPECT_EQ(m.res.ExtGroups->Count(), 0);
    // A form whose components have no used properties and no own properties goes entirely.
    hint->Used = false;
    m.res.Forms->Pack();
    EXPECT_EQ(Names(*m.res.Forms), (std::vector<std::string>{"MainForm"}));
}

TEST(FlatLists, CollectOrderAndIdLookup) {
    TModel m;
    TLinearPropertyList unsorted;
    m.res.Forms->CollectProperties(unsorted, false);
    ASSERT_EQ(unsorted.Count(), 3);
    EXPECT_FALSE(unsorted.Sorted);
    EXPECT_EQ(unsorted.Items(0), m.caption);  // the form's own properties come first
    EXPECT_EQ(unsorted.Items(1), m.buttonCaption);
    EXPECT_EQ(unsorted.IndexOfId(2), 2);
    TLinearPropertyList sorted;
    m.res.Forms->CollectProperties(sorted, true);
    EXPECT_TRUE(sorted.Sorted);
    EXPECT_EQ(sorted.Items(0)->Id, 1u);
    EXPECT_EQ(sorted.Items(2)->Id, 3u);
    m.res.Forms->CollectProperties(sorted, false);  // appends, not cleared
    EXPECT_EQ(sorted.Count(), 6);
    EXPECT_THROW(sorted.Items(6), fw::EListError);

    // Ids 1, 5, 9 and longer lists: every id is found, gaps answer -1.
    TLangResource res;
    TLResUnitItem* u = res.Units->Ensure("U");
    for (uint32_t id : {9u, 1u, 5u}) u->Constants->EnsureConstant(id, "C" + std::to_string(id), 0);
    TLinearConstantList three;
    res.Units->CollectConstants(three, true);
    EXPECT_EQ(three.IndexOfId(5), 1);
    EXPECT_EQ(three.IndexOfId(1), 0);
    EXPECT_EQ(three.IndexOfId(9), 2);
    EXPECT_EQ(three.IndexOfId(4), -1);
    EXPECT_EQ(three.IndexOfId(10), -1);
    TLinearConstantList empty;
    empty.Sorted = true;
    EXPECT_EQ(empty.IndexOfId(1), -1);
    for (uint32_t n = 1; n <= 40; ++n) {
        TLangResource r2;
        TLResUnitItem* u2 = r2.Units->Ensure("U");
        for (uint32_t i = 0; i < n; ++i) u2->Constants->EnsureConstant(3 * i + 2, "C" + std::to_string(i), 0);
        TLinearConstantList flat;
        r2.Units->CollectConstants(flat, true);
        for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(flat.IndexOfId(3 * i + 2), static_cast<int>(i)) << n << " " << i;
        for (uint32_t i = 0; i <= n; ++i) EXPECT_EQ(flat.IndexOfId(3 * i + 1), -1) << n << " " << i;
    }
}

TEST(Values, SameAsAssignVariantLinesAndIntegers) {
    TModel m;
    TLResValue* v = m.caption->NativeValue();
    TLResValueList setList(vkSet);
    TLResValue* set = setList.Values(0);
    EXPECT_TRUE(set->SameAs(u""));
    set->SetText(u"[akLeft]");
    EXPECT_FALSE(set->SameAs(u"[akLeft]"));
    EXPECT_FALSE(v->SameAs(u""));
    EXPECT_TRUE(v->SameAs(u"Main"));
    EXPECT_FALSE(v->SameAs(u"main"));

    TLResValue* w = m.width->NativeValue();
    EXPECT_TRUE(w->SameAs(u" 75"));
    EXPECT_TRUE(w->SameAs(u"$4B"));
    EXPECT_THROW(w->SameAs(u"wide"), fw::EConvertError);
    EXPECT_EQ(w->AsInteger(), 75);
    w->SetText(u"  -12 ");
    EXPECT_EQ(w->AsInteger(), -12);
    w->SetText(u"x");
    EXPECT_EQ(w->AsInteger(), 0);

    TLResValueList floats(vkFloat);
    TLResValue* f = floats.Values(0);
    const std::string sep(1, DecimalSeparator());
    f->SetText(AsciiToWide("1" + sep + "5"));
    std::u16string same = AsciiToWide("1" + sep + "50");
    EXPECT_TRUE(f->SameAs(same));
    EXPECT_THROW(f->SameAs(u"abc"), fw::EConvertError);

    // Assigning: the same text changes nothing, not even the revision.
    v->SetRevision(3);
    v->AssignVariant(TVariant(std::string("Main")), 9);
    EXPECT_EQ(v->Revision, 3);
    v->AssignVariant(TVariant(u"Gr\u00fc\u00df"), 9);
    EXPECT_EQ(v->Text, u"Gr\u00fc\u00df");
    EXPECT_EQ(v->Revision, 9);
    v->AssignVariant(TVariant(std::string("caf\xE9")), -1);
    EXPECT_EQ(v->Text, u"caf\u00e9");
    EXPECT_EQ(v->Revision, 9);
    v->AssignVariant(TVariant(42), 10);
    EXPECT_EQ(v->Text, u"42");
    v->AssignVariant(TVariant(), 11);
    EXPECT_EQ(v->Text, u"");
    EXPECT_EQ(v->Revision, 11);

    v->SetText(u"one\r\ntwo\nthree\r\n");
    EXPECT_EQ(v->GetLines(), (std::vector<std::string>{"one", "two", "three"}));
    v->SetText(u"");
    EXPECT_TRUE(v->GetLines().empty());

    EXPECT_FALSE(v->HasFlags(vfWide | vfAdded));
    m.caption->SetFlags(vfWide | vfAdded, true);
    EXPECT_TRUE(m.caption->HasFlags(vfWide | vfAdded));
    m.caption->SetFlags(vfAdded, false);
    EXPECT_TRUE(m.caption->HasFlags(vfWide));
    EXPECT_FALSE(m.caption->HasFlags(vfWide | vfAdded));
}

TEST(Values, PropertiesUseTheCurrentLanguage) {
    TModel m;
    m.res.AddLanguage(0, LangGerman);
    m.buttonCaption->Values->Values(1)->SetText(u"Ja");
    EXPECT_EQ(m.buttonCaption->CurrentValue()->Text, u"OK");
    m.res.CurrentIndex = 1;
    EXPECT_EQ(m.buttonCaption->ValueIndex(), 1);
    EXPECT_EQ(m.buttonCaption->CurrentValue()->Text, u"Ja");
    EXPECT_EQ(m.title->ValueIndex(), 0);  // constants and externals always answer native
    EXPECT_EQ(m.ext->CurrentValue(), m.ext->NativeValue());
}

TEST(Translatable, TextsWithoutLettersAreValuesNotWords) {
    // Digits, blanks, punctuation and symbols of any script: nothing to translate.
    for (const char16_t* t : {u"",
                              u"1",
                              u"0.00",
                              u"-",
                              u"...",
                              u"12:00",
                              u"$",
                              u"%d",
                              u"%s: %d",
                              u"(1) [2] {3}",
                              u"  ",
                              u"\u20AC 10,50",
                              u"\u00A9 2024",
                              u"\u2014",
                              u"\u00BD",
                              u"\u3001\u3002",
                              u"\uFF11\uFF12",
                              u"\u0661\u0662",
                              u"\u2190\u2192",
                              u"\U0001F600",
                              u"#1 \u2116 5",
                              u"20\u00B0"})
        EXPECT_FALSE(IsTranslatableText(t)) << fw::Utf16ToUtf8(t);
    // One letter of any script makes a text: Latin with accents, Cyrillic, Greek, CJK, kana,
    // Hangul, Arabic, Hebrew, fullwidth Latin, a CJK ideograph outside the basic plane.
    for (const char16_t* t :
         {u"a", u"Z", u"1a", u"%d items", u"\u00E9", u"\u00DF", u"\u0416", u"\u03A9", u"\u6587\u4EF6", u"\u30AB",
          u"\uD55C", u"\u0627", u"\u05D0", u"\uFF21", u"\U00020000", u"\u0161koda", u"12 \u0448\u0442."})
        EXPECT_TRUE(IsTranslatableText(t)) << fw::Utf16ToUtf8(t);
    // 8-bit text is read in the code page of its language: 0xC0 is a letter in 1252 and 1251,
    // 0xB0 (degree sign) in neither, 0xB8 a letter (small io) only in 1251.
    EXPECT_TRUE(HasLetter("\xC0", LangEnglish));
    EXPECT_TRUE(HasLetter("\xC0", LangRussian));
    EXPECT_FALSE(HasLetter("12\xB0", LangEnglish));
    EXPECT_FALSE(HasLetter("12\xB0", LangRussian));
    EXPECT_FALSE(HasLetter("\xB8", LangEnglish));
    EXPECT_TRUE(HasLetter("\xB8", LangRussian));
    EXPECT_TRUE(HasLetter("x1", LangEnglish));
    EXPECT_FALSE(HasLetter("1.5", LangEnglish));
}
