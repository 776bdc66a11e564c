#include "WindowReader.h"

#include <commctrl.h>

#include <map>

namespace fw {

namespace {

std::wstring ClassOf(HWND h) {
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring TextOf(HWND h) {
    int n = static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    n = static_cast<int>(SendMessageW(h, WM_GETTEXT, t.size(), reinterpret_cast<LPARAM>(t.data())));
    t.resize(static_cast<size_t>(n > 0 ? n : 0));
    return t;
}

bool Same(const std::wstring& a, const wchar_t* b) {
    return lstrcmpiW(a.c_str(), b) == 0;
}

// Line ends inside a value are written as \r and \n, so that each fact stays one line.
std::string Escaped(const std::wstring& v) {
    std::string s = WideToUtf8(v), out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void Add(std::vector<std::string>& out, const std::string& path, const char* what, const std::wstring& v) {
    out.push_back(path + "." + what + "=" + Escaped(v));
}

void ReadItems(HWND h, UINT countMsg, UINT lenMsg, UINT textMsg, const std::string& path, const char* what,
               std::vector<std::string>& out) {
    int count = static_cast<int>(SendMessageW(h, countMsg, 0, 0));
    for (int i = 0; i < count; ++i) {
        int len = static_cast<int>(SendMessageW(h, lenMsg, i, 0));
        if (len < 0) continue;
        std::wstring t(static_cast<size_t>(len) + 1, L'\0');
        SendMessageW(h, textMsg, i, reinterpret_cast<LPARAM>(t.data()));
        t.resize(static_cast<size_t>(len));
        Add(out, path, (std::string(what) + "[" + std::to_string(i) + "]").c_str(), t);
    }
}

void ReadOne(HWND h, const std::string& path, const TWindowReadOptions& o, std::map<HWND, std::wstring>& hints,
             std::vector<std::string>& out) {
    std::wstring cls = ClassOf(h);
    bool visible = (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0;
    out.push_back(path + ".visible=" + (visible ? "1" : "0"));
    if (!IsWindowEnabled(h)) out.push_back(path + ".enabled=0");
    if (Same(cls, L"LISTBOX")) {
        ReadItems(h, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, path, "items", out);
    } else if (Same(cls, L"COMBOBOX")) {
        Add(out, path, "text", TextOf(h));
        ReadItems(h, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, path, "items", out);
    } else if (o.OtherProcess &&
               (Same(cls, STATUSCLASSNAMEW) || Same(cls, WC_TABCONTROLW) || Same(cls, WC_LISTVIEWW))) {
        // not readable from here
    } else if (Same(cls, STATUSCLASSNAMEW)) {
        int parts = static_cast<int>(SendMessageW(h, SB_GETPARTS, 0, 0));
        bool simple = SendMessageW(h, SB_ISSIMPLE, 0, 0) != 0;
        for (int i = 0; i < (simple ? 1 : parts); ++i) {
            WPARAM id = simple ? SB_SIMPLEID : static_cast<WPARAM>(i);
            int len = LOWORD(SendMessageW(h, SB_GETTEXTLENGTHW, id, 0));
            std::wstring t(static_cast<size_t>(len) + 1, L'\0');
            SendMessageW(h, SB_GETTEXTW, id, reinterpret_cast<LPARAM>(t.data()));
            t.resize(static_cast<size_t>(len));
            Add(out, path, (simple ? std::string("simple") : "panels[" + std::to_string(i) + "]").c_str(), t);
        }
    } else if (Same(cls, WC_TABCONTROLW)) {
        int count = TabCtrl_GetItemCount(h);
        for (int i = 0; i < count; ++i) {
            wchar_t buf[512] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = buf;
            item.cchTextMax = 512;
            SendMessageW(h, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
            Add(out, path, ("tabs[" + std::to_string(i) + "]").c_str(), item.pszText ? item.pszText : L"");
        }
        out.push_back(path + ".selected=" + std::to_string(TabCtrl_GetCurSel(h)));
    } else if (Same(cls, WC_LISTVIEWW)) {
        HWND header = ListView_GetHeader(h);
        int count = header ? Header_GetItemCount(header) : 0;
        for (int i = 0; i < count; ++i) {
            wchar_t buf[512] = {};
            LVCOLUMNW col{};
            col.mask = LVCF_TEXT;
            col.pszText = buf;
            col.cchTextMax = 512;
            SendMessageW(h, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
            Add(out, path, ("columns[" + std::to_string(i) + "]").c_str(), buf);
        }
    } else {
        Add(out, path, "text", TextOf(h));
        if (Same(cls, L"BUTTON")) {
            LRESULT st = SendMessageW(h, BM_GETCHECK, 0, 0);
            if (st == BST_CHECKED) out.push_back(path + ".checked=1");
        }
    }
    if (o.Fonts)
        if (auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0))) {
            LOGFONTW lf{};
            if (GetObjectW(font, sizeof lf, &lf))
                out.push_back(path + ".charset=" + std::to_string(static_cast<int>(lf.lfCharSet)));
        }
    if (auto it = hints.find(h); it != hints.end()) Add(out, path, "hint", it->second);
}

void ReadTree(HWND h, const std::string& path, const TWindowReadOptions& o, std::map<HWND, std::wstring>& hints,
              std::vector<std::string>& out) {
    ReadOne(h, path, o, hints, out);
    std::map<std::wstring, int> seen;
    for (HWND child = GetWindow(h, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring cls = ClassOf(child);
        int n = seen[cls]++;
        std::wstring ucls = cls;
        CharUpperW(ucls.data());
        // Parts of common controls (a list view's header, a tab control's scroll arrows) are
        // read through their control.
        if (Same(cls, WC_HEADERW) || Same(cls, UPDOWN_CLASSW)) continue;
        ReadTree(child, path + "/" + WideToUtf8(ucls) + "[" + std::to_string(n) + "]", o, hints, out);
    }
}

struct THintSearch {
    HWND top;
    std::map<HWND, std::wstring>* hints;
};

BOOL CALLBACK CollectHints(HWND w, LPARAM lp) {
    auto* c = reinterpret_cast<THintSearch*>(lp);
    if (GetWindow(w, GW_OWNER) != c->top || !Same(ClassOf(w), TOOLTIPS_CLASSW)) return TRUE;
    int count = static_cast<int>(SendMessageW(w, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buf[1024] = {};
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.lpszText = buf;
        if (!SendMessageW(w, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&ti))) continue;
        if (ti.uFlags & TTF_IDISHWND) (*c->hints)[reinterpret_cast<HWND>(ti.uId)] = buf;
    }
    return TRUE;
}

// The tools of the tooltip windows the top window owns: window -> hint text.
std::map<HWND, std::wstring> Hints(HWND top) {
    std::map<HWND, std::wstring> hints;
    THintSearch search{top, &hints};
    EnumThreadWindows(GetWindowThreadProcessId(top, nullptr), CollectHints, reinterpret_cast<LPARAM>(&search));
    return hints;
}

}  // namespace

std::string WideToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void ReadMenu(HMENU menu, const std::string& path, std::vector<std::string>& out) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        std::string at = path + "[" + std::to_string(i) + "]";
        wchar_t buf[512] = {};
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_STRING | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE;
        mi.dwTypeData = buf;
        mi.cch = 511;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mi)) continue;
        if (mi.fType & MFT_SEPARATOR) {
            out.push_back(at + ".separator=1");
            continue;
        }
        out.push_back(at + ".text=" + Escaped(buf));
        if (mi.fState & MFS_CHECKED) out.push_back(at + ".checked=1");
        if (mi.fState & MFS_DISABLED) out.push_back(at + ".enabled=0");
        if (mi.hSubMenu) ReadMenu(mi.hSubMenu, at, out);
    }
}

std::vector<std::string> ReadWindow(HWND top, const TWindowReadOptions& options) {
    std::vector<std::string> out;
    TWindowReadOptions o = options;
    if (o.OtherProcess) o.Fonts = o.Hints = o.Menus = false;
    std::map<HWND, std::wstring> hints;
    if (o.Hints) hints = Hints(top);
    std::wstring cls = ClassOf(top);
    CharUpperW(cls.data());
    ReadTree(top, WideToUtf8(cls), o, hints, out);
    out.erase(out.begin());  // whether the form itself is shown is the caller's business
    if (o.Menus)
        if (HMENU menu = GetMenu(top)) ReadMenu(menu, "menu", out);
    return out;
}

}  // namespace fw
