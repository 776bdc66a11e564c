#include "framework/win32/Dialogs.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/win32/Forms.h"

namespace fw {
namespace {

struct DlgState {
    std::string text;
    TMsgDlgType type;
    std::vector<TMsgDlgBtn> buttons;
    int escapeResult = mrCancel;
    int defaultId = 0;
};

constexpr int kIconId = 100;
constexpr int kTextId = 101;

LPCSTR IconFor(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning:
            return MAKEINTRESOURCEA(32515);  // IDI_WARNING
        case TMsgDlgType::mtError:
            return MAKEINTRESOURCEA(32513);  // IDI_ERROR
        case TMsgDlgType::mtInformation:
            return MAKEINTRESOURCEA(32516);  // IDI_INFORMATION
        case TMsgDlgType::mtConfirmation:
            return MAKEINTRESOURCEA(32514);  // IDI_QUESTION
        default:
            return nullptr;
    }
}

void Layout(HWND dlg, DlgState& st) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0));
    HINSTANCE inst = GetModuleHandleA(nullptr);
    RECT unitRect{0, 0, 4, 8};
    MapDialogRect(dlg, &unitRect);
    const int du4x = unitRect.right, du8y = unitRect.bottom;  // 4 horizontal, 8 vertical dialog units
    const int margin = du4x * 2;
    const int buttonW = du4x * 50 / 4;  // 50 dialog units
    const int buttonH = du8y * 14 / 8;
    const int gap = du4x;

    // Text size: wrap at a third of the screen width, as wide as the longest line otherwise.
    HDC dc = GetDC(dlg);
    HGDIOBJ old = SelectObject(dc, font);
    RECT tr{0, 0, std::max(200, GetSystemMetrics(SM_CXSCREEN) / 3), 0};
    DrawTextA(dc, st.text.c_str(), static_cast<int>(st.text.size()), &tr,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(dlg, dc);

    int x = margin, y = margin;
    LPCSTR icon = IconFor(st.type);
    int iconW = 0;
    if (icon) {
        HWND ic = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ICON, x, y, 32, 32, dlg,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIconId)), inst, nullptr);
        SendMessageA(ic, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, icon)), 0);
        iconW = 32 + margin;
    }
    int textW = tr.right - tr.left, textH = tr.bottom - tr.top;
    HWND label =
        CreateWindowExA(0, "STATIC", st.text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, x + iconW, y,
                        textW, textH, dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), inst, nullptr);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    int n = static_cast<int>(st.buttons.size());
    int buttonsW = n * buttonW + (n - 1) * gap;
    int clientW = std::max(iconW + textW, buttonsW) + 2 * margin;
    int buttonsY = y + std::max(textH, icon ? 32 : 0) + du8y * 3 / 2;
    int bx = (clientW - buttonsW) / 2;
    HWND first = nullptr, def = nullptr;
    for (TMsgDlgBtn b : st.buttons) {
        int id = MsgDlgButtonResult(b);
        bool isDefault = id == st.defaultId;
        std::string cap = MsgDlgButtonCaption(b);
        HWND h = CreateWindowExA(0, "BUTTON", cap.c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                 bx, buttonsY, buttonW, buttonH, dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 inst, nullptr);
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (!first) first = h;
        if (isDefault) def = h;
        bx += buttonW + gap;
    }
    int clientH = buttonsY + buttonH + margin;
    RECT wr{0, 0, clientW, clientH};
    AdjustWindowRectEx(&wr, static_cast<DWORD>(GetWindowLongA(dlg, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(dlg, GWL_EXSTYLE)));
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    int sx = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, sy = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    SetWindowPos(dlg, HWND_TOP, sx, sy, w, h, 0);
    if (st.defaultId) SendMessageA(dlg, DM_SETDEFID, static_cast<WPARAM>(st.defaultId), 0);
    SetFocus(def ? def : first);
}

INT_PTR CALLBACK DlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<DlgState*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lp);
            st = reinterpret_cast<DlgState*>(lp);
            SetWindowTextA(dlg, MsgDlgCaption(st->type).c_str());
            Layout(dlg, *st);
            SetForegroundWindow(dlg);
            return FALSE;  // focus set by Layout
        case WM_COMMAND: {
            int id = LOWORD(wp);
            if (id == IDCANCEL) {
                // Escape (or Cancel): the dialog's Cancel button if it has one, else OK.
                EndDialog(dlg, st->escapeResult);
                return TRUE;
            }
            for (TMsgDlgBtn b : st->buttons)
                if (MsgDlgButtonResult(b) == id) {
                    EndDialog(dlg, id);
                    return TRUE;
                }
            return FALSE;
        }
        case WM_CLOSE:
            // The close box: no button's answer.
            EndDialog(dlg, mrCancel);
            return TRUE;
    }
    return FALSE;
}

// An empty in-memory dialog template with the shell dialog font; the controls are created
// when the dialog initialises, sized to the text.
std::vector<WORD> EmptyTemplate() {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    d->dwExtendedStyle = WS_EX_DLGMODALFRAME;
    d->cdit = 0;
    d->cx = 100;
    d->cy = 50;
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    t.push_back(0);  // empty title (set at init)
    t.push_back(8);  // point size
    for (const char* f = "MS Shell Dlg"; *f; ++f) t.push_back(static_cast<WORD>(*f));
    t.push_back(0);
    return t;
}

}  // namespace

std::string MsgDlgCaption(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning:
            return "Warning";
        case TMsgDlgType::mtError:
            return "Error";
        case TMsgDlgType::mtInformation:
            return "Information";
        case TMsgDlgType::mtConfirmation:
            return "Confirm";
        default:
            return "";
    }
}

std::string MsgDlgButtonCaption(TMsgDlgBtn button) {
    switch (button) {
        case TMsgDlgBtn::mbYes:
            return "&Yes";
        case TMsgDlgBtn::mbNo:
            return "&No";
        case TMsgDlgBtn::mbOK:
            return "OK";
        case TMsgDlgBtn::mbCancel:
            return "Cancel";
        case TMsgDlgBtn::mbAbort:
            return "&Abort";
        case TMsgDlgBtn::mbRetry:
            return "&Retry";
        case TMsgDlgBtn::mbIgnore:
            return "&Ignore";
    }
    return "";
}

int MsgDlgButtonResult(TMsgDlgBtn button) {
    switch (button) {
        case TMsgDlgBtn::mbYes:
            return mrYes;
        case TMsgDlgBtn::mbNo:
            return mrNo;
        case TMsgDlgBtn::mbOK:
            return mrOk;
        case TMsgDlgBtn::mbCancel:
            return mrCancel;
        case TMsgDlgBtn::mbAbort:
            return mrAbort;
        case TMsgDlgBtn::mbRetry:
            return mrRetry;
        case TMsgDlgBtn::mbIgnore:
            return mrIgnore;
    }
    return mrNone;
}

int MessageDlg(const std::string& text, TMsgDlgType type, std::initializer_list<TMsgDlgBtn> buttons, int) {
    DlgState st;
    st.text = text;
    st.type = type;
    st.buttons.assign(buttons.begin(), buttons.end());
    bool hasCancel = std::find(st.buttons.begin(), st.buttons.end(), TMsgDlgBtn::mbCancel) != st.buttons.end();
    bool hasOk = std::find(st.buttons.begin(), st.buttons.end(), TMsgDlgBtn::mbOK) != st.buttons.end();
    bool hasYes = std::find(st.buttons.begin(), st.buttons.end(), TMsgDlgBtn::mbYes) != st.buttons.end();
    st.defaultId = hasOk ? mrOk : hasYes ? mrYes : (st.buttons.empty() ? 0 : MsgDlgButtonResult(st.buttons.front()));
    st.escapeResult = hasCancel ? mrCancel : hasOk ? mrOk : mrCancel;
    std::vector<WORD> tmpl = EmptyTemplate();
    INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()),
                                        Application().Handle(), DlgProc, reinterpret_cast<LPARAM>(&st));
    return r < 0 ? mrNone : static_cast<int>(r);
}

}  // namespace fw
