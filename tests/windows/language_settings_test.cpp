// The language setting against real INI files in private folders: reading, writing, the
// not-found state, the chains of folder browsers, and what must survive a write. The settings
// run over plain fields, as the window's controls hold them, so that nothing needs drawing; two
// cases check the window's own wiring.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/form1.h"
#include "app/language_settings.h"
#include "tests/windows/support/files.h"
#include "tests/windows/support/recording_dialogs.h"

namespace {

using testing_support::ContentLines;
using testing_support::MakeFolder;
using testing_support::ReadFileBytes;
using testing_support::RecordingDialogs;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

const std::wstring kWarning = L"Error!!!: File not found!";
const std::wstring kSuccess = L"Sucess!!!: Sucess!";
const std::wstring kBrowse = L"browse";

// A settings file as games ship it: comments, other sections, a Language key elsewhere, and
// odd spacing, around the one line the tool may change.
std::string GameIni(const std::string& languageLine) {
    return "; Settings of the game\r\n"
           "[General]\r\n"
           "Version=1.2\r\n"
           "Language=French\r\n"
           "\r\n"
           "[Settings]\r\n"
           "; interface language: English or German\r\n"
           "AppId=480\r\n" +
           languageLine +
           "\r\n"
           "UserName=Player One\r\n"
           "\r\n"
           "[Extra]\r\n"
           "Key = Value with  two spaces\r\n";
}

// The fields as the window has them once loaded: the caption in the not-found state, English
// chosen.
struct PlainFields : app::SettingsFields {
    std::wstring folder;
    std::wstring language = L"English";
    std::wstring caption = app::kNotFoundCaption;
    HWND owner = reinterpret_cast<HWND>(0x1234);

    std::wstring Folder() const override { return folder; }
    void SetFolder(const std::wstring& f) override { folder = f; }
    std::wstring ChosenLanguage() const override { return language; }
    std::wstring LanguageCaption() const override { return caption; }
    void SetLanguageCaption(const std::wstring& c) override { caption = c; }
    HWND DialogOwner() const override { return owner; }
};

class LanguageSettings : public ::testing::Test {
  protected:
    // A game folder inside the temporary folder, with a steam_api.ini of `content` if given.
    std::wstring GameFolder(const std::wstring& name, const std::string* content = nullptr) {
        const std::wstring folder = MakeFolder(temp / name);
        if (content) WriteFileBytes(folder + L"\\steam_api.ini", *content);
        return folder;
    }
    std::wstring GameFolder(const std::wstring& name, const std::string& content) {
        return GameFolder(name, &content);
    }
    static std::optional<std::string> IniOf(const std::wstring& folder) {
        return ReadFileBytes(folder + L"\\steam_api.ini");
    }
    void Use(const std::wstring& folder) { fields.folder = folder; }
    std::wstring Caption() const { return fields.caption; }

    TempFolder temp;
    RecordingDialogs dialogs;
    PlainFields fields;
    app::LanguageSettings settings{fields, dialogs};
};

TEST_F(LanguageSettings, StoredValueIsShownThenReplacedKeepingEverythingElse) {
    const auto folder = GameFolder(L"game", GameIni("Language=German"));
    Use(folder);
    settings.Lit_ini();
    EXPECT_EQ(Caption(), L"Current Language : German");

    fields.language = L"English";
    settings.Command1_Click();

    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].icon, fw::MsgIcon::Information);
    EXPECT_EQ(dialogs.boxes[0].owner, fields.owner);
    EXPECT_EQ(Caption(), L"Current Language : English");
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=English")));
    EXPECT_EQ(fields.folder, folder);
}

TEST_F(LanguageSettings, MissingFileSectionOrKeyIsNotFoundAndNothingIsCreated) {
    struct Case {
        const wchar_t* name;
        std::optional<std::string> content;
    };
    const Case cases[] = {
        {L"no-file", std::nullopt},
        {L"no-section", std::string("[General]\r\nLanguage=German\r\n[settingsx]\r\nA=1\r\n")},
        {L"no-key", std::string("[Settings]\r\nAppId=480\r\nLanguages=German\r\n"
                                "[Other]\r\nLanguage=German\r\n")},
        {L"empty-file", std::string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << testing::PrintToString(std::wstring(c.name)));
        const auto folder = c.content ? GameFolder(c.name, *c.content) : GameFolder(c.name);
        Use(folder);
        dialogs.log.clear();

        settings.Lit_ini();
        EXPECT_EQ(Caption(), app::kNotFoundCaption);

        settings.Command1_Click();  // warns, then the browser is cancelled
        EXPECT_EQ(dialogs.log, (std::vector<std::wstring>{kWarning, kBrowse}));
        EXPECT_EQ(IniOf(folder), c.content);
        EXPECT_EQ(Caption(), app::kNotFoundCaption);
        EXPECT_EQ(fields.folder, folder);
    }
}

TEST_F(LanguageSettings, EmptyValueCountsAsFoundAndIsWritten) {
    const auto folder = GameFolder(L"game", GameIni("Language="));
    Use(folder);
    settings.Lit_ini();
    EXPECT_EQ(Caption(), L"Current Language : ");

    fields.language = L"German";
    settings.Command1_Click();
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=German")));
}

TEST_F(LanguageSettings, ValueLongerThan254CharactersIsCut) {
    const std::string longValue(300, 'x');
    const auto folder = GameFolder(L"game", GameIni("Language=" + longValue));
    Use(folder);
    settings.Lit_ini();
    EXPECT_EQ(Caption(), app::kLabelPrefix + std::wstring(254, L'x'));

    settings.Command1_Click();
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=English")));
}

TEST_F(LanguageSettings, LiteralNotFoundValueCountsAsMissing) {
    const std::string content = GameIni("Language=Language not found");
    const auto folder = GameFolder(L"game", content);
    Use(folder);
    settings.Command1_Click();
    EXPECT_EQ(dialogs.log, (std::vector<std::wstring>{kWarning, kBrowse}));
    EXPECT_EQ(IniOf(folder), content);
}

TEST_F(LanguageSettings, ComparisonWithTheNotFoundCaptionIsExact) {
    // Differs from the read default only in letter case: a stored value like any other.
    const auto folder = GameFolder(L"game", GameIni("Language=language not found"));
    Use(folder);
    settings.Command1_Click();
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=English")));
}

TEST_F(LanguageSettings, FolderEndingInASeparatorIsUsedUnchanged) {
    // What the browser returns for a drive root ("C:\"): the settings path then holds two
    // separators in a row, which the profile functions accept as they are.
    const auto folder = GameFolder(L"root", GameIni("Language=German")) + L"\\";
    Use(folder);
    settings.Lit_ini();
    EXPECT_EQ(Caption(), L"Current Language : German");
    settings.Command1_Click();
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    EXPECT_EQ(fields.folder, folder);
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=English")));
}

TEST_F(LanguageSettings, ThreeFoldersWithoutTheSettingThenCancelWarnsFourTimes) {
    const auto empty = GameFolder(L"empty");
    const std::string noKey = "[Settings]\r\nAppId=480\r\n";
    const auto withoutKey = GameFolder(L"without-key", noKey);
    const std::string notFound = GameIni("Language=Language not found");
    const auto literal = GameFolder(L"literal", notFound);
    Use(GameFolder(L"start"));
    dialogs.answers = {empty, withoutKey, literal};  // then cancel

    settings.Command1_Click();

    EXPECT_EQ(dialogs.log, (std::vector<std::wstring>{kWarning, kBrowse, kWarning, kBrowse,
                                                      kWarning, kBrowse, kWarning, kBrowse}));
    for (const auto& box : dialogs.boxes) {
        EXPECT_EQ(box.icon, fw::MsgIcon::Warning);
        EXPECT_EQ(box.owner, fields.owner);  // modal to the window, as the confirmation is
    }
    ASSERT_EQ(dialogs.browseTitles.size(), 4u);
    EXPECT_EQ(dialogs.browseTitles[0],
              L"Select the game folder (Vledraskon) in the list below, then click OK.");
    // The last folder picked stays, in the not-found state; nothing was written anywhere.
    EXPECT_EQ(fields.folder, literal);
    EXPECT_EQ(Caption(), app::kNotFoundCaption);
    EXPECT_FALSE(IniOf(empty));
    EXPECT_EQ(IniOf(withoutKey), noKey);
    EXPECT_EQ(IniOf(literal), notFound);
}

TEST_F(LanguageSettings, CancelledBrowserLeavesFolderAndLabelAsTheyWere) {
    const auto start = GameFolder(L"start");
    Use(start);
    settings.Lit_ini();
    settings.boite_dialogue();
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kBrowse});
    EXPECT_EQ(fields.folder, start);
    EXPECT_EQ(Caption(), app::kNotFoundCaption);
}

TEST_F(LanguageSettings, NestedApplyAfterAGoodFolderConfirmsOnce) {
    const auto bad = GameFolder(L"bad");
    const auto good = GameFolder(L"good", GameIni("Language=German"));
    Use(GameFolder(L"start"));
    dialogs.answers = {bad, good};

    settings.Command1_Click();

    EXPECT_EQ(dialogs.log,
              (std::vector<std::wstring>{kWarning, kBrowse, kWarning, kBrowse, kSuccess}));
    EXPECT_EQ(fields.folder, good);
    EXPECT_EQ(Caption(), L"Current Language : English");
    EXPECT_EQ(ContentLines(*IniOf(good)), ContentLines(GameIni("Language=English")));
    EXPECT_FALSE(IniOf(bad));
}

TEST_F(LanguageSettings, FileThatCannotBeWrittenIsKeptAndNothingIsSaid) {
    const std::string content = GameIni("Language=German");
    const auto folder = GameFolder(L"game", content);
    const std::wstring file = folder + L"\\steam_api.ini";
    // Read-only, and held open by the running game without write sharing: the read-only
    // attribute alone does not stop a process running as root under Wine.
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE game = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(game, INVALID_HANDLE_VALUE);
    Use(folder);

    settings.Command1_Click();

    CloseHandle(game);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(dialogs.log.empty());
    EXPECT_EQ(Caption(), L"Current Language : German");
    EXPECT_EQ(IniOf(folder), content);
}

TEST_F(LanguageSettings, FolderNamedOutsideTheAnsiCodePageIsReadAndWritten) {
    const auto folder =
        GameFolder(L"\u30F4\u30A7\u30EB\u30C9\u30E9\u30B9\u30B3\u30F3 \u0392\u03B5\u03BB",
                   GameIni("Language=German"));
    Use(folder);
    settings.Lit_ini();
    EXPECT_EQ(Caption(), L"Current Language : German");
    settings.Command1_Click();
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=English")));
}

TEST_F(LanguageSettings, AFileCreatedBetweenClicksIsNoticed) {
    const auto folder = GameFolder(L"game");
    Use(folder);
    settings.Lit_ini();
    EXPECT_EQ(Caption(), app::kNotFoundCaption);
    WriteFileBytes(folder + L"\\steam_api.ini", GameIni("Language=German"));
    settings.Command1_Click();
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    EXPECT_EQ(Caption(), L"Current Language : English");
}

// The window's controls are the fields, its button runs the click handler, and its message
// boxes are modal to it. Needs the whole window (which draws off screen).
class LanguageSettingsOnTheWindow : public LanguageSettings {
  protected:
    void SetUp() override { window.Load(); }
    app::Form1 window{dialogs};
};

TEST_F(LanguageSettingsOnTheWindow, TheApplyButtonReadsAndWritesThroughTheControls) {
    const auto folder = GameFolder(L"game", GameIni("Language=English"));
    window.Path_Text.SetText(folder);
    window.Lit_ini();
    EXPECT_EQ(window.Lang_label.Caption(), L"Current Language : English");
    window.Lang_Combo.SetText(L"German");
    SendMessageW(window.Command1.Hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(dialogs.log, std::vector<std::wstring>{kSuccess});
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].owner, window.Hwnd());
    EXPECT_EQ(window.Lang_label.Caption(), L"Current Language : German");
    EXPECT_EQ(ContentLines(*IniOf(folder)), ContentLines(GameIni("Language=German")));
    EXPECT_EQ(window.Path_Text.Text(), folder);
}

TEST_F(LanguageSettingsOnTheWindow, BrowsingPutsThePickedFolderIntoTheTextBox) {
    const auto good = GameFolder(L"good", GameIni("Language=German"));
    window.Path_Text.SetText(GameFolder(L"start"));
    dialogs.answers = {good};
    window.Command1_Click();
    EXPECT_EQ(window.Path_Text.Text(), good);
    EXPECT_EQ(window.Lang_label.Caption(), L"Current Language : English");
}

}  // namespace
