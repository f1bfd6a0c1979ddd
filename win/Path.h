#pragma once
// File-system path texts as the platform's wide functions want them.

#include <string>
#include <string_view>
#include <utility>

namespace kalvera {

// True for "X:\...", "\\server\share..." and "\\?\..." texts. A relative text
// (a bare name, "dir\file", "\file", "X:file") depends on the current
// directory and never names the file the user picked.
bool IsFullyQualifiedPath(std::wstring_view path);

// The "\\?\" form of a long fully qualified path, so that calls taking a
// path work past MAX_PATH whatever the system's long-path setting; shorter
// or relative paths come back unchanged.
std::wstring ExtendedLengthPath(std::wstring_view path);

// A folder path and a name joined with one separator.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);
// The folder part of a fully qualified path, and its name; "C:\" keeps its
// separator.
std::pair<std::wstring_view, std::wstring_view> SplitPath(std::wstring_view path);

} // namespace kalvera
