#pragma once
// The windows a run shows beyond its boxes: the preview of what it will
// write, and the whole list of the files its report names.

#include "core/RunServices.h"

#include <windows.h>

namespace kalvera {

// The program's boxes; a report whose lists were cut gets 「一覧を表示」,
// which opens every file it names in the list window.
class RunBoxes : public MessageBoxService {
public:
    RunBoxes(HFONT font, int textHeight) : font_(font), textHeight_(textHeight) {}
    void Show(std::wstring_view text, std::wstring_view caption, unsigned flags) override;
    bool Ask(std::wstring_view text, std::wstring_view caption) override;
    void ShowReport(std::wstring_view text, std::wstring_view caption,
                    const std::vector<ListedFile>& listed, std::wstring_view folder) override;

private:
    HFONT font_;
    int textHeight_;
};

// The list window over a run's plan, owned by owner: 「変更の確認」.
class WindowPreview : public PreviewService {
public:
    WindowPreview(HWND owner, HFONT font, int textHeight)
        : owner_(owner), font_(font), textHeight_(textHeight) {}
    bool Confirm(RunPlan& plan) override;

private:
    HWND owner_;
    HFONT font_;
    int textHeight_;
};

inline constexpr wchar_t kPreviewCountsText[] = L"変更: %s個 / 変更しない: %s個";

} // namespace kalvera
