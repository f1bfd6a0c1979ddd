#pragma once
// Why the system refused a file, in words a user can act on: the common
// causes in the program's own words, any other in the system's message
// (Japanese where the system has it). The same cause reads the same in
// every run, its preview and report, and every undo.

#include <string_view>

namespace kalvera {

// A refused open of a target for setting its times (error: the system's
// code, as GetLastError gave it).
std::wstring_view CantOpenReason(unsigned long error);
// A refused listing of a folder that is read.
std::wstring_view CantListReason(unsigned long error);

} // namespace kalvera
