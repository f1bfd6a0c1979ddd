#pragma once
// Dialogs made in code rather than from a template: their procedures make
// the children at the owner's scale when the dialog starts.

#include <windows.h>

namespace kalvera {

// Runs a modal dialog of the style given, with no child in its template;
// its procedure gets state as WM_INITDIALOG's lParam.
INT_PTR RunCodeDialog(HWND owner, DWORD style, DLGPROC procedure, void* state);
// A visible child of the dialog in the font given, at the bounds given in
// pixels (none: laid out later).
HWND MakeDialogChild(HWND dialog, HFONT font, const wchar_t* type, const wchar_t* text, DWORD style,
                     int id, const RECT& bounds = {}, DWORD exStyle = 0);
// Gives the dialog a client area of the size given, centred on its owner.
void CentreOnOwner(HWND dialog, int clientWidth, int clientHeight);

} // namespace kalvera
