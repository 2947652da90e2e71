// The window framework's services where a fault would show: sizes from twips, auto-sizing
// labels, the combo box's text, the activate event's once-only rule, the picture box's backing
// image, tab order, environment look-up and the unhandled-error path.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "framework/errors.h"
#include "framework/win/command_button.h"
#include "framework/win/form.h"
#include "framework/win/gdi.h"
#include "framework/win/label.h"
#include "framework/win/process.h"
#include "framework/win/pump.h"
#include "framework/win/twips.h"
#include "framework/win/unhandled_error.h"
#include "tests/native/support/raised_errors.h"
#include "tests/windows/support/error_box.h"
#include "tests/windows/support/files.h"
#include "tests/windows/support/recording_dialogs.h"
#include "tests/windows/support/window_probe.h"

namespace {

using testing_support::RecordingDialogs;

// A form that counts its events and holds whatever controls a test adds.
class CountingForm : public fw::Form {
  public:
    CountingForm() : fw::Form(200, 100) {}
    int loads = 0;
    int activations = 0;
    fw::Label label;
    fw::CommandButton button;

  private:
    void CreateControls() override {
        label.Create(Hwnd(), {10, 10, 50, 12}, L"", nullptr);
        button.Create(Hwnd(), {10, 40, 80, 20}, L"Go", nullptr);
    }
    void OnLoad() override { ++loads; }
    void OnActivate() override { ++activations; }
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// Records what a window is told of its activation (WA_INACTIVE, WA_ACTIVE, WA_CLICKACTIVE), by
// standing in front of its window procedure while it lives.
class ActivationLog {
  public:
    explicit ActivationLog(HWND hwnd) : hwnd_(hwnd) {
        current_ = this;
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    }
    ActivationLog(const ActivationLog&) = delete;
    ActivationLog& operator=(const ActivationLog&) = delete;
    ~ActivationLog() {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        current_ = nullptr;
    }
    std::vector<WORD> states;

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_ACTIVATE) current_->states.push_back(LOWORD(wParam));
        return CallWindowProcW(current_->original_, hwnd, msg, wParam, lParam);
    }
    static inline ActivationLog* current_ = nullptr;
    HWND hwnd_;
    WNDPROC original_ = nullptr;
};

RECT RectInParent(HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

SIZE DrawTextExtent(HWND hwnd, const std::wstring& text) {
    fw::WindowDc dc(hwnd);
    fw::SelectGuard font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    RECT rc{0, 0, 0, 0};
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rc,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return {rc.right, rc.bottom};
}

TEST(Twips, ConvertToPixelsAtTheGivenResolution) {
    struct Case {
        int twips, dpi, pixels;
    };
    const Case cases[] = {
        {4920, 96, 328},  {2940, 96, 196},  {1455, 96, 97}, {15, 96, 1}, {7, 96, 0},    {8, 96, 1},
        {4920, 120, 410}, {1440, 144, 144}, {24, 90, 2},    {40, 90, 2}, {-60, 96, -4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fw::TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
    }
    EXPECT_EQ(fw::TwipsToPixelsX(1440), fw::ScreenDpiX());
    EXPECT_EQ(fw::TwipsToPixelsY(2880), 2 * fw::ScreenDpiY());
}

TEST(Environment, UnsetIsEmptyAndLongValuesComeWhole) {
    SetEnvironmentVariableW(L"LS_TEST_VARIABLE", nullptr);
    EXPECT_EQ(fw::Environ(L"LS_TEST_VARIABLE"), L"");
    const std::wstring longValue(1000, L'v');
    SetEnvironmentVariableW(L"LS_TEST_VARIABLE", longValue.c_str());
    EXPECT_EQ(fw::Environ(L"LS_TEST_VARIABLE"), longValue);
    SetEnvironmentVariableW(L"LS_TEST_VARIABLE", L"C:\\Program Files (x86)");
    EXPECT_EQ(fw::Environ(L"LS_TEST_VARIABLE"), L"C:\\Program Files (x86)");
    SetEnvironmentVariableW(L"LS_TEST_VARIABLE", nullptr);
}

TEST(Label, SizesItselfToEachNewCaption) {
    CountingForm form;
    form.Load();
    fw::Label& label = form.label;
    const HWND hwnd = label.Hwnd();
    for (const std::wstring caption :
         {L"Current Language : German", L"x", L"", L"Current Language : Language not found"}) {
        label.SetCaption(caption);
        const RECT rc = RectInParent(hwnd);
        const SIZE expected = DrawTextExtent(hwnd, caption.empty() ? L" " : caption);
        const LONG expectedWidth = caption.empty() ? 0 : expected.cx;
        EXPECT_EQ(rc.right - rc.left, expectedWidth) << caption;
        EXPECT_EQ(rc.bottom - rc.top, expected.cy) << caption;
        EXPECT_EQ(rc.left, 10);  // it grows and shrinks to the right only
        EXPECT_EQ(rc.top, 10);
        EXPECT_EQ(label.Caption(), caption);
    }
}

TEST(Label, FollowsAFontChange) {
    CountingForm form;
    form.Load();
    form.label.SetCaption(L"Language :");
    const LONG before = RectInParent(form.label.Hwnd()).right;
    fw::Font big(L"Tahoma", 24, FW_NORMAL, ANSI_CHARSET);
    SendMessageW(form.label.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(big.Get()), TRUE);
    EXPECT_GT(RectInParent(form.label.Hwnd()).right, before);
}

TEST(ComboBox, SettingTheTextSelectsThatItemExactly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RecordingDialogs dialogs;
    app::Form1 form(dialogs);
    form.Load();
    fw::ComboBox& combo = form.Lang_Combo;
    EXPECT_EQ(combo.Text(), L"English");  // set by the load event
    combo.SetText(L"German");
    EXPECT_EQ(SendMessageW(combo.Hwnd(), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(combo.Text(), L"German");
    // A text that is no item raises the error with the selection as it was.
    for (const wchar_t* notAnItem : {L"english", L"French"}) {
        EXPECT_EXIT(testing_support::RaiseIn([&] { combo.SetText(notAnItem); },
                                             [&] { return Narrow(combo.Text()); }),
                    testing_support::EndedByError(),
                    testing_support::RaisedPattern(fw::ErrorCode::PlatformCallFailed,
                                                   "text is not an item of the list", "German"))
            << Narrow(notAnItem);
    }
    EXPECT_EQ(GetWindowLongW(combo.Hwnd(), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
}

// Pumps the form's messages until `window` is the active window, for at most 5 s. The window
// manager hands activation over through the X server, so one pass of the pump may come too soon;
// and it may still be settling the window shown before and take the focus back to it, so a
// window asked for (`ask`) is asked for again every quarter second.
bool PumpUntilActive(HWND window, bool ask = false) {
    const DWORD start = GetTickCount();
    DWORD asked = start;
    while (GetActiveWindow() != window && GetTickCount() - start < 5000) {
        if (ask && GetTickCount() - asked >= 250) {
            SetForegroundWindow(window);
            SetActiveWindow(window);
            asked = GetTickCount();
        }
        fw::DoEvents();
        Sleep(10);
    }
    return GetActiveWindow() == window;
}

TEST(Form, LoadRunsOnceAndActivateOnlyOnTheFirstActivation) {
    CountingForm form;
    CountingForm other;
    form.ShowModeless();
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.activations, 0);  // runs from the event pump, after the show
    fw::DoEvents();
    EXPECT_EQ(form.activations, 1);
    ASSERT_TRUE(PumpUntilActive(form.Hwnd()));
    ActivationLog log(form.Hwnd());

    // A message box owned by the form, closed by "the user".
    std::thread user([] {
        if (HWND box = testing_support::WaitForWindow(L"Box title", 5000)) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    MessageBoxW(form.Hwnd(), L"Box text", L"Box title", MB_OK);
    user.join();
    fw::DoEvents();
    EXPECT_TRUE(PumpUntilActive(form.Hwnd()));
    const std::vector<WORD> box = log.states;

    // Another window comes to the front and the form comes back.
    other.ShowModeless();
    fw::DoEvents();
    EXPECT_TRUE(PumpUntilActive(other.Hwnd()));
    SetForegroundWindow(form.Hwnd());
    SetActiveWindow(form.Hwnd());
    fw::DoEvents();
    form.ShowModeless();
    fw::DoEvents();
    EXPECT_TRUE(PumpUntilActive(form.Hwnd(), true));

    // The form was told each time that it lost activation and that it had it back.
    const std::vector<WORD> program(log.states.begin() + static_cast<std::ptrdiff_t>(box.size()),
                                    log.states.end());
    for (const auto* states : {&box, &program}) {
        ASSERT_GE(states->size(), 2u);
        EXPECT_EQ(states->front(), WA_INACTIVE);
        EXPECT_NE(states->back(), WA_INACTIVE);
    }
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.activations, 1);
    EXPECT_EQ(other.activations, 1);
}

TEST(Form, UnloadEventCanKeepTheWindowOpen) {
    struct Keeping : CountingForm {
        int unloads = 0;
        void OnUnload(int& cancel) override {
            ++unloads;
            cancel = unloads == 1;  // keep it the first time only
        }
    } form;
    form.ShowModeless();
    SendMessageW(form.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.Loaded());
    SendMessageW(form.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(form.unloads, 2);
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(fw::ScreenDpiX(), 96) << "layout figures below are for 96 dots per inch";
        form.ShowModeless();
        fw::DoEvents();
    }
    RecordingDialogs dialogs;
    app::Form1 form{dialogs};
};

TEST_F(MainWindow, ControlsSitWhereTheLayoutPutsThem) {
    const SIZE client = fw::ClientSize(form.Hwnd());
    EXPECT_EQ(client.cx, 328);
    EXPECT_EQ(client.cy, 196);
    struct Place {
        HWND hwnd;
        RECT rect;
    };
    const Place places[] = {
        {form.Picture1.Hwnd(), {4, 4, 324, 101}},    {form.Picture2.Hwnd(), {4, 104, 324, 192}},
        {form.Lang_Combo.Hwnd(), {84, 40, 224, 60}}, {form.Command1.Hwnd(), {234, 40, 314, 60}},
        {form.Path_Text.Hwnd(), {16, 48, 273, 68}},
    };
    for (const auto& p : places) {
        const RECT rc = RectInParent(p.hwnd);
        EXPECT_EQ(rc.left, p.rect.left);
        EXPECT_EQ(rc.top, p.rect.top);
        EXPECT_EQ(rc.right, p.rect.right);
        // The closed combo box is as tall as the system makes it for the font.
        if (p.hwnd != form.Lang_Combo.Hwnd()) {
            EXPECT_EQ(rc.bottom, p.rect.bottom);
        }
    }
    EXPECT_EQ(RectInParent(form.Lang_label.Hwnd()).left, 4);
    EXPECT_EQ(RectInParent(form.Lang_label.Hwnd()).top, 16);
    EXPECT_EQ(RectInParent(form.Label2.Hwnd()).top, 44);
    EXPECT_EQ(RectInParent(form.Name_Label.Hwnd()).top, 72);
    EXPECT_EQ(GetParent(form.Lang_label.Hwnd()), form.Picture2.Hwnd());
    EXPECT_EQ(GetParent(form.Path_Text.Hwnd()), form.Hwnd());

    EXPECT_EQ(form.Caption(), app::kWindowTitle);
    EXPECT_EQ(form.Label2.Caption(), L"Language :");
    EXPECT_EQ(form.Name_Label.Caption(), L"Tobrevin - 2013");
    EXPECT_FALSE(IsWindowEnabled(form.Name_Label.Hwnd()));
    EXPECT_EQ(fw::WindowText(form.Command1.Hwnd()), L"Apply");
    EXPECT_FALSE(IsWindowVisible(form.Path_Text.Hwnd()));
    EXPECT_EQ(form.Lang_Combo.Count(), 2);
    EXPECT_EQ(form.Lang_Combo.Item(0), L"English");
    EXPECT_EQ(form.Lang_Combo.Item(1), L"German");
}

TEST_F(MainWindow, StageKeepsItsDrawingInABackingImageThatStartsBlack) {
    fw::PictureBox& stage = form.Picture1;
    EXPECT_EQ(stage.ScaleWidth(), 318);
    EXPECT_EQ(stage.ScaleHeight(), 95);
    EXPECT_EQ(stage.Width(), 320);
    EXPECT_EQ(stage.Height(), 97);
    const HDC dc = stage.Dc();
    for (POINT p : {POINT{0, 0}, POINT{317, 0}, POINT{0, 94}, POINT{317, 94}, POINT{159, 48}}) {
        EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(0, 0, 0));
    }
    SetPixelV(dc, 10, 20, RGB(255, 255, 255));
    SetPixelV(dc, 300, 90, RGB(0, 128, 255));
    EXPECT_EQ(stage.Dc(), dc);  // the same image every time

    stage.Refresh();
    EXPECT_EQ(testing_support::ScreenPixel(stage.Hwnd(), 10, 20), RGB(255, 255, 255));
    EXPECT_EQ(testing_support::ScreenPixel(stage.Hwnd(), 300, 90), RGB(0, 128, 255));
    EXPECT_EQ(testing_support::ScreenPixel(stage.Hwnd(), 11, 20), RGB(0, 0, 0));

    // The window is painted over by something else and repaints: the drawing is still there.
    RedrawWindow(stage.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    fw::DoEvents();
    EXPECT_EQ(testing_support::ScreenPixel(stage.Hwnd(), 10, 20), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 300, 90), RGB(0, 128, 255));
}

TEST_F(MainWindow, TabMovesTheFocusInTabIndexOrderAndReturnPressesApply) {
    SetForegroundWindow(form.Hwnd());
    fw::DoEvents();
    const HWND order[] = {form.Picture1.Hwnd(), form.Picture2.Hwnd(), form.Lang_Combo.Hwnd(),
                          form.Command1.Hwnd(), form.Picture1.Hwnd()};
    SetFocus(order[0]);
    ASSERT_EQ(GetFocus(), order[0]);
    for (size_t i = 1; i < std::size(order); ++i) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        fw::DoEvents();
        EXPECT_EQ(GetFocus(), order[i]) << "after " << i << " tab presses";
    }
    testing_support::TempFolder noGame;
    form.Path_Text.SetText(noGame.Path());
    SetFocus(form.Command1.Hwnd());
    PostMessageW(form.Command1.Hwnd(), WM_KEYDOWN, VK_RETURN, 0);
    fw::DoEvents();
    EXPECT_EQ(dialogs.log, (std::vector<std::wstring>{L"Error!!!: File not found!", L"browse"}));
}

// Run in a child process: an error raised in a click handler shows the error box, which a
// "user" thread reads to stderr and closes, and the program ends there.
[[noreturn]] void ClickIntoAnOverflow() {
    CountingForm form;
    form.button.Click = [] { fw::Raise(fw::ErrorCode::Overflow); };
    form.ShowModeless();
    testing_support::AnswerErrorBox();
    SendMessageW(form.button.Hwnd(), BM_CLICK, 0, 0);
    fprintf(stderr, "still running after the error\n");
    fw::End(0);
}

TEST(UnhandledErrorDeathTest, AnErrorInAHandlerIsNamedInABoxAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ClickIntoAnOverflow(), testing::ExitedWithCode(fw::kUnhandledErrorExitCode),
                "box: Run-time error '6':\n\nOverflow\n");
}

// The box shows at once where the error is raised, before anything after the raise can run.
TEST(UnhandledErrorDeathTest, AnErrorOutsideAnyHandlerEndsTheProgramWithItsBox) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            testing_support::AnswerErrorBox();
            RecordingDialogs dialogs;
            app::Form1 form(dialogs);
            form.Load();
            form.Lang_Combo.SetText(L"French");
            fprintf(stderr, "still running after the error\n");
            fw::End(0);
        },
        testing::ExitedWithCode(fw::kUnhandledErrorExitCode),
        "box: Run-time error '5':\n\nInvalid procedure call or argument: text is not an item "
        "of the list\n");
}

TEST(UnhandledError, TextNamesTheError) {
    EXPECT_EQ(fw::UnhandledErrorText(fw::ErrorCode::SubscriptOutOfRange),
              L"Run-time error '9':\n\nSubscript out of range");
    EXPECT_EQ(fw::UnhandledErrorText(fw::ErrorCode::OutOfMemory),
              L"Run-time error '7':\n\nOut of memory");
    EXPECT_EQ(fw::UnhandledErrorText(fw::ErrorCode::CannotCreateObject, "No.Such.Class"),
              L"Run-time error '429':\n\nActiveX component can't create object: No.Such.Class");
    EXPECT_EQ(fw::UnhandledErrorText(fw::ErrorCode::Unnumbered, "basic_string::_M_create"),
              L"Run-time error:\n\nbasic_string::_M_create");
    // Built without the heap, cut rather than overrun: a detail of any length fits.
    const std::string longDetail(5000, 'x');
    const std::wstring cut = fw::UnhandledErrorText(fw::ErrorCode::Overflow, longDetail.c_str());
    EXPECT_EQ(cut.size(), 1023u);
    EXPECT_EQ(cut.substr(0, 31), L"Run-time error '6':\n\nOverflow: ");
}

TEST(UnhandledError, TitleIsTheProgramFileWithoutItsExtension) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring file = std::wstring(path).substr(std::wstring(path).find_last_of(L'\\') + 1);
    EXPECT_EQ(fw::ProgramName() + L".exe", file);
    EXPECT_EQ(fw::ProgramName(), L"framework_test");
}

}  // namespace
