#include "tests/windows/support/recording_dialogs.h"

namespace testing_support {

void RecordingDialogs::MsgBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                              fw::MsgIcon icon) {
    boxes.push_back({owner, prompt, title, icon});
    log.push_back(title + L": " + prompt);
}

std::optional<std::wstring> RecordingDialogs::BrowseForFolder(const std::wstring& title) {
    browseTitles.push_back(title);
    log.push_back(L"browse");
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace testing_support
