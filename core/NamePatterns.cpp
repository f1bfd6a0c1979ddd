#include "core/NamePatterns.h"

#include <windows.h>
#include <shlwapi.h>

namespace kalvera {

NamePatterns::NamePatterns(std::wstring_view text) {
    constexpr std::wstring_view kNotInNames = L"\\/:\"<>|";
    while (!text.empty()) {
        const size_t end = std::min(text.find(L';'), text.size());
        std::wstring_view part = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        while (!part.empty() && part.front() == L' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == L' ')
            part.remove_suffix(1);
        if (part.empty())
            continue;
        bool valid = part.find_first_of(kNotInNames) == part.npos;
        for (wchar_t c : part)
            valid = valid && c >= L' ';
        if (!valid && invalid_.empty())
            invalid_ = part;
        patterns_.emplace_back(part);
    }
}

bool NamePatterns::Matches(std::wstring_view name) const {
    if (patterns_.empty())
        return true;
    const std::wstring text(name);
    for (const std::wstring& pattern : patterns_)
        if (PathMatchSpecW(text.c_str(), pattern.c_str()))
            return true;
    return false;
}

} // namespace kalvera
