// The real dialogs the language settings use: a system message box modal to the window, and the
// shell's folder browser reached late-bound through "Shell.Application". A "user" thread reads
// them and answers as a person would.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "app/form1.h"
#include "app/user_dialogs.h"
#include "framework/errors.h"
#include "framework/win/automation.h"
#include "tests/windows/support/recording_dialogs.h"
#include "tests/windows/support/window_probe.h"

namespace {

using testing_support::StaticTexts;

struct DialogSearch {
    const std::wstring* text;
    HWND found;
};

// EnumWindows' callback (a Windows calling convention, hence no lambda): stops at a visible
// dialog box of this process that shows the searched text.
BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM data) {
    auto& s = *reinterpret_cast<DialogSearch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && std::wstring(cls) == L"#32770" &&
        StaticTexts(hwnd).find(*s.text) != std::wstring::npos) {
        s.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The visible dialog box of this process that shows `text` in one of its static controls.
HWND WaitForDialogShowing(const std::wstring& text, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DialogSearch search{&text, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(20);
    }
    return nullptr;
}

TEST(ShellDialogs, MessageBoxShowsPromptAndTitleModalToTheWindow) {
    testing_support::RecordingDialogs unused;
    app::Form1 form(unused);
    form.ShowModeless();
    HWND owner = nullptr;
    std::wstring prompt;
    std::thread user([&] {
        if (HWND box = testing_support::WaitForWindow(L"Sucess!!!", 10000)) {
            owner = GetWindow(box, GW_OWNER);
            prompt = StaticTexts(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    app::ShellDialogs().MsgBox(form.Hwnd(), L"Sucess!", L"Sucess!!!", fw::MsgIcon::Information);
    user.join();
    EXPECT_EQ(prompt, L"Sucess!");
    EXPECT_EQ(owner, form.Hwnd());
}

TEST(ShellDialogs, FolderBrowserReturnsThePickedPathOrNothingWhenCancelled) {
    const std::wstring title = L"Select the game folder (test) in the list below, then click OK.";
    app::ShellDialogs dialogs;
    for (const int button : {IDOK, IDCANCEL}) {
        HWND browser = nullptr;
        std::thread user([&] {
            browser = WaitForDialogShowing(title, 20000);
            if (browser) PostMessageW(browser, WM_COMMAND, static_cast<WPARAM>(button), 0);
        });
        const auto picked = dialogs.BrowseForFolder(title);
        user.join();
        ASSERT_NE(browser, nullptr) << "no folder browser showed the title";
        EXPECT_EQ(GetWindow(browser, GW_OWNER), nullptr);
        if (button == IDCANCEL) {
            EXPECT_FALSE(picked.has_value());
        } else {
            // Confirmed as it opened: the folder selected at the start (the desktop).
            ASSERT_TRUE(picked.has_value());
            const DWORD attributes = GetFileAttributesW(picked->c_str());
            EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << testing::PrintToString(*picked);
            EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
    }
}

TEST(Automation, UnknownClassesAndMembersRaiseErrors) {
    try {
        fw::CreateObject(L"No.Such.Class");
        FAIL() << "created an object of an unknown class";
    } catch (const fw::AppError& e) {
        EXPECT_EQ(e.code(), fw::ErrorCode::CannotCreateObject);
    }
    const fw::AutoObject shell = fw::CreateObject(L"Shell.Application");
    EXPECT_THROW(shell.Call(L"NoSuchMember"), fw::AppError);
    EXPECT_THROW(fw::Variant().AsObject(), fw::AppError);
}

}  // namespace
