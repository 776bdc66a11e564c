// Forms and controls on screen: each form becomes a top-level window and its controls child
// windows of the standard and common-control classes. The component model stays the one truth:
// a window reads its control's state when it is made and again whenever the control tells of
// a change (published properties, string lists, collections, fonts), so a language switch
// changes the open windows in place and windows made later come up in the new language.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Components.h"
#include "framework/StdCtrls.h"

namespace fw {

// Real system fonts for TFont and the common controls; once, before the first form is shown.
void InstallWin32Controls();

// Makes the windows of a form and of every control under it (hidden); returns the form's.
HWND CreateFormWindows(TCustomForm* form);
// Makes the windows when needed and shows the form.
void ShowForm(TCustomForm* form, int showCommand = SW_SHOWNORMAL);
void HideForm(TCustomForm* form);
// The window of a control, or none when it has not been made.
HWND ControlHandle(const TControl* control);
// The tooltip window that shows the hints of a form's controls (none before it is made).
HWND HintWindow(const TCustomForm* form);

// The menu handle that shows a menu bar or popup menu (made when first asked for).
HMENU MenuHandle(TMenu* menu);

// The window, font and menu handles the framework made and has not yet destroyed.
struct TGuiHandleCounts {
    long Windows = 0;
    long Fonts = 0;
    long Menus = 0;
    bool operator==(const TGuiHandleCounts&) const = default;
};
TGuiHandleCounts GuiHandleCounts();

// The code page of the 8-bit texts shown with a font of that charset (the system's ANSI code
// page for the default charset); texts go to the windows as UTF-16 through it.
unsigned CharsetCodePage(int charset);
std::wstring AnsiToWindowText(const std::string& text, int charset);
std::string WindowTextToAnsi(const std::wstring& text, int charset);
// A control's text as a window shows it: the UTF-16 text it keeps, else its 8-bit text through
// the charset's code page; the same for a line of a string list.
std::wstring TextToWindowText(const TText& text, int charset);
std::wstring LineToWindowText(const TStrings& lines, int index, int charset);

}  // namespace fw
