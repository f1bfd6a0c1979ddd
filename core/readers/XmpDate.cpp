#include "core/readers/XmpDate.h"

namespace kalvera {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    return at;
}

// The value of the property at at (just after its name): an attribute's
// quoted text, or an element's text up to its next tag. Empty where
// neither follows.
std::string_view ValueAfter(std::string_view text, std::size_t at, bool element) {
    if (element) {
        const std::size_t open = text.find('>', at);
        if (open == text.npos || (open > at && text[open - 1] == '/'))
            return {};
        const std::size_t close = text.find('<', open + 1);
        return close == text.npos ? std::string_view() : text.substr(open + 1, close - open - 1);
    }
    at = SkipBlanks(text, at);
    if (at >= text.size() || text[at] != '=')
        return {};
    at = SkipBlanks(text, at + 1);
    if (at >= text.size() || (text[at] != '"' && text[at] != '\''))
        return {};
    const std::size_t end = text.find(text[at], at + 1);
    return end == text.npos ? std::string_view() : text.substr(at + 1, end - at - 1);
}

// The first use of the property with a date in it.
std::optional<TakenDate> PropertyDate(std::string_view text, std::string_view name) {
    for (std::size_t at = text.find(name); at != text.npos; at = text.find(name, at + 1)) {
        const std::size_t after = at + name.size();
        const char before = at == 0 ? ' ' : text[at - 1];
        const char next = after < text.size() ? text[after] : '\0';
        // The whole name, not the end of a longer one or its closing tag.
        if (!(IsBlank(before) || before == '<') ||
            !(IsBlank(next) || next == '=' || next == '>' || next == '/'))
            continue;
        std::string_view value = ValueAfter(text, after, before == '<');
        while (!value.empty() && IsBlank(value.front()))
            value.remove_prefix(1);
        while (!value.empty() && IsBlank(value.back()))
            value.remove_suffix(1);
        if (auto date = ParseXmpDate(value))
            return date;
    }
    return std::nullopt;
}

} // namespace

std::optional<TakenDate> DateInXmp(std::string_view packet) {
    for (std::string_view name :
         {"exif:DateTimeOriginal", "xmp:CreateDate", "photoshop:DateCreated"})
        if (auto date = PropertyDate(packet, name))
            return date;
    return std::nullopt;
}

} // namespace kalvera
