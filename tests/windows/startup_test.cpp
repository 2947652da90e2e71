// The main window's start: the default folder from ProgramFiles, the settings read once the
// window is active, and the window seen as the intro show's stage.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/form1.h"
#include "app/form1_stage.h"
#include "framework/win/pump.h"
#include "tests/windows/support/files.h"
#include "tests/windows/support/recording_dialogs.h"

namespace {

using testing_support::RecordingDialogs;
using testing_support::TempFolder;

// Sets ProgramFiles (or unsets it, for null) for one test and puts the old value back.
class ProgramFilesAs {
  public:
    explicit ProgramFilesAs(const wchar_t* value) {
        wchar_t old[MAX_PATH] = {};
        had_ = GetEnvironmentVariableW(L"ProgramFiles", old, MAX_PATH) > 0;
        old_ = old;
        SetEnvironmentVariableW(L"ProgramFiles", value);
    }
    ~ProgramFilesAs() { SetEnvironmentVariableW(L"ProgramFiles", had_ ? old_.c_str() : nullptr); }

  private:
    bool had_;
    std::wstring old_;
};

TEST(Startup, DefaultFolderFollowsProgramFilesAndIsReadOnActivation) {
    TempFolder programFiles(L"Program Files (x86)");
    const std::wstring game = testing_support::MakeFolder(programFiles / L"Vledraskon");
    testing_support::WriteFileBytes(game + L"\\steam_api.ini", "[Settings]\r\nLanguage=German\r\n");
    ProgramFilesAs set(programFiles.Path().c_str());

    RecordingDialogs dialogs;
    app::Form1 form(dialogs);
    app::Form1Stage stage(form);
    stage.ShowModeless();
    EXPECT_EQ(form.Caption(), app::kWindowTitle);
    EXPECT_EQ(form.Path_Text.Text(), game);
    EXPECT_EQ(form.Lang_Combo.Text(), L"English");
    EXPECT_EQ(form.Lang_label.Caption(), app::kNotFoundCaption);  // not read before activation
    stage.DoEvents();
    EXPECT_EQ(form.Lang_label.Caption(), L"Current Language : German");
    EXPECT_TRUE(dialogs.log.empty());
}

TEST(Startup, UnsetProgramFilesLeavesABackslashAndTheFolderName) {
    ProgramFilesAs unset(nullptr);
    RecordingDialogs dialogs;
    app::Form1 form(dialogs);
    form.Load();
    EXPECT_EQ(form.Path_Text.Text(), L"\\Vledraskon");
}

TEST(Startup, StageReportsPicture1) {
    RecordingDialogs dialogs;
    app::Form1 form(dialogs);
    app::Form1Stage stage(form);
    stage.ShowModeless();
    stage.DoEvents();
    EXPECT_EQ(stage.ScaleWidth(), form.Picture1.ScaleWidth());
    EXPECT_EQ(stage.ScaleHeight(), form.Picture1.ScaleHeight());
    EXPECT_EQ(stage.OuterWidth() - stage.ScaleWidth(), 2);  // one-pixel border each side
    EXPECT_EQ(stage.OuterHeight() - stage.ScaleHeight(), 2);
    EXPECT_EQ(stage.Dc(), form.Picture1.Dc());
    SetPixelV(stage.Dc(), 3, 4, RGB(255, 255, 255));
    stage.Refresh();
    HDC screen = GetDC(form.Picture1.Hwnd());
    EXPECT_EQ(GetPixel(screen, 3, 4), RGB(255, 255, 255));
    ReleaseDC(form.Picture1.Hwnd(), screen);
}

TEST(Startup, ModalShowReturnsOnceTheWindowIsClosed) {
    struct Plain : fw::Form {
        Plain() : fw::Form(100, 50) {}
        void CreateControls() override {}
        void OnActivate() override { PostMessageW(Hwnd(), WM_CLOSE, 0, 0); }
    } form;
    form.ShowModal();  // the window closes itself once active
    EXPECT_FALSE(form.Loaded());
}

}  // namespace
