#include "Controls.h"

#include <commctrl.h>

#include "framework/StdCtrls.h"

#include <algorithm>
#include <map>
#include <vector>

namespace fw {

namespace {

TGuiHandleCounts g_counts;

const wchar_t kViewProp[] = L"fw.View";

// ---- fonts

int ScreenPixelsPerInch() {
    static int ppi = [] {
        HDC dc = GetDC(nullptr);
        int v = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(nullptr, dc);
        return v > 0 ? v : 96;
    }();
    return ppi;
}

uintptr_t MakeFont(const TFont& f) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(f.Size(), ScreenPixelsPerInch(), 72);
    lf.lfWeight = (f.Style() & (1u << fsBold)) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (f.Style() & (1u << fsItalic)) ? TRUE : FALSE;
    lf.lfUnderline = (f.Style() & (1u << fsUnderline)) ? TRUE : FALSE;
    lf.lfStrikeOut = (f.Style() & (1u << fsStrikeOut)) ? TRUE : FALSE;
    lf.lfCharSet = static_cast<BYTE>(f.Charset());
    lf.lfQuality = DEFAULT_QUALITY;
    std::wstring face = AnsiToWindowText(f.Name(), DEFAULT_CHARSET);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT h = CreateFontIndirectW(&lf);
    if (h) ++g_counts.Fonts;
    return reinterpret_cast<uintptr_t>(h);
}

void ReleaseFont(uintptr_t h) {
    if (h && DeleteObject(reinterpret_cast<HFONT>(h))) --g_counts.Fonts;
}

// ---- window classes of our own: forms, panels, frames and other containers

LRESULT CALLBACK ContainerProc(HWND, UINT, WPARAM, LPARAM);

std::wstring RegisterContainerClass(const std::string& className) {
    std::wstring name = AnsiToWindowText(className, DEFAULT_CHARSET);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &existing)) return name;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassExW(&wc);
    return name;
}

enum class TKind {
    Form,
    Container,
    Panel,
    Button,
    Label,
    Edit,
    ListBox,
    StatusBar,
    Notebook,
    ListView,
    Bevel,
    CheckBox,
    RadioButton,
    ComboBox,
    Memo,
    GroupBox,
    RadioGroup
};

TKind KindOf(const TControl* c) {
    if (dynamic_cast<const TCustomForm*>(c)) return TKind::Form;
    if (dynamic_cast<const TButton*>(c)) return TKind::Button;
    if (dynamic_cast<const TLabel*>(c)) return TKind::Label;
    if (dynamic_cast<const TEdit*>(c)) return TKind::Edit;
    if (dynamic_cast<const TListBox*>(c)) return TKind::ListBox;
    if (dynamic_cast<const TStatusBar*>(c)) return TKind::StatusBar;
    if (dynamic_cast<const TTabbedNotebook*>(c)) return TKind::Notebook;
    if (dynamic_cast<const TListView*>(c)) return TKind::ListView;
    if (dynamic_cast<const TPanel*>(c)) return TKind::Panel;
    if (dynamic_cast<const TBevel*>(c)) return TKind::Bevel;
    if (dynamic_cast<const TCheckBox*>(c)) return TKind::CheckBox;
    if (dynamic_cast<const TRadioButton*>(c)) return TKind::RadioButton;
    if (dynamic_cast<const TComboBox*>(c)) return TKind::ComboBox;
    if (dynamic_cast<const TMemo*>(c)) return TKind::Memo;
    if (dynamic_cast<const TGroupBox*>(c)) return TKind::GroupBox;
    if (dynamic_cast<const TRadioGroup*>(c)) return TKind::RadioGroup;
    return TKind::Container;
}

int TabKey(const TControl* c) {
    auto* w = dynamic_cast<const TWinControl*>(c);
    return w && w->TabOrder >= 0 ? w->TabOrder : 0x7FFFFFFF;
}

class TWinView;
class TWinMenuView;
TWinMenuView* MenuViewOf(TMenu* menu);
void AttachMenu(HWND form, TMenu* menu);
// Calls a control's event through a copy of it: the handler's own state then outlives the
// control when the handler frees it.
void Fire(const TNotifyEvent& event, TObject* sender) {
    if (TNotifyEvent handler = event) handler(sender);
}

TWinView* ViewOf(HWND h) {
    return h ? static_cast<TWinView*>(GetPropW(h, kViewProp)) : nullptr;
}

LRESULT CALLBACK TrackProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);

class TWinView : public TControlView {
public:
    TWinView(TControl* c, TKind kind) : c_(c), kind_(kind) {}
    ~TWinView() override {
        if (!hwnd_) return;
        if (kind_ == TKind::Form) SetMenu(hwnd_, nullptr);  // the menu's view destroys it
        DestroyWindow(hwnd_);                               // children and the hint window go with it
    }

    void Create(HWND parent, HWND hints) {
        hints_ = hints;
        DWORD style = WS_CLIPSIBLINGS, ex = 0;
        std::wstring cls;
        std::string className = c_->ClassName();
        switch (kind_) {
            case TKind::Form:
                cls = RegisterContainerClass(className);
                style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
                break;
            case TKind::Container:
            case TKind::Panel:
                cls = RegisterContainerClass(className);
                style |= WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP;
                ex = WS_EX_CONTROLPARENT;
                break;
            case TKind::Button:
                cls = L"BUTTON";
                style |=
                    WS_CHILD | WS_TABSTOP | (static_cast<TButton*>(c_)->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
                break;
            case TKind::Label:
                cls = L"STATIC";
                style |= WS_CHILD | SS_LEFT | SS_NOTIFY;
                break;
            case TKind::Bevel:
                cls = L"STATIC";
                style |= WS_CHILD | SS_ETCHEDFRAME;
                break;
            case TKind::Edit:
                cls = L"EDIT";
                style |= WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL;
                ex = WS_EX_CLIENTEDGE;
                break;
            case TKind::ListBox:
                cls = L"LISTBOX";
                style |= WS_CHILD | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
                ex = WS_EX_CLIENTEDGE;
                break;
            case TKind::StatusBar:
                cls = STATUSCLASSNAMEW;
                style |= WS_CHILD | SBARS_SIZEGRIP;
                break;
            case TKind::Notebook:
                cls = WC_TABCONTROLW;
                style |= WS_CHILD | WS_TABSTOP | WS_CLIPCHILDREN;
                ex = WS_EX_CONTROLPARENT;
                break;
            case TKind::ListView:
                cls = WC_LISTVIEWW;
                style |= WS_CHILD | WS_TABSTOP | LVS_REPORT;
                ex = WS_EX_CLIENTEDGE;
                break;
            case TKind::CheckBox:
                cls = L"BUTTON";
                style |= WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX;
                break;
            case TKind::RadioButton:
                cls = L"BUTTON";
                style |= WS_CHILD | WS_TABSTOP | BS_AUTORADIOBUTTON;
                break;
            case TKind::ComboBox: {
                cls = L"COMBOBOX";
                auto st = static_cast<TComboBox*>(c_)->Style;
                style |= WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_AUTOHSCROLL |
                         (st == csDropDownList ? CBS_DROPDOWNLIST
                          : st == csSimple     ? CBS_SIMPLE
                                               : CBS_DROPDOWN);
                break;
            }
            case TKind::Memo:
                cls = L"EDIT";
                style |= WS_CHILD | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN |
                         (static_cast<TMemo*>(c_)->WordWrap ? 0 : ES_AUTOHSCROLL | WS_HSCROLL) |
                         (static_cast<TMemo*>(c_)->ReadOnly ? ES_READONLY : 0);
                ex = WS_EX_CLIENTEDGE;
                break;
            case TKind::GroupBox:
            case TKind::RadioGroup:
                cls = RegisterContainerClass(className);
                style |= WS_CHILD | WS_CLIPCHILDREN;
                ex = WS_EX_CONTROLPARENT;
                break;
        }
        int height = kind_ == TKind::ComboBox ? c_->Height + 160 : c_->Height;
        hwnd_ = CreateWindowExW(ex, cls.c_str(), L"", style, c_->Left, c_->Top, c_->Width, height, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        if (!hwnd_) throw Exception(Format("Cannot create the window of %s", {c_->Name()}));
        ++g_counts.Windows;
        SetPropW(hwnd_, kViewProp, this);
        SetWindowSubclass(hwnd_, TrackProc, 1, 0);
        if (kind_ == TKind::Form) SetWindowTextW(hwnd_, L"");
        Sync();
    }

    HWND Handle() const { return hwnd_; }
    TControl* Control() const { return c_; }
    TKind Kind() const { return kind_; }
    void Detach() { hwnd_ = nullptr; }

    void Changed() override {
        if (hwnd_) Sync();
    }

    // Brings the window up to the control's state; touches only what differs.
    void Sync() {
        SyncFont();
        SyncText();
        SyncBounds();
        if (kind_ != TKind::Form) {
            bool shown = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
            if (shown != c_->Visible && !hiddenPage_) ShowWindow(hwnd_, c_->Visible ? SW_SHOWNA : SW_HIDE);
        }
        if ((IsWindowEnabled(hwnd_) != FALSE) != c_->Enabled) EnableWindow(hwnd_, c_->Enabled);
        SyncHint();
        SyncTabOrder();
        if (kind_ == TKind::Form) AttachMenu(hwnd_, static_cast<TCustomForm*>(c_)->Menu);
    }

    // A page of a notebook: shown only while it is the active page.
    void SetPageShown(int index, bool shown, const RECT& area) {
        hiddenPage_ = !shown;
        pageIndex_ = index;
        SetWindowPos(hwnd_, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(hwnd_, shown && c_->Visible ? SW_SHOWNA : SW_HIDE);
        pageArea_ = area;
        isPage_ = true;
        SyncText();
    }

    // Shows the notebook's active page and hides the others.
    void LayoutPages() {
        if (kind_ != TKind::Notebook || !hwnd_) return;
        RECT area;
        GetClientRect(hwnd_, &area);
        TabCtrl_AdjustRect(hwnd_, FALSE, &area);
        int active = TabCtrl_GetCurSel(hwnd_);
        int i = 0;
        for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (TWinView* v = ViewOf(child)) {  // not the tab control's scroll arrows
                v->SetPageShown(i, i == active, area);
                ++i;
            }
    }

    // A button, check box or radio button inside this container was clicked.
    void Clicked(HWND from) {
        auto it = std::find(radios_.begin(), radios_.end(), from);
        if (it != radios_.end()) {
            static_cast<TRadioGroup*>(c_)->ItemIndex = static_cast<int32_t>(it - radios_.begin());
            return;
        }
        TWinView* v = ViewOf(from);
        if (!v) return;
        bool checked = SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        // The event comes last and nothing is read after it: its handler may free the control,
        // its form and with them this view (or make the form anew, as a language switch does).
        if (auto* b = dynamic_cast<TButton*>(v->c_)) {
            Fire(b->OnClick, b);
        } else if (auto* cb = dynamic_cast<TCheckBox*>(v->c_)) {
            cb->Checked = checked;
            Fire(cb->OnClick, cb);
        } else if (auto* rb = dynamic_cast<TRadioButton*>(v->c_)) {
            rb->Checked = checked;
            Fire(rb->OnClick, rb);
        }
    }

    // The user picked another tab.
    void TabChanged() {
        auto* book = static_cast<TTabbedNotebook*>(c_);
        book->PageIndex = TabCtrl_GetCurSel(hwnd_);
        LayoutPages();
    }

private:
    int Charset() const { return c_->Font()->Charset(); }
    std::wstring W(const std::string& s) const { return AnsiToWindowText(s, Charset()); }
    std::wstring W(const TText& s) const { return TextToWindowText(s, Charset()); }
    std::wstring W(const TStrings* lines, int i) const { return LineToWindowText(*lines, i, Charset()); }

    void SyncFont() {
        auto font = reinterpret_cast<HFONT>(c_->Font()->Handle());
        if (font != font_) {
            SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            font_ = font;
        }
    }

    void SetText(const std::wstring& text) {
        int n = GetWindowTextLengthW(hwnd_);
        std::wstring now(static_cast<size_t>(n) + 1, L'\0');
        now.resize(static_cast<size_t>(GetWindowTextW(hwnd_, now.data(), n + 1)));
        if (now == text) return;
        SetWindowTextW(hwnd_, text.c_str());
        // Our own containers paint their text themselves; labels may need another size.
        if (kind_ == TKind::Panel || kind_ == TKind::GroupBox || kind_ == TKind::RadioGroup || kind_ == TKind::Label)
            InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void SyncText() {
        switch (kind_) {
            case TKind::Edit:
                SetText(W(static_cast<TEdit*>(c_)->Text));
                break;
            case TKind::ListBox:
                SyncListBox(static_cast<TListBox*>(c_)->Items());
                break;
            case TKind::StatusBar:
                SyncStatusBar(static_cast<TStatusBar*>(c_));
                break;
            case TKind::Notebook:
                SyncTabs(static_cast<TTabbedNotebook*>(c_));
                break;
            case TKind::ListView:
                SyncColumns(static_cast<TListView*>(c_)->Columns());
                break;
            case TKind::Bevel:
                break;
            case TKind::CheckBox:
            case TKind::RadioButton: {
                SetText(W(c_->Caption));
                bool checked = kind_ == TKind::CheckBox ? static_cast<TCheckBox*>(c_)->Checked
                                                        : static_cast<TRadioButton*>(c_)->Checked;
                if ((SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED) != checked)
                    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
                break;
            }
            case TKind::ComboBox:
                SyncCombo(static_cast<TComboBox*>(c_));
                break;
            case TKind::Memo: {
                const TStrings* lines = static_cast<TMemo*>(c_)->Lines();
                std::wstring text;
                for (int i = 0; i < lines->Count(); ++i) {
                    if (i) text += L"\r\n";  // no line end after the last line
                    text += W(lines, i);
                }
                SetText(text);
                break;
            }
            case TKind::RadioGroup:
                SetText(W(c_->Caption));
                SyncRadioGroup(static_cast<TRadioGroup*>(c_));
                break;
            default:
                // A notebook's page shows its title as the notebook holds it.
                if (auto* book = dynamic_cast<TTabbedNotebook*>(c_->Parent);
                    book && isPage_ && pageIndex_ < book->Pages()->Count())
                    SetText(W(book->Pages(), pageIndex_));
                else
                    SetText(W(c_->Caption));
                break;
        }
    }

    std::wstring ItemText(UINT lenMsg, UINT textMsg, int i) const {
        int len = static_cast<int>(SendMessageW(hwnd_, lenMsg, i, 0));
        if (len < 0) return {};
        std::wstring t(static_cast<size_t>(len) + 1, L'\0');
        SendMessageW(hwnd_, textMsg, i, reinterpret_cast<LPARAM>(t.data()));
        t.resize(static_cast<size_t>(len));
        return t;
    }

    void SyncCombo(TComboBox* combo) {
        TStrings* items = combo->Items();
        int count = static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
        bool same = count == items->Count();
        for (int i = 0; same && i < count; ++i) same = ItemText(CB_GETLBTEXTLEN, CB_GETLBTEXT, i) == W(items, i);
        int sel = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
        if (!same) {
            SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
            for (int i = 0; i < items->Count(); ++i)
                SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(items, i).c_str()));
        }
        // The selection the user made stays; at first the stored index.
        int want = comboStarted_ ? sel : combo->ItemIndex;
        comboStarted_ = true;
        if (want >= 0 && want < items->Count())
            SendMessageW(hwnd_, CB_SETCURSEL, want, 0);
        else if (combo->Style != csDropDownList)
            SetText(W(combo->Text));
    }

    void SyncRadioGroup(TRadioGroup* group) {
        TStrings* items = group->Items();
        // The radio buttons are the group's own windows, one per item.
        while (static_cast<int>(radios_.size()) > items->Count()) {
            DestroyWindow(radios_.back());
            radios_.pop_back();
        }
        RECT r;
        GetClientRect(hwnd_, &r);
        int columns = group->Columns > 0 ? group->Columns : 1;
        int rows = std::max(1, (items->Count() + columns - 1) / columns);
        int top = 18, height = std::max(16, static_cast<int>((r.bottom - top - 4) / rows));
        int width = std::max(20, static_cast<int>((r.right - 16) / columns));
        for (int i = 0; i < items->Count(); ++i) {
            if (i >= static_cast<int>(radios_.size())) {
                HWND b =
                    CreateWindowExW(0, L"BUTTON", L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0),
                                    8 + (i / rows) * width, top + (i % rows) * height, width - 4, std::min(height, 20),
                                    hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
                if (!b) break;
                ++g_counts.Windows;
                SetWindowSubclass(b, TrackProc, 1, 0);
                radios_.push_back(b);
            }
            HWND b = radios_[static_cast<size_t>(i)];
            SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            std::wstring text = W(items, i);
            int n = GetWindowTextLengthW(b);
            std::wstring now(static_cast<size_t>(n) + 1, L'\0');
            now.resize(static_cast<size_t>(GetWindowTextW(b, now.data(), n + 1)));
            if (now != text) SetWindowTextW(b, text.c_str());
            if (!radioStarted_) {
                bool checked = i == group->ItemIndex;
                SendMessageW(b, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
            }
        }
        radioStarted_ = true;
    }

    void SyncListBox(TStrings* items) {
        int count = static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
        bool same = count == items->Count();
        for (int i = 0; same && i < count; ++i) {
            int len = static_cast<int>(SendMessageW(hwnd_, LB_GETTEXTLEN, i, 0));
            std::wstring t(static_cast<size_t>(len) + 1, L'\0');
            SendMessageW(hwnd_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(t.data()));
            t.resize(static_cast<size_t>(len));
            same = t == W(items, i);
        }
        if (same) return;
        int sel = static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
        for (int i = 0; i < items->Count(); ++i)
            SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(items, i).c_str()));
        if (sel >= 0 && sel < items->Count()) SendMessageW(hwnd_, LB_SETCURSEL, sel, 0);
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void SyncStatusBar(TStatusBar* bar) {
        TStatusPanels* panels = bar->Panels();
        if (panels->Count() == 0) {
            SendMessageW(hwnd_, SB_SIMPLE, TRUE, 0);
            SendMessageW(hwnd_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(W(bar->SimpleText).c_str()));
            return;
        }
        SendMessageW(hwnd_, SB_SIMPLE, FALSE, 0);
        std::vector<int> edges;
        int right = 0;
        for (int i = 0; i < panels->Count(); ++i) {
            right += panels->Items(i)->Width;
            edges.push_back(i + 1 == panels->Count() ? -1 : right);
        }
        SendMessageW(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        for (int i = 0; i < panels->Count(); ++i)
            SendMessageW(hwnd_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(W(panels->Items(i)->Text).c_str()));
    }

    void SyncTabs(TTabbedNotebook* book) {
        TStrings* pages = book->Pages();
        int count = TabCtrl_GetItemCount(hwnd_);
        for (int i = 0; i < pages->Count(); ++i) {
            std::wstring text = W(pages, i);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text.data();
            if (i < count)
                SendMessageW(hwnd_, TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
            else
                SendMessageW(hwnd_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
        }
        for (int i = count - 1; i >= pages->Count(); --i) TabCtrl_DeleteItem(hwnd_, i);
        int want = book->PageIndex >= 0 && book->PageIndex < pages->Count() ? book->PageIndex : 0;
        if (TabCtrl_GetCurSel(hwnd_) != want) TabCtrl_SetCurSel(hwnd_, want);
        LayoutPages();
    }

    void SyncColumns(TListColumns* columns) {
        HWND header = ListView_GetHeader(hwnd_);
        int count = header ? Header_GetItemCount(header) : 0;
        for (int i = 0; i < columns->Count(); ++i) {
            std::wstring text = W(columns->Items(i)->Caption);
            LVCOLUMNW col{};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = text.data();
            col.cx = columns->Items(i)->Width;
            if (i < count)
                SendMessageW(hwnd_, LVM_SETCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
            else
                SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
        }
        for (int i = count - 1; i >= columns->Count(); --i) ListView_DeleteColumn(hwnd_, i);
    }

    // Labels without a stored size take the size of their text.
    SIZE TextSize() const {
        SIZE size{0, 0};
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
        std::wstring text = W(c_->Caption);
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        return size;
    }

    void SyncBounds() {
        if (isPage_ || kind_ == TKind::StatusBar) {
            if (kind_ == TKind::StatusBar) SendMessageW(hwnd_, WM_SIZE, 0, 0);  // keeps to its parent's bottom
            return;
        }
        int w = c_->Width, h = c_->Height;
        if (kind_ == TKind::Label && (w <= 0 || h <= 0)) {
            SIZE s = TextSize();
            if (w <= 0) w = s.cx;
            if (h <= 0) h = s.cy;
        }
        RECT r;
        GetWindowRect(hwnd_, &r);
        if (HWND parent = GetParent(hwnd_); parent && kind_ != TKind::Form)
            MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        if (kind_ == TKind::ComboBox) {  // the height is the edit part's; the list drops below it
            if (r.left != c_->Left || r.top != c_->Top || r.right - r.left != w)
                SetWindowPos(hwnd_, nullptr, c_->Left, c_->Top, w, h + 160, SWP_NOZORDER | SWP_NOACTIVATE);
            return;
        }
        if (r.left != c_->Left || r.top != c_->Top || r.right - r.left != w || r.bottom - r.top != h) {
            SetWindowPos(hwnd_, nullptr, c_->Left, c_->Top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
            if (kind_ == TKind::Notebook) LayoutPages();
        }
    }

    void SyncHint() {
        if (!hints_ || kind_ == TKind::Form) return;
        std::wstring text = W(c_->Hint);
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = GetParent(hwnd_);
        ti.uId = reinterpret_cast<UINT_PTR>(hwnd_);
        ti.lpszText = text.data();
        if (text.empty()) {
            if (hintAdded_) SendMessageW(hints_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
            hintAdded_ = false;
        } else if (!hintAdded_) {
            hintAdded_ = SendMessageW(hints_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
        } else {
            SendMessageW(hints_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }

    // The keyboard order of windows is their order among their siblings.
    void SyncTabOrder() {
        auto* self = dynamic_cast<TWinControl*>(c_);
        if (!self || self->TabOrder < 0 || kind_ == TKind::Form || isPage_) return;
        if (self->TabOrder == appliedTabOrder_) return;
        appliedTabOrder_ = self->TabOrder;
        HWND parent = GetParent(hwnd_);
        std::vector<TWinView*> siblings;
        for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
            if (TWinView* v = ViewOf(h)) siblings.push_back(v);
        // The control given a place goes before one that held it already.
        std::stable_sort(siblings.begin(), siblings.end(), [this](TWinView* a, TWinView* b) {
            int ka = TabKey(a->c_), kb = TabKey(b->c_);
            return ka != kb ? ka < kb : a == this && b != this;
        });
        HWND after = HWND_TOP;
        for (TWinView* v : siblings) {
            SetWindowPos(v->hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            after = v->hwnd_;
        }
    }

    TControl* c_;
    TKind kind_;
    HWND hwnd_ = nullptr;
    HWND hints_ = nullptr;
    HFONT font_ = nullptr;
    bool hintAdded_ = false;
    bool isPage_ = false;
    bool hiddenPage_ = false;
    RECT pageArea_{};
    int pageIndex_ = -1;
    int appliedTabOrder_ = -1;
    bool comboStarted_ = false;
    bool radioStarted_ = false;
    std::vector<HWND> radios_;
};

// ---- menus

class TWinMenuView : public TMenuView {
public:
    TWinMenuView(TMenu* menu, bool bar) : menu_(menu), bar_(bar) {}
    ~TWinMenuView() override { Destroy(); }

    HMENU Handle() {
        if (!handle_) Build();
        return handle_;
    }
    void SetOwner(HWND owner) { owner_ = owner; }

    void Changed() override {
        if (!handle_) return;
        if (Signature() != signature_) {
            HMENU old = handle_;
            handle_ = nullptr;
            long oldCount = built_;
            Build();
            if (owner_ && GetMenu(owner_) == old) SetMenu(owner_, handle_);
            if (DestroyMenu(old)) g_counts.Menus -= oldCount;
        } else {
            Update(menu_->Items(), handle_);
        }
        if (owner_ && bar_) DrawMenuBar(owner_);
    }

    TMenuItem* ItemById(UINT id) const { return id >= 1 && id <= ids_.size() ? ids_[id - 1] : nullptr; }

private:
    static int Charset() { return Screen().MenuFont()->Charset(); }

    static std::wstring TextOf(const TMenuItem* item) {
        std::wstring text = TextToWindowText(item->Caption, Charset());
        if (item->ShortCut) text += L"\t" + AnsiToWindowText(ShortCutToText(item->ShortCut), DEFAULT_CHARSET);
        return text;
    }

    static bool Shown(const TMenuItem* item) { return item->Visible; }

    std::string Signature() const {
        std::string sig;
        Sign(menu_->Items(), sig);
        return sig;
    }
    static void Sign(const TMenuItem* item, std::string& sig) {
        for (int i = 0; i < item->Count(); ++i) {
            const TMenuItem* c = item->Items(i);
            sig += std::to_string(reinterpret_cast<uintptr_t>(c)) + (Shown(c) ? "+" : "-") +
                   (c->Caption == "-" ? "s" : "") + "(";
            Sign(c, sig);
            sig += ")";
        }
    }

    void Build() {
        ids_.clear();
        built_ = 0;
        handle_ = bar_ ? CreateMenu() : CreatePopupMenu();
        if (!handle_) throw Exception("Cannot create a menu");
        ++built_;
        Fill(menu_->Items(), handle_);
        g_counts.Menus += built_;
        signature_ = Signature();
    }

    void Fill(TMenuItem* parent, HMENU into) {
        for (int i = 0; i < parent->Count(); ++i) {
            TMenuItem* item = parent->Items(i);
            if (!Shown(item)) continue;
            if (item->Caption == "-") {
                AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            std::wstring text = TextOf(item);
            MENUITEMINFOW mi{};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE | MIIM_ID;
            mi.fType = item->RadioItem ? MFT_RADIOCHECK : 0;
            mi.fState = (item->Checked ? MFS_CHECKED : 0) | (item->Enabled ? 0 : MFS_DISABLED);
            mi.dwTypeData = text.data();
            ids_.push_back(item);
            mi.wID = static_cast<UINT>(ids_.size());
            if (item->Count() > 0) {
                HMENU sub = CreatePopupMenu();
                if (!sub) throw Exception("Cannot create a menu");
                ++built_;
                Fill(item, sub);
                mi.fMask |= MIIM_SUBMENU;
                mi.hSubMenu = sub;
            }
            InsertMenuItemW(into, static_cast<UINT>(GetMenuItemCount(into)), TRUE, &mi);
        }
    }

    // Same items, new texts and states: set in place.
    void Update(TMenuItem* parent, HMENU menu) {
        UINT pos = 0;
        for (int i = 0; i < parent->Count(); ++i) {
            TMenuItem* item = parent->Items(i);
            if (!Shown(item)) continue;
            if (item->Caption != "-") {
                std::wstring text = TextOf(item);
                MENUITEMINFOW mi{};
                mi.cbSize = sizeof mi;
                mi.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU;
                wchar_t buf[512] = {};
                mi.dwTypeData = buf;
                mi.cch = 511;
                GetMenuItemInfoW(menu, pos, TRUE, &mi);
                HMENU sub = mi.hSubMenu;
                mi.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
                mi.fType = item->RadioItem ? MFT_RADIOCHECK : 0;
                mi.fState = (item->Checked ? MFS_CHECKED : 0) | (item->Enabled ? 0 : MFS_DISABLED);
                mi.dwTypeData = text.data();
                SetMenuItemInfoW(menu, pos, TRUE, &mi);
                if (sub) Update(item, sub);
            }
            ++pos;
        }
    }

    void Destroy() {
        if (!handle_) return;
        if (owner_ && IsWindow(owner_) && GetMenu(owner_) == handle_) SetMenu(owner_, nullptr);
        if (DestroyMenu(handle_)) g_counts.Menus -= built_;
        handle_ = nullptr;
    }

    TMenu* menu_;
    bool bar_;
    HMENU handle_ = nullptr;
    HWND owner_ = nullptr;
    long built_ = 0;
    std::vector<TMenuItem*> ids_;
    std::string signature_;
};

TWinMenuView* MenuViewOf(TMenu* menu) {
    if (!menu) return nullptr;
    if (!menu->View()) menu->SetView(std::make_unique<TWinMenuView>(menu, dynamic_cast<TMainMenu*>(menu) != nullptr));
    return static_cast<TWinMenuView*>(menu->View());
}

void AttachMenu(HWND form, TMenu* menu) {
    HMENU want = nullptr;
    if (TWinMenuView* mv = MenuViewOf(menu)) {
        mv->SetOwner(form);
        want = mv->Handle();
    }
    if (GetMenu(form) != want) SetMenu(form, want);
}

TCustomForm* FormOfWindow(HWND h) {
    TWinView* v = ViewOf(GetAncestor(h, GA_ROOT));
    return v ? dynamic_cast<TCustomForm*>(v->Control()) : nullptr;
}

void MenuCommand(HWND h, UINT id) {
    TCustomForm* form = FormOfWindow(h);
    if (!form || !form->Menu) return;
    if (TMenuItem* item = MenuViewOf(form->Menu)->ItemById(id)) item->Click();
}

// The popup menu of the control under the click, or of the nearest parent that has one.
bool ContextMenu(HWND, HWND target, LPARAM lp) {
    TPopupMenu* popup = nullptr;
    for (HWND w = target; w && !popup; w = GetParent(w))
        if (TWinView* v = ViewOf(w)) popup = v->Control()->PopupMenu;
    if (!popup) return false;
    TWinMenuView* mv = MenuViewOf(popup);
    POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    if (lp == -1) GetCursorPos(&pt);
    HWND root = GetAncestor(target, GA_ROOT);
    UINT id =
        static_cast<UINT>(TrackPopupMenu(mv->Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, root, nullptr));
    if (TMenuItem* item = mv->ItemById(id)) item->Click();
    return true;
}

LRESULT CALLBACK TrackProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_NCDESTROY) {
        if (TWinView* v = ViewOf(h)) v->Detach();
        RemovePropW(h, kViewProp);
        RemoveWindowSubclass(h, TrackProc, id);
        --g_counts.Windows;
    }
    return DefSubclassProc(h, msg, wp, lp);
}

// Forms, panels and frames: notifications of the controls inside go to the view of the control
// that sent them; the form hides on close.
LRESULT CALLBACK ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (lp && HIWORD(wp) == BN_CLICKED) {
                if (TWinView* v = ViewOf(h)) v->Clicked(reinterpret_cast<HWND>(lp));
            } else if (!lp && HIWORD(wp) == 0) {
                MenuCommand(h, LOWORD(wp));
            }
            return 0;
        case WM_CONTEXTMENU:
            if (ContextMenu(h, reinterpret_cast<HWND>(wp), lp)) return 0;
            break;
        case WM_NOTIFY: {
            auto* n = reinterpret_cast<NMHDR*>(lp);
            if (n->code == static_cast<UINT>(TCN_SELCHANGE))
                if (TWinView* v = ViewOf(n->hwndFrom)) v->TabChanged();
            return 0;
        }
        case WM_CLOSE:
            if (TWinView* v = ViewOf(h); v && v->Kind() == TKind::Form) {
                ShowWindow(h, SW_HIDE);
                return 0;
            }
            break;
        case WM_SIZE:
            for (HWND child = GetWindow(h, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                if (TWinView* v = ViewOf(child); v && v->Kind() == TKind::StatusBar) SendMessageW(child, WM_SIZE, 0, 0);
            break;
        case WM_PAINT: {
            TWinView* v = ViewOf(h);
            if (v && (v->Kind() == TKind::GroupBox || v->Kind() == TKind::RadioGroup)) {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(h, &ps);
                RECT r;
                GetClientRect(h, &r);
                r.top += 7;
                DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
                int n = GetWindowTextLengthW(h);
                std::wstring text(static_cast<size_t>(n) + 1, L'\0');
                text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), n + 1)));
                HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                SetBkMode(dc, OPAQUE);
                RECT t{8, 0, r.right - 8, 16};
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_LEFT | DT_SINGLELINE);
                SelectObject(dc, old);
                EndPaint(h, &ps);
                return 0;
            }
            if (!v || v->Kind() != TKind::Panel) break;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT r;
            GetClientRect(h, &r);
            if (static_cast<TPanel*>(v->Control())->BevelOuter != bvNone)
                DrawEdge(
                    dc, &r,
                    static_cast<TPanel*>(v->Control())->BevelOuter == bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
                    BF_RECT);
            int n = GetWindowTextLengthW(h);
            std::wstring text(static_cast<size_t>(n) + 1, L'\0');
            text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), n + 1)));
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(dc, old);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_SETFONT:
            SetPropW(h, L"fw.Font", reinterpret_cast<HANDLE>(wp));
            if (LOWORD(lp)) InvalidateRect(h, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(GetPropW(h, L"fw.Font"));
        case WM_NCDESTROY:
            RemovePropW(h, L"fw.Font");
            break;
        default:
            break;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// Every control under root, through frames and other owners, in ownership order.
void CollectControls(TComponent* root, std::vector<TControl*>& out) {
    for (int i = 0; i < root->ComponentCount(); ++i) {
        TComponent* c = root->Components(i);
        if (auto* ctl = dynamic_cast<TControl*>(c)) out.push_back(ctl);
        CollectControls(c, out);
    }
}

void CreateChildren(TControl* parent, HWND parentWnd, const std::vector<TControl*>& all, HWND hints) {
    std::vector<TControl*> children;
    for (TControl* c : all)
        if (c->Parent == parent && !c->View()) children.push_back(c);
    // Windowed controls in their keyboard order; the others where they stand.
    std::stable_sort(children.begin(), children.end(), [](TControl* a, TControl* b) { return TabKey(a) < TabKey(b); });
    if (dynamic_cast<TTabbedNotebook*>(parent))  // pages in the order of their titles
        std::stable_sort(children.begin(), children.end(), [&all](TControl* a, TControl* b) {
            return std::find(all.begin(), all.end(), a) < std::find(all.begin(), all.end(), b);
        });
    for (TControl* c : children) {
        auto view = std::make_unique<TWinView>(c, KindOf(c));
        TWinView* v = view.get();
        c->SetView(std::move(view));
        v->Create(parentWnd, hints);
        CreateChildren(c, v->Handle(), all, hints);
    }
    if (TWinView* pv = ViewOf(parentWnd)) pv->LayoutPages();
}

std::map<const TCustomForm*, HWND>& HintWindows() {
    static std::map<const TCustomForm*, HWND> m;
    return m;
}

}  // namespace

unsigned CharsetCodePage(int charset) {
    if (charset == DEFAULT_CHARSET) return CP_ACP;
    CHARSETINFO ci{};
    if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<uintptr_t>(charset)), &ci, TCI_SRCCHARSET))
        return ci.ciACP;
    return CP_ACP;
}

std::wstring AnsiToWindowText(const std::string& text, int charset) {
    if (text.empty()) return {};
    unsigned cp = CharsetCodePage(charset);
    int n = MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
}

std::wstring TextToWindowText(const TText& text, int charset) {
    if (const std::u16string* wide = text.Wide()) return std::wstring(wide->begin(), wide->end());
    return AnsiToWindowText(text, charset);
}

std::wstring LineToWindowText(const TStrings& lines, int index, int charset) {
    if (const std::u16string* wide = lines.WideStrings(index)) return std::wstring(wide->begin(), wide->end());
    return AnsiToWindowText(lines.Strings(index), charset);
}

std::string WindowTextToAnsi(const std::wstring& text, int charset) {
    if (text.empty()) return {};
    unsigned cp = CharsetCodePage(charset);
    int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void InstallWin32Controls() {
    static bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc,
                                 ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        TFont::SetRealizer(MakeFont, ReleaseFont);
        return true;
    }();
    (void)done;
}

HWND CreateFormWindows(TCustomForm* form) {
    InstallWin32Controls();
    if (auto* v = static_cast<TWinView*>(form->View()); v && v->Handle()) return v->Handle();
    auto view = std::make_unique<TWinView>(form, TKind::Form);
    TWinView* v = view.get();
    form->SetView(std::move(view));
    v->Create(nullptr, nullptr);
    HWND hints =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, v->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hints) {
        ++g_counts.Windows;
        SetWindowSubclass(hints, TrackProc, 1, 0);
        HintWindows()[form] = hints;
    }
    std::vector<TControl*> all;
    CollectControls(form, all);
    CreateChildren(form, v->Handle(), all, hints);
    return v->Handle();
}

void ShowForm(TCustomForm* form, int showCommand) {
    HWND h = CreateFormWindows(form);
    ShowWindow(h, showCommand);
    UpdateWindow(h);
}

void HideForm(TCustomForm* form) {
    if (HWND h = ControlHandle(form)) ShowWindow(h, SW_HIDE);
}

HWND ControlHandle(const TControl* control) {
    auto* v = dynamic_cast<TWinView*>(control->View());
    return v ? v->Handle() : nullptr;
}

HWND HintWindow(const TCustomForm* form) {
    auto it = HintWindows().find(form);
    if (it == HintWindows().end()) return nullptr;
    if (!IsWindow(it->second) || GetWindow(it->second, GW_OWNER) != ControlHandle(form)) {
        HintWindows().erase(it);
        return nullptr;
    }
    return it->second;
}

HMENU MenuHandle(TMenu* menu) {
    TWinMenuView* mv = MenuViewOf(menu);
    return mv ? mv->Handle() : nullptr;
}

TGuiHandleCounts GuiHandleCounts() {
    return g_counts;
}

}  // namespace fw
