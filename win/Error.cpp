#include "win/Error.h"

#include <windows.h>

namespace kalvera {

Error::Error(std::wstring message) : message_(std::move(message)), narrow_(ToUtf8(message_)) {}

std::wstring FormatMessageText(std::wstring_view pattern, std::wstring_view text) {
    std::wstring result(pattern);
    if (auto at = result.find(L"%s"); at != std::wstring::npos)
        result.replace(at, 2, text);
    return result;
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

} // namespace kalvera
