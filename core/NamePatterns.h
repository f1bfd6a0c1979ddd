#pragma once
// The names a folder or tree run takes: patterns separated by ";"
// ("*.jpg;*.heic"), each matched against a file's name as Explorer matches
// it, case-insensitively. No pattern takes every name.

#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

class NamePatterns {
public:
    explicit NamePatterns(std::wstring_view text);
    bool Empty() const { return patterns_.empty(); }
    // The first pattern with a character no file name can have; empty when
    // there is none.
    std::wstring_view Invalid() const { return invalid_; }
    bool Matches(std::wstring_view name) const;

private:
    std::vector<std::wstring> patterns_;
    std::wstring invalid_;
};

} // namespace kalvera
