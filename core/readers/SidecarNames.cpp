#include "core/readers/SidecarNames.h"

#include <algorithm>

namespace kalvera {
namespace {

constexpr std::wstring_view kSupplement = L".supplemental-metadata";
// The longest name of a JSON file the export writes, ".json" included.
constexpr std::size_t kLongestJsonName = 51;

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c - L'A' + L'a');
    return lower;
}

bool EndsWith(std::wstring_view text, std::wstring_view end) {
    return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

// A copy's number at the end of stem ("(12)"), taken off it; 0 for none.
std::uint32_t TakeNumber(std::wstring_view& stem) {
    if (stem.size() < 3 || stem.back() != L')')
        return 0;
    const std::size_t open = stem.rfind(L'(');
    if (open == stem.npos || open + 2 == stem.size() || stem.size() - open > 6)
        return 0;
    std::uint32_t number = 0;
    for (std::size_t i = open + 1; i + 1 < stem.size(); ++i) {
        if (stem[i] < L'0' || stem[i] > L'9')
            return 0;
        number = number * 10 + std::uint32_t(stem[i] - L'0');
    }
    if (number == 0)
        return 0;
    stem = stem.substr(0, open);
    return number;
}

// NAME and .EXT of a name; no extension for a name without a dot after its
// first character.
std::pair<std::wstring_view, std::wstring_view> SplitExtension(std::wstring_view name) {
    const std::size_t dot = name.rfind(L'.');
    if (dot == name.npos || dot == 0)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

} // namespace

bool IsJsonName(std::wstring_view name) {
    return EndsWith(name, L".json");
}

bool IsSidecarName(std::wstring_view name) {
    return IsJsonName(name) || EndsWith(name, L".xmp");
}

void SidecarIndex::Add(std::wstring_view name) {
    if (EndsWith(name, L".xmp")) {
        xmp_.emplace(Lower(name.substr(0, name.size() - 4)), std::wstring(name));
    } else if (IsJsonName(name)) {
        std::wstring_view stem = name.substr(0, name.size() - 5);
        const std::uint32_t number = TakeNumber(stem);
        json_[Lower(stem)].push_back({number, std::wstring(name)});
    }
}

// The JSON file of name (NAME.EXT) with the copy's number given: under its
// whole stem, then each shorter cut of it, the longest first.
std::wstring SidecarIndex::FindJson(std::wstring_view name, std::uint32_t number) const {
    const std::wstring full = Lower(name) + std::wstring(kSupplement);
    const std::size_t numberLength = number ? std::to_wstring(number).size() + 2 : 0;
    const std::size_t longest = kLongestJsonName - 5 - numberLength;
    auto at = [&](std::size_t length) -> std::wstring {
        const auto found = json_.find(full.substr(0, length));
        if (found == json_.end())
            return {};
        for (const Json& json : found->second)
            if (json.number == number)
                return json.name;
        return {};
    };
    // A stem the export cut for its length.
    if (full.size() > longest)
        if (std::wstring cut = at(longest); !cut.empty())
            return cut;
    // The supplement cut anywhere after its first letter, or left out.
    for (std::size_t length = std::min(full.size(), longest); length >= name.size() + 2; --length)
        if (std::wstring found = at(length); !found.empty())
            return found;
    return name.size() <= longest ? at(name.size()) : std::wstring();
}

std::wstring SidecarIndex::OwnJson(std::wstring_view name) const {
    if (std::wstring found = FindJson(name, 0); !found.empty())
        return found;
    // A numbered copy, NAME(1).EXT: the number after the cut part.
    auto [stem, extension] = SplitExtension(name);
    if (const std::uint32_t number = TakeNumber(stem))
        return FindJson(std::wstring(stem) + std::wstring(extension), number);
    return {};
}

std::wstring SidecarIndex::Find(std::wstring_view name) const {
    if (std::wstring found = OwnJson(name); !found.empty())
        return found;
    const auto [stem, extension] = SplitExtension(name);
    // An edited copy, NAME-edited.EXT, takes the JSON of NAME.EXT.
    if (const std::size_t dash = stem.rfind(L'-'); dash != stem.npos && dash > 0)
        if (std::wstring found =
                OwnJson(std::wstring(stem.substr(0, dash)) + std::wstring(extension));
            !found.empty())
            return found;
    // A motion photo's movie takes its photo's: NAME.MOV that of
    // NAME.HEIC, NAME.MP that of NAME.MP.jpg.
    const std::wstring lowerExtension = Lower(extension);
    if (lowerExtension == L".mp" || lowerExtension == L".mp4" || lowerExtension == L".mov")
        for (std::wstring_view photo : {L".jpg", L".jpeg", L".heic"})
            for (std::wstring_view base : {stem, name})
                if (std::wstring found = OwnJson(std::wstring(base) + std::wstring(photo));
                    !found.empty())
                    return found;
    for (std::wstring_view key : {name, stem}) {
        const auto found = xmp_.find(Lower(key));
        if (found != xmp_.end())
            return found->second;
    }
    return {};
}

} // namespace kalvera
