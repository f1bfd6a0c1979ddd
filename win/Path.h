#pragma once
// File-system path texts as the platform's wide functions want them.

#include <string>
#include <string_view>

namespace kalvera {

// True for "X:\...", "\\server\share..." and "\\?\..." texts. A relative text
// (a bare name, "dir\file", "\file", "X:file") depends on the current
// directory and never names the file the user picked.
bool IsFullyQualifiedPath(std::wstring_view path);

// The "\\?\" form of a long fully qualified path, so that calls taking a
// path work past MAX_PATH whatever the system's long-path setting; shorter
// or relative paths come back unchanged.
std::wstring ExtendedLengthPath(std::wstring_view path);

} // namespace kalvera
