#include "ShellCtrls/CaptionRules.h"
#include "win/Path.h"

#include <windows.h>

#include <cwctype>

namespace kalvera {

std::wstring ExtensionOf(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : fileName.substr(dot);
}

void CaptionRules::Reset(const std::wstring& path, bool settingsFile) {
    byExtension_.clear();
    enabled_ = false;
    // Only a folder of the file system: its path names a directory.
    if (!IsFullyQualifiedPath(path))
        return;
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    // A desktop.ini can give the folder's files captions of their own.
    enabled_ = !settingsFile;
}

std::wstring CaptionRules::Caption(const TShellFolder& item) {
    if (!enabled_ || item.IsFolderItem())
        return item.InFolderName();
    const std::wstring fileName = item.InFolderParsingName();
    std::wstring extension = ExtensionOf(fileName);
    for (auto& c : extension)
        c = static_cast<wchar_t>(std::towlower(c));
    const auto known = byExtension_.find(extension);
    if (known != byExtension_.end()) {
        switch (known->second) {
        case Rule::ExtensionShown:
            return fileName;
        case Rule::ExtensionHidden:
            return fileName.substr(0, fileName.size() - extension.size());
        case Rule::AskShell:
            return item.InFolderName();
        }
    }
    std::wstring caption = item.InFolderName();
    Rule rule = Rule::AskShell;
    if (caption == fileName)
        rule = Rule::ExtensionShown;
    else if (!extension.empty() &&
             caption == fileName.substr(0, fileName.size() - extension.size()))
        rule = Rule::ExtensionHidden;
    byExtension_.emplace(std::move(extension), rule);
    return caption;
}

} // namespace kalvera
