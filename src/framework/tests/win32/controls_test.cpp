// Forms on screen: the windows a form's controls become, what they show, and how a change of a
// control's properties reaches its window in place.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "framework/StdCtrls.h"
#include "framework/win32/Controls.h"
#include "framework/win32/Faults.h"
#include "framework/win32/WindowReader.h"

using namespace fw;

// The test program's own allocator. While a test asks for it, every object gets pages of its own
// that are taken away when it is freed and never given out again: a read of a freed object
// faults at once, instead of finding its old bytes or another object there by luck.
namespace {
constexpr size_t kPage = 4096, kArenaSize = size_t{192} << 20;
char* g_arena = nullptr;
size_t g_arenaUsed = 0;
bool g_freedObjectsFault = false;
long g_arenaMisses = 0;  // objects made meanwhile that the arena had no room for

bool InArena(const void* p) {
    return g_arena && p >= g_arena && p < g_arena + kArenaSize;
}

void* ArenaAlloc(size_t n) {
    if (!g_arena) g_arena = static_cast<char*>(VirtualAlloc(nullptr, kArenaSize, MEM_RESERVE, PAGE_NOACCESS));
    size_t size = (n + kPage - 1) / kPage * kPage;
    if (!g_arena || size == 0 || g_arenaUsed + size + kPage > kArenaSize) return nullptr;
    char* p = g_arena + g_arenaUsed;
    g_arenaUsed += size + kPage;  // a page without access after each object
    return VirtualAlloc(p, size, MEM_COMMIT, PAGE_READWRITE);
}

void ArenaFree(void* p) {
    MEMORY_BASIC_INFORMATION mi{};
    if (VirtualQuery(p, &mi, sizeof mi) && mi.State == MEM_COMMIT)
        VirtualFree(mi.BaseAddress, mi.RegionSize, MEM_DECOMMIT);
}

// Freed objects fault while an instance lives.
struct TFreedObjectsFault {
    TFreedObjectsFault() { g_freedObjectsFault = true; }
    ~TFreedObjectsFault() { g_freedObjectsFault = false; }
};
}  // namespace

void* operator new(size_t n) {
    if (g_freedObjectsFault) {
        if (void* p = ArenaAlloc(n)) return p;
        ++g_arenaMisses;
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    return operator new(n);
}
void operator delete(void* p) noexcept {
    if (InArena(p))
        ArenaFree(p);
    else
        std::free(p);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

// A form with one control of each kind, made in code the way the form reader makes it.
struct TTestForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TButton* button;
    TLabel* label;
    TEdit* edit;
    TListBox* list;
    TPanel* panel;
    TButton* inPanel;
    TStatusBar* bar;
    TTabbedNotebook* book;
    TListView* view;
    TCheckBox* check;
    TRadioButton* radio;
    TComboBox* combo;
    TMemo* memo;
    TGroupBox* group;
    TRadioGroup* radios;
    TMainMenu* menu;
    TMenuItem* file;
    TMenuItem* open;
    TMenuItem* recent;
    TMenuItem* recent1;
    TPopupMenu* popup;
    TMenuItem* copy;

    template <class T>
    T* Add(const char* name, TControl* parent, int left, int top, int width, int height) {
        auto* c = new T(form.get());
        c->SetName(name);
        c->SetParentComponent(parent);
        c->Left = left;
        c->Top = top;
        c->Width = width;
        c->Height = height;
        return c;
    }
    template <class T>
    T* Item(const char* name, TComponent* parent, const char* caption) {
        auto* i = new T(form.get());
        i->SetName(name);
        i->Caption = caption;
        i->SetParentComponent(parent);
        return i;
    }

    TTestForm() {
        RegisterStandardClasses();
        form->SetName("TestForm");
        form->Caption = "Test form";
        form->Width = 600;
        form->Height = 480;
        button = Add<TButton>("Button1", form.get(), 8, 8, 80, 25);
        button->Caption = "&Open";
        button->TabOrder = 2;
        button->Hint = "Opens a file";
        label = Add<TLabel>("Label1", form.get(), 100, 8, 0, 0);
        label->Caption = "Name:";
        edit = Add<TEdit>("Edit1", form.get(), 160, 8, 120, 21);
        edit->Text = "typed";
        edit->TabOrder = 0;
        list = Add<TListBox>("List1", form.get(), 8, 40, 120, 80);
        list->Items()->SetText("one\r\ntwo\r\nthree");
        list->TabOrder = 1;
        panel = Add<TPanel>("Panel1", form.get(), 140, 40, 140, 80);
        panel->Caption = "Panel";
        inPanel = Add<TButton>("InPanel", panel, 4, 4, 60, 25);
        inPanel->Caption = "Inner";
        bar = Add<TStatusBar>("Bar", form.get(), 0, 400, 600, 20);
        bar->Panels()->Add()->Text = "Ready";
        bar->Panels()->Add()->Text = "No changes";
        book = Add<TTabbedNotebook>("Book", form.get(), 300, 8, 280, 120);
        book->Pages()->SetText("General\r\nDetails");
        view = Add<TListView>("View", form.get(), 300, 140, 280, 100);
        view->Columns()->Add()->Caption = "Name";
        view->Columns()->Add()->Caption = "Size";
        check = Add<TCheckBox>("Check", form.get(), 8, 130, 120, 20);
        check->Caption = "Keep";
        check->Checked = true;
        radio = Add<TRadioButton>("Radio", form.get(), 8, 155, 120, 20);
        radio->Caption = "Alone";
        combo = Add<TComboBox>("Combo", form.get(), 8, 180, 120, 21);
        combo->Items()->SetText("red\r\ngreen\r\nblue");
        combo->ItemIndex = 1;
        memo = Add<TMemo>("Memo", form.get(), 140, 130, 140, 60);
        memo->Lines()->SetText("first line\r\nsecond line");
        group = Add<TGroupBox>("Group", form.get(), 8, 210, 140, 80);
        group->Caption = "Choice";
        Add<TRadioButton>("InGroup", group, 8, 20, 100, 20)->Caption = "Inside";
        radios = Add<TRadioGroup>("Radios", form.get(), 160, 210, 120, 90);
        radios->Caption = "Size";
        radios->Items()->SetText("Small\r\nLarge");
        radios->ItemIndex = 1;
        menu = new TMainMenu(form.get());
        menu->SetName("MainMenu1");
        form->Menu = menu;
        file = Item<TMenuItem>("File1", menu, "&File");
        open = Item<TMenuItem>("Open1", file, "&Open...");
        open->ShortCut = scCtrl | 'O';
        Item<TMenuItem>("N1", file, "-");
        recent = Item<TMenuItem>("Recent1", file, "&Recent");
        recent1 = Item<TMenuItem>("RecentA", recent, "a.txt");
        popup = new TPopupMenu(form.get());
        popup->SetName("Popup1");
        copy = Item<TMenuItem>("Copy1", popup, "&Copy");
        list->PopupMenu = popup;
    }
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

}  // namespace

TEST(Controls, EveryKindBecomesTheWindowItShows) {
    TTestForm t;
    HWND h = CreateFormWindows(t.form.get());
    ASSERT_TRUE(h);
    auto lines = ReadWindow(h);
    for (const char* line : {"TFORM.text=Test form",
                             "TFORM/BUTTON[0].text=&Open",
                             "TFORM/STATIC[0].text=Name:",
                             "TFORM/EDIT[0].text=typed",
                             "TFORM/LISTBOX[0].items[2]=three",
                             "TFORM/TPANEL[0].text=Panel",
                             "TFORM/TPANEL[0]/BUTTON[0].text=Inner",
                             "TFORM/MSCTLS_STATUSBAR32[0].panels[1]=No changes",
                             "TFORM/SYSTABCONTROL32[0].tabs[1]=Details",
                             "TFORM/SYSLISTVIEW32[0].columns[1]=Size",
                             "TFORM/BUTTON[1].checked=1",
                             "TFORM/COMBOBOX[0].items[2]=blue",
                             "TFORM/COMBOBOX[0].text=green",
                             "TFORM/EDIT[1].text=first line\\r\\nsecond line",
                             "TFORM/TGROUPBOX[0].text=Choice",
                             "TFORM/TGROUPBOX[0]/BUTTON[0].text=Inside",
                             "TFORM/TRADIOGROUP[0]/BUTTON[1].text=Large",
                             "TFORM/TRADIOGROUP[0]/BUTTON[1].checked=1",
                             "TFORM/BUTTON[0].hint=Opens a file",
                             "menu[0].text=&File",
                             "menu[0][0].text=&Open...\tCtrl+O",
                             "menu[0][1].separator=1",
                             "menu[0][2][0].text=a.txt",
                             "TFORM/BUTTON[0].charset=1"})
        EXPECT_TRUE(Has(lines, line)) << line << "\n" << Joined(lines);
    // Bounds from the model; a label without a size takes its text's.
    RECT r;
    GetWindowRect(ControlHandle(t.list), &r);
    MapWindowPoints(HWND_DESKTOP, h, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 8);
    EXPECT_EQ(r.bottom - r.top, 80);
    GetClientRect(ControlHandle(t.label), &r);
    EXPECT_GT(r.right, 0);
    // Keyboard order is the windows' order: the edit (0), the list (1), the button (2).
    std::vector<HWND> order;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) order.push_back(c);
    auto at = [&](TControl* c) { return std::find(order.begin(), order.end(), ControlHandle(c)) - order.begin(); };
    EXPECT_LT(at(t.edit), at(t.list));
    EXPECT_LT(at(t.list), at(t.button));
    SetOrdProp(t.button, "TabOrder", 0);
    order.clear();
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) order.push_back(c);
    EXPECT_LT(at(t.button), at(t.edit));
    // The popup menu is made when asked for.
    std::vector<std::string> popup;
    ReadMenu(MenuHandle(t.popup), "popup", popup);
    EXPECT_EQ(popup, (std::vector<std::string>{"popup[0].text=&Copy"}));
}

TEST(Controls, ChangesReachTheSameWindows) {
    TTestForm t;
    HWND h = CreateFormWindows(t.form.get());
    HWND list = ControlHandle(t.list), bar = ControlHandle(t.bar), combo = ControlHandle(t.combo);
    HMENU menu = GetMenu(h);
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    SendMessageW(combo, CB_SETCURSEL, 2, 0);

    SetStrProp(t.form.get(), "Caption", "Testformular");
    SetStrProp(t.button, "Caption", "\326&ffnen");  // 8-bit text in the font's code page
    SetStrProp(t.button, "Hint", "\326ffnet eine Datei");
    SetStrProp(t.edit, "Text", "getippt");
    t.list->Items()->SetText("eins\r\nzwei\r\ndrei");
    SetStrProp(t.bar->Panels()->Items(0), "Text", "Bereit");
    t.book->Pages()->Put(1, "Einzelheiten");
    SetStrProp(t.view->Columns()->Items(0), "Caption", "Name (de)");
    t.combo->Items()->SetText("rot\r\ngr\374n\r\nblau");
    t.memo->Lines()->SetText("erste Zeile");
    t.radios->Items()->SetText("Klein\r\nGro\337");
    SetStrProp(t.check, "Caption", "Behalten");
    SetStrProp(t.file, "Caption", "&Datei");
    SetStrProp(t.recent1, "Caption", "b.txt");
    SetOrdProp(t.edit, "Enabled", 0);
    SetOrdProp(t.radio, "Visible", 0);
    SetStrProp(t.copy, "Caption", "&Kopieren");

    EXPECT_EQ(ControlHandle(t.list), list);  // not made again
    EXPECT_EQ(ControlHandle(t.bar), bar);
    EXPECT_EQ(GetMenu(h), menu);
    auto lines = ReadWindow(h);
    for (const char* line :
         {"TFORM.text=Testformular", "TFORM/BUTTON[0].text=\xC3\x96&ffnen",
          "TFORM/BUTTON[0].hint=\xC3\x96"
          "ffnet eine Datei",
          "TFORM/EDIT[0].text=getippt", "TFORM/EDIT[0].enabled=0", "TFORM/LISTBOX[0].items[0]=eins",
          "TFORM/MSCTLS_STATUSBAR32[0].panels[0]=Bereit", "TFORM/SYSTABCONTROL32[0].tabs[1]=Einzelheiten",
          "TFORM/SYSLISTVIEW32[0].columns[0]=Name (de)", "TFORM/COMBOBOX[0].items[1]=gr\xC3\xBCn",
          "TFORM/COMBOBOX[0].text=blau", "TFORM/EDIT[1].text=erste Zeile",
          "TFORM/TRADIOGROUP[0]/BUTTON[1].text=Gro\xC3\x9F", "TFORM/TRADIOGROUP[0]/BUTTON[1].checked=1",
          "TFORM/BUTTON[1].text=Behalten", "TFORM/BUTTON[2].visible=0", "menu[0].text=&Datei",
          "menu[0][2][0].text=b.txt"})
        EXPECT_TRUE(Has(lines, line)) << line << "\n" << Joined(lines);
    // The selections the user made stay.
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    std::vector<std::string> popup;
    ReadMenu(MenuHandle(t.popup), "popup", popup);
    EXPECT_EQ(popup, (std::vector<std::string>{"popup[0].text=&Kopieren"}));

    // A new charset makes a new font with it, on the same window.
    SetOrdProp(t.button->Font(), "Charset", RUSSIAN_CHARSET);
    SetStrProp(t.button, "Caption", "\xCE\xF2\xEA\xF0\xFB\xF2\xFC");
    lines = ReadWindow(h);
    EXPECT_TRUE(Has(lines, "TFORM/BUTTON[0].charset=204")) << Joined(lines);
    EXPECT_TRUE(Has(lines, "TFORM/BUTTON[0].text=\xD0\x9E\xD1\x82\xD0\xBA\xD1\x80\xD1\x8B\xD1\x82\xD1\x8C"))
        << Joined(lines);

    // A menu item added later makes the bar anew with it.
    auto* extra = new TMenuItem(t.form.get());
    extra->Caption = "&Help";
    t.menu->Items()->Add(extra);
    lines = ReadWindow(h);
    EXPECT_TRUE(Has(lines, "menu[1].text=&Help")) << Joined(lines);
}

TEST(Controls, ClicksReachTheModel) {
    TTestForm t;
    ShowForm(t.form.get(), SW_SHOWNA);
    HWND h = ControlHandle(t.form.get());
    int clicked = 0;
    t.button->OnClick = [&](TObject*) { ++clicked; };
    t.open->OnClick = [&](TObject*) { clicked += 10; };
    SendMessageW(ControlHandle(t.button), BM_CLICK, 0, 0);
    EXPECT_EQ(clicked, 1);
    SendMessageW(ControlHandle(t.check), BM_CLICK, 0, 0);
    EXPECT_FALSE(t.check->Checked);
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(GetSubMenu(GetMenu(h), 0), 0, TRUE, &mi));
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(mi.wID, 0), 0);
    EXPECT_EQ(clicked, 11);
    // The user's tab choice is the notebook's page.
    HWND book = ControlHandle(t.book);
    TabCtrl_SetCurSel(book, 1);
    NMHDR n{book, 0, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(GetParent(book), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    EXPECT_EQ(t.book->PageIndex, 1);
}

// An event handler may free the control's form, or free it and make it anew (as a language
// switch does): nothing of the control, its form or their windows' state is read after the
// event returns.
TEST(Controls, NothingOfAControlIsReadAfterItsClickFreedItsForm) {
    enum TWhich { Button, Check, Radio, MenuItem };
    for (TWhich which : {Button, Check, Radio, MenuItem})
        for (bool rebuild : {false, true}) {
            SCOPED_TRACE(testing::Message() << "control " << which << (rebuild ? ", form rebuilt" : ", form freed"));
            int clicks = 0;
            std::unique_ptr<TTestForm> t;
            HWND window = nullptr;
            {
                TFreedObjectsFault freedObjectsFault;
                t = std::make_unique<TTestForm>();
                ShowForm(t->form.get(), SW_SHOWNA);
                // Reads its own state after the form is gone, as handlers do.
                TNotifyEvent onClick = [&t, &clicks, rebuild](TObject*) {
                    t.reset();
                    if (rebuild) {
                        t = std::make_unique<TTestForm>();
                        ShowForm(t->form.get(), SW_SHOWNA);
                    }
                    ++clicks;
                };
                HWND form = ControlHandle(t->form.get());
                UINT message = BM_CLICK;
                WPARAM wp = 0;
                switch (which) {
                    case Button:
                        t->button->OnClick = onClick;
                        window = ControlHandle(t->button);
                        break;
                    case Check:
                        t->check->OnClick = onClick;
                        window = ControlHandle(t->check);
                        break;
                    case Radio:
                        t->radio->OnClick = onClick;
                        window = ControlHandle(t->radio);
                        break;
                    case MenuItem: {
                        t->open->OnClick = onClick;
                        MENUITEMINFOW mi{};
                        mi.cbSize = sizeof mi;
                        mi.fMask = MIIM_ID;
                        ASSERT_TRUE(GetMenuItemInfoW(GetSubMenu(GetMenu(form), 0), 0, TRUE, &mi));
                        window = form;
                        message = WM_COMMAND;
                        wp = MAKEWPARAM(mi.wID, 0);
                        break;
                    }
                }
                try {
                    Guarded([=] { SendMessageW(window, message, wp, 0); });
                } catch (const Exception& e) {
                    ADD_FAILURE() << e.Message();
                }
            }
            EXPECT_EQ(g_arenaMisses, 0);
            EXPECT_EQ(clicks, 1);
            EXPECT_FALSE(IsWindow(window));
            EXPECT_EQ(t != nullptr, rebuild);
            if (t) {
                EXPECT_TRUE(IsWindowVisible(ControlHandle(t->form.get())));
            }
            t.reset();
        }
}

// Every window, font and menu the framework makes is destroyed with its form, also after many
// changes (the system's own counters are no judge under every platform).
TEST(Controls, NoHandleOutlivesItsForm) {
    InstallWin32Controls();
    const TGuiHandleCounts before = GuiHandleCounts();
    for (int i = 0; i < 10; ++i) {
        TTestForm t;
        if (i == 0)
            ShowForm(t.form.get(), SW_SHOWNA);
        else
            CreateFormWindows(t.form.get());
        TGuiHandleCounts shown = GuiHandleCounts();
        EXPECT_GT(shown.Windows, before.Windows + 15);
        EXPECT_GE(shown.Menus, before.Menus + 3);  // the bar and its two submenus
        EXPECT_GT(shown.Fonts, before.Fonts);
        for (int k = 0; k < 5; ++k) {
            SetOrdProp(t.form->Font(), "Charset", k % 2 ? RUSSIAN_CHARSET : ANSI_CHARSET);
            SetOrdProp(t.button->Font(), "Charset", k % 2 ? GREEK_CHARSET : ANSI_CHARSET);
            SetStrProp(t.file, "Caption", k % 2 ? "&Datei" : "&Fichier");
            t.radios->Items()->SetText(k % 2 ? "a\r\nb\r\nc" : "a");
            auto* more = new TMenuItem(t.form.get());
            more->Caption = "more";
            t.recent->Add(more);
        }
        EXPECT_EQ(GuiHandleCounts().Fonts, shown.Fonts);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    EXPECT_EQ(GuiHandleCounts(), before);
}
