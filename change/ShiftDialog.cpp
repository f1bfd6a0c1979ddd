#include "change/ShiftDialog.h"
#include "ui/Application.h"
#include "ui/CodeDialog.h"
#include "core/RunTimestampChange.h"
#include "win/Error.h"

#include <commctrl.h>

#include <exception>
#include <string>

namespace kalvera {
namespace {

enum : int { kFirstBox = 100, kLater = 110, kEarlier };

struct Amount {
    const wchar_t* label;
    int most;
    std::int64_t seconds; // of one unit
};
constexpr Amount kAmounts[] = {
    {L"日", 36500, 86400}, {L"時間", 23, 3600}, {L"分", 59, 60}, {L"秒", 59, 1}};

struct DialogState {
    HFONT font;
    int textHeight;
    std::int64_t seconds = 0;
    std::exception_ptr failure;

    int Scale(int value) const { return MulDiv(value, textHeight, 12); }
};

HWND MakeChild(HWND dialog, const DialogState& state, const wchar_t* type, const wchar_t* text,
               DWORD style, int id, int left, int top, int width, int height, DWORD exStyle = 0) {
    return MakeDialogChild(
        dialog, state.font, type, text, style, id,
        {state.Scale(left), state.Scale(top), state.Scale(left + width), state.Scale(top + height)},
        exStyle);
}

// The children in tab order, the dialog sized to them and centred on its
// owner.
void Build(HWND dialog, const DialogState& state) {
    int top = 12;
    for (int i = 0; i < 4; ++i, top += 28) {
        MakeChild(dialog, state, L"Static", kAmounts[i].label, SS_LEFT | SS_CENTERIMAGE, -1, 12,
                  top, 40, 22);
        HWND box = MakeChild(dialog, state, L"Edit", L"0",
                             ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP,
                             kFirstBox + i, 56, top, 80, 22, WS_EX_CLIENTEDGE);
        SendMessageW(box, EM_LIMITTEXT, 6, 0);
        HWND arrows = MakeChild(dialog, state, UPDOWN_CLASSW, nullptr,
                                UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                                -1, 0, 0, 0, 0);
        SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(box), 0);
        SendMessageW(arrows, UDM_SETRANGE32, 0, kAmounts[i].most);
        SendMessageW(arrows, UDM_SETPOS32, 0, 0);
    }
    MakeChild(dialog, state, L"Button", L"進める", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP,
              kLater, 156, 14, 100, 20);
    MakeChild(dialog, state, L"Button", L"戻す", BS_AUTORADIOBUTTON, kEarlier, 156, 40, 100, 20);
    CheckRadioButton(dialog, kLater, kEarlier, kLater);
    MakeChild(dialog, state, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, 60,
              top + 6, 88, 25);
    MakeChild(dialog, state, L"Button", L"キャンセル", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 156,
              top + 6, 88, 25);

    CentreOnOwner(dialog, state.Scale(268), state.Scale(top + 43));
    SetFocus(GetDlgItem(dialog, kFirstBox));
    SendDlgItemMessageW(dialog, kFirstBox, EM_SETSEL, 0, -1);
}

// A box's number, when it is one in its range.
bool ReadBox(HWND dialog, int index, std::int64_t& value) {
    wchar_t text[16] = L"";
    GetDlgItemTextW(dialog, kFirstBox + index, text, 16);
    std::wstring digits(text);
    digits.erase(0, digits.find_first_not_of(L' '));
    digits.erase(digits.find_last_not_of(L' ') + 1);
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    value = std::stoll(digits);
    return value <= kAmounts[index].most;
}

// The dialog stays open on a number out of range or a shift of nothing,
// with the box to mend selected.
void Refuse(HWND dialog, int index, const std::wstring& text) {
    ApplicationMessageBox(text, kErrorCaption, MB_ICONEXCLAMATION);
    HWND box = GetDlgItem(dialog, kFirstBox + index);
    SetFocus(box);
    SendMessageW(box, EM_SETSEL, 0, -1);
}

void Accept(HWND dialog, DialogState& state) {
    std::int64_t seconds = 0;
    for (int i = 0; i < 4; ++i) {
        std::int64_t value = 0;
        if (!ReadBox(dialog, i, value)) {
            Refuse(dialog, i,
                   FormatMessageText(FormatMessageText(kShiftRangeText, kAmounts[i].label),
                                     std::to_wstring(kAmounts[i].most)));
            return;
        }
        seconds += value * kAmounts[i].seconds;
    }
    if (seconds == 0) {
        Refuse(dialog, 0, kShiftNothingText);
        return;
    }
    state.seconds = IsDlgButtonChecked(dialog, kEarlier) ? -seconds : seconds;
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK ShiftDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(
        message == WM_INITDIALOG ? lParam : GetWindowLongPtrW(dialog, DWLP_USER));
    try {
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            SetWindowTextW(dialog, kShiftCaption);
            Build(dialog, *state);
            return FALSE; // the focus is set
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                Accept(dialog, *state);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
    } catch (...) {
        // Nothing crosses into the dialog manager: the failure is raised
        // again once the dialog is gone.
        if (state)
            state->failure = std::current_exception();
        EndDialog(dialog, IDABORT);
        return TRUE;
    }
    return FALSE;
}

} // namespace

std::optional<std::int64_t> AskShift(HWND owner, HFONT font, int textHeight) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);
    DialogState state{font, textHeight};
    const INT_PTR result = RunCodeDialog(owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                         ShiftDialogProc, &state);
    if (state.failure)
        std::rethrow_exception(state.failure);
    if (result != IDOK)
        return std::nullopt;
    return state.seconds;
}

} // namespace kalvera
