// Reads what a window shows, the way a user or a test driver sees it: the texts of a window
// and of its children (list and combo items, status panels, tab titles, list-view column
// headers, hints), the charset of their fonts and the strings of its menu bar. One line per
// fact, "PATH.what=value", texts in UTF-8 (line ends written \r, \n); PATH names each window by its class and its place
// among the siblings of that class, so two forms of the same design give the same paths.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fw {

struct TWindowReadOptions {
    bool Fonts = true;  // "PATH.charset=N" per window with a font (same process only)
    bool Hints = true;  // "PATH.hint=TEXT" from the form's tooltip window (same process only)
    bool Menus = true;  // "menu[i][j].text=TEXT", with ".checked" where ticked
    // Another process's windows: only what the system carries across processes (window texts,
    // list and combo items); common controls would be handed pointers they cannot use.
    bool OtherProcess = false;
};
std::vector<std::string> ReadWindow(HWND top, const TWindowReadOptions& options = {});

// The strings of a menu and its submenus, "menu[i][j]..." lines as above.
void ReadMenu(HMENU menu, const std::string& path, std::vector<std::string>& out);

std::string WideToUtf8(const std::wstring& w);

}  // namespace fw
