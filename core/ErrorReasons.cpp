#include "core/ErrorReasons.h"
#include "core/RunTimestampChange.h"
#include "win/Sync.h"

#include <windows.h>

#include <map>
#include <string>

namespace kalvera {
namespace {

// The system's own message for any other error, kept for the program's
// life: a reason is a view, shown long after the worker that met it.
std::wstring_view SystemReason(DWORD error) {
    static Mutex lock;
    static std::map<DWORD, std::wstring> texts;
    std::lock_guard guard(lock);
    if (const auto known = texts.find(error); known != texts.end())
        return known->second;
    std::wstring text;
    for (const LANGID language :
         {LANGID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)), LANGID(0)}) {
        wchar_t* message = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                FORMAT_MESSAGE_ALLOCATE_BUFFER,
            nullptr, error, language, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
        if (length) {
            text.assign(message, length);
            LocalFree(message);
            break;
        }
    }
    // One line, without its full stop, as the program's own reasons read.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'。' || text.back() == L'.'))
        text.pop_back();
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    if (text.empty())
        text = std::wstring(kCantOpenText) + L" (" + std::to_wstring(error) + L")";
    return texts.emplace(error, std::move(text)).first->second;
}

std::wstring_view CommonReason(DWORD error) {
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return kInUseText;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return kGoneText;
    case ERROR_FILENAME_EXCED_RANGE:
        return kPathTooLongText;
    default:
        return SystemReason(error);
    }
}

} // namespace

std::wstring_view CantOpenReason(unsigned long error) {
    return error == ERROR_ACCESS_DENIED ? kNotAllowedText : CommonReason(error);
}

std::wstring_view CantListReason(unsigned long error) {
    return error == ERROR_ACCESS_DENIED ? kNotReadableText : CommonReason(error);
}

} // namespace kalvera
