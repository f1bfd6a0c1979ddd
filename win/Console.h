#pragma once
// The console of the program that started this one, for a run without a
// window: text goes to the standard handles where they were redirected (as
// UTF-8, lines ended by CRLF), to the parent's console where there is one,
// and nowhere otherwise. Ctrl+C and Ctrl+Break in that console are taken as
// a request to stop, not as the end of the process.

#include <string_view>

namespace kalvera {

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void Out(std::wstring_view line); // one line, its end added
    void Err(std::wstring_view line);
    // True once Ctrl+C or Ctrl+Break was pressed.
    static bool Interrupted();

private:
    void Write(void* handle, bool redirected, std::wstring_view line);
    void* out_;
    void* err_;
    bool outRedirected_, errRedirected_; // to a file or a pipe
    void* screen_ = nullptr;             // CONOUT$, opened where a handle was not redirected
};

} // namespace kalvera
