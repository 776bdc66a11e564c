// The framework's message dialog: a real dialog window with an icon, the text and one push
// button per requested button, in the order given.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace fw {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore };

// Modal results; a button's result equals its control id.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7;

// Shows the dialog owned by the application window. The first of OK/Yes is the default
// button. Escape selects the Cancel button when there is one, otherwise the OK button; the
// close box gives mrCancel, which no button but Cancel gives.
int MessageDlg(const std::string& text, TMsgDlgType type, std::initializer_list<TMsgDlgBtn> buttons,
               int helpContext = 0);

std::string MsgDlgCaption(TMsgDlgType type);
std::string MsgDlgButtonCaption(TMsgDlgBtn button);
int MsgDlgButtonResult(TMsgDlgBtn button);

}  // namespace fw
