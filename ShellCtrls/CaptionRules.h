#pragma once
// The captions of a file-system folder's files, found without asking the
// shell for each one. A file's caption there is its file name, with the
// extension hidden or shown by a rule of its file type. The shell is asked
// once per extension and fill, and its answer tells the rule for the rest:
// in a folder of 20,000 files the shell's display names cost seconds, the
// file names microseconds. Where a caption could be anything else (a folder,
// a folder with a desktop.ini that renames its files, a caption that fits
// neither rule) the shell is asked every time, as for any other item.

#include "ShellCtrls/ShellFolder.h"

#include <string>
#include <unordered_map>

namespace kalvera {

class CaptionRules {
public:
    // For a new fill of the folder of that parsing name; off for anything
    // but a file-system folder, and for one with a desktop.ini (looked for
    // where the folder is read: under Wine a name missing from a large
    // folder costs a pass over all of it).
    void Reset(const std::wstring& folderPath, bool settingsFile);
    // The caption of an item of that folder: its InFolderName.
    std::wstring Caption(const TShellFolder& item);

private:
    enum class Rule { ExtensionShown, ExtensionHidden, AskShell };
    bool enabled_ = false;
    std::unordered_map<std::wstring, Rule> byExtension_;
};

// The extension of a file name with its dot ("" when it has none).
std::wstring ExtensionOf(const std::wstring& fileName);

} // namespace kalvera
