#pragma once
// The program's failures: exceptions carrying the text the user is shown.
// Handlers never catch them; the window procedures and the message loop do,
// and show them in the error box.

#include <exception>
#include <string>
#include <string_view>

namespace kalvera {

class Error : public std::exception {
public:
    explicit Error(std::wstring message);
    const std::wstring& Message() const noexcept { return message_; }
    // UTF-8 form of the message, for diagnostics outside the user interface.
    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    std::wstring message_;
    std::string narrow_;
};

// A path or root name that the shell could not resolve.
class InvalidPathError : public Error {
public:
    using Error::Error;
};

// An index outside a list's rows or a tree's nodes.
class ListIndexError : public Error {
public:
    using Error::Error;
};

// A platform call failed with the code it returned.
class PlatformError : public Error {
public:
    PlatformError(std::wstring message, long code) : Error(std::move(message)), code_(code) {}
    long Code() const noexcept { return code_; }

private:
    long code_;
};

// Replaces the first "%s" of a message pattern with text; other characters
// stay as they are, so a "%" inside the substituted text is never expanded.
std::wstring FormatMessageText(std::wstring_view pattern, std::wstring_view text);

std::string ToUtf8(std::wstring_view text);

} // namespace kalvera
