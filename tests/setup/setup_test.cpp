#include "setup/setup_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include "addin/settings/settings_store.h"
#include "platform/failure.h"
#include "platform/sim/os_simulated.h"
#include "platform/sim/headless.h"
#include "platform/text.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

constexpr char16_t kSystem[] = u"C:\\WINDOWS\\SYSTEM32\\";
constexpr char16_t kGroupPath[] = u"C:\\WINDOWS\\Start Menu\\Programs\\Wek Quillmark for VB6 Ver1.0";

class Setup : public ::testing::Test {
protected:
    Setup() {
        for (const char16_t* name : {u"WekQM417.dll", u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm", u"Setup.exe"}) {
            os.PutFile(std::u16string(u"D:\\SETUP\\") + name, Utf16ToUtf8(name) + " v1");
        }
        os.AddDirectory(u"C:\\WINDOWS\\SYSTEM32");
        os.AddDirectory(u"C:\\WINDOWS\\Start Menu\\Programs");
        // The registration tool registers or unregisters the class of the library it is given.
        os.AddProgram(u"C:\\WINDOWS\\SYSTEM32\\Regsvr32.exe", [this](const std::u16string& line) {
            ++registrations;
            if (line.find(u"/U ") != std::u16string::npos) {
                registry.DeleteKey(Hive::ClassesRoot, u"WekQM417.AddInClass");
            } else {
                RegKey key = 0;
                registry.CreateKey(Hive::ClassesRoot, u"WekQM417.AddInClass", &key);
                registry.CloseKey(key);
            }
            return regsvr32Status;
        });
    }

    // Starts the program; when it shows its dialog, presses the first button.
    bool Run(const std::u16string& commandLine, bool confirm = true) {
        bool shown = false;
        ui.onModal = [&](ui::Form& form) {
            shown = true;
            auto& dialog = dynamic_cast<frmMain&>(form);
            captions.push_back(dialog.caption);
            labels.push_back(dialog.Label1.caption);
            ui::user::Click(*dialog.Command1[confirm ? 0 : 1]);
        };
        RunSetup(SetupServices{registry, Cp932(), os, ui}, commandLine);
        return shown;
    }
    std::u16string LastMessage() const { return ui.messages.empty() ? u"" : ui.messages.back().text; }
    bool KeyExists(Hive hive, const std::u16string& path) {
        RegKey key = 0;
        if (registry.OpenKey(hive, path, &key) != RegStatus::Success) return false;
        registry.CloseKey(key);
        return true;
    }
    std::optional<StoredSetting> Setting(const std::u16string& name) {
        SettingsStore store(registry, Cp932());
        return store.PeekSetting(name);
    }

    SimulatedOs os;
    MemoryRegistry registry;
    ui::HeadlessUi ui;
    int registrations = 0;
    std::int32_t regsvr32Status = 0;
    std::vector<std::u16string> captions;
    std::vector<std::u16string> labels;
};

TEST_F(Setup, TheCommandLineChoosesTheJob) {
    struct Case {
        const char16_t* line;
        bool shown;
        const char16_t* caption;
    };
    const Case cases[] = {
        {u"", true, u"Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ"},
        {u"/UNINST", true, u"Wek Quillmark for VB6 Ver1.0 - 削除"},
        {u"/UNINST Wek Quillmark for VB6 Ver1.0", true, u"Wek Quillmark for VB6 Ver1.0 - 削除"},
        {u"/uninst", false, u""},
        {u"/UNINS", false, u""},
        {u"-x", false, u""},
        {u" ", false, u""},
    };
    for (const Case& c : cases) {
        captions.clear();
        EXPECT_EQ(Run(c.line, false), c.shown) << Utf16ToUtf8(c.line);
        if (c.shown) {
            ASSERT_EQ(captions.size(), 1u);
            EXPECT_EQ(captions[0], c.caption);
        }
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(registrations, 0);
    EXPECT_FALSE(os.FileExists(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"));
}

TEST_F(Setup, TheDialogShowsItsModeAndTheDirectoriesEndInABackslash) {
    frmMain form(SetupServices{registry, Cp932(), os, ui});
    ASSERT_TRUE(form.Start(u"/UNINST"));
    EXPECT_EQ(form.Label1.caption, u"Wek Quillmark for VB6 Ver1.0 を削除します。");
    EXPECT_EQ(form.Command1[0]->caption, u"削除");
    EXPECT_EQ(form.Command1[1]->caption, u"ｷｬﾝｾﾙ");
    EXPECT_EQ(form.ProgramDirectory(), u"D:\\SETUP\\");
    EXPECT_EQ(form.SystemDirectory(), kSystem);
    EXPECT_EQ(form.WindowsDirectory(), u"C:\\WINDOWS\\");
    EXPECT_DOUBLE_EQ(form.left, (ui.screen.widthTwips - form.width) / 2);
    frmMain install(SetupServices{registry, Cp932(), os, ui});
    install.Start(u"");
    EXPECT_EQ(install.Label1.caption, u"Wek Quillmark for VB6 Ver1.0 ｾｯﾄｱｯﾌﾟを開始します。");
    EXPECT_EQ(install.Command1[0]->caption, u"ｾｯﾄｱｯﾌﾟ開始");
}

TEST_F(Setup, InstallsEverything) {
    ASSERT_TRUE(Run(u""));
    EXPECT_EQ(LastMessage(), u"ｾｯﾄｱｯﾌﾟが完了しました。");
    EXPECT_EQ(ui.messages.back().title, u"WekQM417_Setup");
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"), "WekQM417.dll v1");
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\Quillmark.cnt"), "Quillmark.cnt v1");
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\Quillmark.hlp"), "Quillmark.hlp v1");
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\Quillmark.chm"), "Quillmark.chm v1");
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\WekQM417_Setup.exe"), "Setup.exe v1");
    ASSERT_EQ(os.commandLines.size(), 1u);
    EXPECT_EQ(os.commandLines[0], u"\"C:\\WINDOWS\\SYSTEM32\\Regsvr32.exe\" /S \"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll\"");
    EXPECT_TRUE(KeyExists(Hive::ClassesRoot, u"WekQM417.AddInClass"));

    SettingsStore store(registry, Cp932());
    std::vector<std::u16string> names;
    for (const auto& s : store.ListSettings()) names.push_back(s.name);
    const std::vector<std::u16string> expected = {u"CommandLineSafe", u"CustomFormList", u"Description",    u"ExtendValue",
                                                  u"FixedFormList",   u"FriendlyName",   u"LoadBehavior",   u"SelectDatas",
                                                  u"SetSelectList",   u"StartVisible",   u"ToolBarPosition"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(store.ReadSettingNumber(u"LoadBehavior", 0), 1);
    EXPECT_EQ(Setting(u"CustomFormList")->data.size(), 0u);
    EXPECT_EQ(Setting(u"Description")->data,
              Cp932().ToAnsi(u"Lexivaneなどに使用する関数説明のｽﾀﾝﾌﾟやｺｰﾄﾞの追加・変更を記録するためのｽﾀﾝﾌﾟをｺｰﾄﾞｳｲﾝﾄﾞｳに張り付けます。"));

    RegKey key = 0;
    ASSERT_EQ(registry.OpenKey(Hive::LocalMachine, kUninstallKey, &key), RegStatus::Success);
    std::string data;
    registry.EnumValue(key, 1, nullptr, nullptr, &data);
    EXPECT_EQ(data, "\"C:\\WINDOWS\\WekQM417_Setup.exe\" /UNINST Wek Quillmark for VB6 Ver1.0");
    registry.CloseKey(key);

    const auto* help = os.ShortcutAt(std::u16string(kGroupPath) + u"\\Quillmark ﾍﾙﾌﾟ.lnk");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->target, u"C:\\WINDOWS\\SYSTEM32\\Quillmark.hlp");
    EXPECT_EQ(help->arguments, u"");
    const auto* remove = os.ShortcutAt(std::u16string(kGroupPath) + u"\\Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk");
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->target, u"C:\\WINDOWS\\WekQM417_Setup.exe");
    EXPECT_EQ(remove->arguments, u"/UNINST");
    EXPECT_EQ(os.openedFolders, std::vector<std::u16string>{kGroupPath});
    EXPECT_FALSE(os.busyPointer);
}

TEST_F(Setup, AMissingRequiredFileStopsBeforeAnyChange) {
    for (const char16_t* missing : {u"WekQM417.dll", u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm"}) {
        SimulatedOs fresh = os;
        fresh.DeleteFileAt(std::u16string(u"D:\\SETUP\\") + missing);
        std::swap(os, fresh);
        ui.messages.clear();
        Run(u"");
        EXPECT_EQ(LastMessage(), u"ｲﾝｽﾄｰﾙに必要なﾌｧｲﾙが存在しません。\rD:\\SETUP\\" + std::u16string(missing));
        EXPECT_FALSE(os.FileExists(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"));
        EXPECT_TRUE(os.commandLines.empty());
        EXPECT_TRUE(registry.Keys().empty());
        EXPECT_FALSE(os.busyPointer);
        std::swap(os, fresh);
    }
}

TEST_F(Setup, InstallingAgainKeepsTheUsersFormat) {
    Run(u"");
    SettingsStore store(registry, Cp932());
    store.WriteSettingString(u"SelectDatas", u"[1,0,0,0,0,]");
    store.WriteSettingString(u"EditStamp", u"0,0,0,0,0,担当");
    store.WriteSettingNumber(u"ToolBarPosition", 0);
    store.WriteSettingNumber(u"LoadBehavior", 0);
    store.WriteSettingString(u"FriendlyName", u"changed");
    os.PutFile(u"D:\\SETUP\\WekQM417.dll", "WekQM417.dll v2");
    Run(u"");
    EXPECT_EQ(LastMessage(), u"ｾｯﾄｱｯﾌﾟが完了しました。");
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"), "WekQM417.dll v2");
    EXPECT_EQ(store.ReadSettingString(u"SelectDatas", u""), u"[1,0,0,0,0,]");
    EXPECT_EQ(store.ReadSettingString(u"EditStamp", u""), u"0,0,0,0,0,担当");
    EXPECT_EQ(store.ReadSettingNumber(u"ToolBarPosition", 1), 0);
    EXPECT_EQ(store.ReadSettingNumber(u"LoadBehavior", 0), 1);
    EXPECT_EQ(store.ReadSettingString(u"FriendlyName", u""), u"Wek Quillmark for VB6 Ver1.0");
}

TEST_F(Setup, FailuresAreReportedNotTakenForSuccess) {
    // A library in use.
    os.PutFile(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll", "old");
    os.lockedFiles.insert(u"c:\\windows\\system32\\wekqm417.dll");
    Run(u"");
    EXPECT_NE(LastMessage().find(u"ﾌｧｲﾙをｺﾋﾟｰできませんでした。\rC:\\WINDOWS\\SYSTEM32\\WekQM417.dll"), std::u16string::npos);
    EXPECT_NE(LastMessage().find(u"ｾｯﾄｱｯﾌﾟは完了していません。"), std::u16string::npos);
    EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"), "old");
    EXPECT_TRUE(registry.Keys().empty());
    os.lockedFiles.clear();

    // The registration tool fails.
    regsvr32Status = 3;
    Run(u"");
    EXPECT_NE(LastMessage().find(u"ｱﾄﾞｲﾝの登録に失敗しました。"), std::u16string::npos);
    EXPECT_NE(LastMessage().find(u"終了ｺｰﾄﾞ 3"), std::u16string::npos);
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, kSettingsKey));
    regsvr32Status = 0;

    // The settings cannot be written.
    registry.SetDenyAccess(true);
    Run(u"");
    EXPECT_NE(LastMessage().find(u"ｱﾄﾞｲﾝの設定を書き込めませんでした。"), std::u16string::npos);
    registry.SetDenyAccess(false);

    // No Programs folder: no folder at the drive's root, and a message that says what is missing.
    os.programsFolder.reset();
    Run(u"");
    EXPECT_EQ(LastMessage(),
              u"ｱﾄﾞｲﾝはｲﾝｽﾄｰﾙされましたが、次の作業はできませんでした。\r- ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成 (ﾌﾟﾛｸﾞﾗﾑ ﾌｫﾙﾀﾞが見つかりません)");
    EXPECT_FALSE(os.DirectoryExists(u"\\Wek Quillmark for VB6 Ver1.0"));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, kSettingsKey));
}

TEST_F(Setup, MissingParentsOfTheGroupAreCreated) {
    os.programsFolder = u"C:\\Users\\u\\Start Menu\\Programs";
    Run(u"");
    EXPECT_EQ(LastMessage(), u"ｾｯﾄｱｯﾌﾟが完了しました。");
    EXPECT_TRUE(os.DirectoryExists(u"C:\\Users\\u\\Start Menu\\Programs\\Wek Quillmark for VB6 Ver1.0"));
}

// Office's VBA editors are found by their libraries and registered per user, each only with a library
// of its own bitness: the 32-bit one with the library installed here, the 64-bit one with the 64-bit
// library of the package, installed in the 64-bit system directory and registered by the 64-bit tool;
// without that library it is named as not done. Removal takes both registrations and libraries away.
TEST_F(Setup, RegistersWithTheVbaEditorsOfItsOwnBitness) {
    constexpr char16_t kC2r64[] =
        u"C:\\Program Files\\Microsoft Office\\root\\vfs\\ProgramFilesCommonX64\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL";
    // 64-bit Office carries some 32-bit shared files in its own folder: they are not a 32-bit editor.
    constexpr char16_t kC2r64Own32[] =
        u"C:\\Program Files\\Microsoft Office\\root\\vfs\\ProgramFilesCommonX86\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL";
    struct Case {
        const char* what;
        bool windows64;
        bool package64;  // the package holds the 64-bit library
        std::vector<const char16_t*> libraries;
        bool registered32;
        bool registered64;
        bool reported64;
    };
    const Case cases[] = {
        {"no Office", false, false, {}, false, false, false},
        {"Office 2003 (VBA6)",
         false,
         true,
         {u"C:\\Program Files\\Common Files\\Microsoft Shared\\VBA\\VBA6\\VBE6.DLL"},
         true,
         false,
         false},
        {"32-bit Office on 64-bit Windows",
         true,
         true,
         {u"C:\\Program Files (x86)\\Common Files\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL"},
         true,
         false,
         false},
        {"32-bit Click-to-Run Office",
         true,
         false,
         {u"C:\\Program Files (x86)\\Microsoft Office\\root\\vfs\\ProgramFilesCommonX86\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL"},
         true,
         false,
         false},
        {"64-bit Click-to-Run Office, no 64-bit library", true, false, {kC2r64, kC2r64Own32}, false, false, true},
        {"64-bit Click-to-Run Office", true, true, {kC2r64, kC2r64Own32}, false, true, false},
        {"both",
         true,
         true,
         {u"C:\\Program Files\\Common Files\\Microsoft Shared\\VBA\\VBA7\\VBE7.DLL",
          u"C:\\Program Files (x86)\\Common Files\\Microsoft Shared\\VBA\\VBA7\\VBE7.DLL"},
         true,
         true,
         false},
    };
    for (const Case& c : cases) {
        SimulatedOs machine;
        for (const char16_t* name : {u"WekQM417.dll", u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm", u"Setup.exe"}) {
            machine.PutFile(std::u16string(u"D:\\SETUP\\") + name, "file");
        }
        if (c.package64) machine.PutFile(u"D:\\SETUP\\WekQM417x64.dll", "64-bit");
        machine.AddDirectory(u"C:\\WINDOWS\\SYSTEM32");
        machine.AddDirectory(u"C:\\WINDOWS\\Start Menu\\Programs");
        machine.AddProgram(u"C:\\WINDOWS\\SYSTEM32\\Regsvr32.exe", [](const std::u16string&) { return 0; });
        if (c.windows64) {
            machine.programFiles32 = u"C:\\Program Files (x86)";
            machine.commonFiles32 = u"C:\\Program Files (x86)\\Common Files";
            machine.programFiles64 = u"C:\\Program Files";
            machine.commonFiles64 = u"C:\\Program Files\\Common Files";
            machine.nativeSystemDirectory = u"C:\\WINDOWS\\Sysnative";
            machine.AddDirectory(u"C:\\WINDOWS\\Sysnative");
            machine.AddProgram(u"C:\\WINDOWS\\Sysnative\\Regsvr32.exe", [](const std::u16string&) { return 0; });
        }
        for (const char16_t* library : c.libraries) machine.PutFile(library, "VBE");
        MemoryRegistry reg;
        ui::HeadlessUi dialogs;
        dialogs.onModal = [](ui::Form& form) { ui::user::Click(*dynamic_cast<frmMain&>(form).Command1[0]); };
        RunSetup(SetupServices{reg, Cp932(), machine, dialogs}, u"");

        SettingsStore vba32(reg, Cp932(), kVbaKey32);
        SettingsStore vba64(reg, Cp932(), kVbaKey64);
        EXPECT_EQ(vba32.KeyExists(), c.registered32) << c.what;
        EXPECT_EQ(vba64.KeyExists(), c.registered64) << c.what;
        for (SettingsStore* store : {&vba32, &vba64}) {
            if (!store->KeyExists()) continue;
            std::vector<std::u16string> names;
            for (const auto& v : store->ListSettings()) names.push_back(v.name);
            EXPECT_EQ(names, (std::vector<std::u16string>{u"FriendlyName", u"Description", u"LoadBehavior"})) << c.what;
            EXPECT_EQ(store->ReadSettingNumber(u"LoadBehavior", 0), 3) << c.what;
            EXPECT_EQ(store->ReadSettingString(u"FriendlyName", u""), u"Wek Quillmark for VB6 Ver1.0") << c.what;
        }
        // The 64-bit library goes where only 64-bit programs load from, registered by the 64-bit tool.
        EXPECT_EQ(machine.FileExists(u"C:\\WINDOWS\\Sysnative\\WekQM417.dll"), c.registered64) << c.what;
        const bool registered64ByItsTool =
            std::find(machine.commandLines.begin(), machine.commandLines.end(),
                      u"\"C:\\WINDOWS\\Sysnative\\Regsvr32.exe\" /S \"C:\\WINDOWS\\Sysnative\\WekQM417.dll\"") !=
            machine.commandLines.end();
        EXPECT_EQ(registered64ByItsTool, c.registered64) << c.what;
        ASSERT_FALSE(dialogs.messages.empty());
        const std::u16string done = dialogs.messages.back().text;
        EXPECT_EQ(done.find(u"64ﾋﾞｯﾄ版 Office の VBA ｴﾃﾞｨﾀへの登録") != std::u16string::npos, c.reported64) << c.what;
        if (!c.reported64) {
            EXPECT_EQ(done, u"ｾｯﾄｱｯﾌﾟが完了しました。") << c.what;
        }

        // Removal: an earlier 64-bit registration (by hand, or another setup) goes with the rest.
        RegKey key = 0;
        reg.CreateKey(Hive::CurrentUser, kVbaKey64, &key);
        reg.CloseKey(key);
        RunSetup(SetupServices{reg, Cp932(), machine, dialogs}, u"/UNINST");
        EXPECT_FALSE(vba32.KeyExists()) << c.what;
        EXPECT_FALSE(vba64.KeyExists()) << c.what;
        EXPECT_FALSE(machine.FileExists(u"C:\\WINDOWS\\Sysnative\\WekQM417.dll")) << c.what;
        if (c.registered64) {
            EXPECT_NE(std::find(machine.commandLines.begin(), machine.commandLines.end(),
                                u"\"C:\\WINDOWS\\Sysnative\\Regsvr32.exe\" /U /S \"C:\\WINDOWS\\Sysnative\\WekQM417.dll\""),
                      machine.commandLines.end())
                << c.what;
        }
        EXPECT_EQ(dialogs.messages.back().text, u"ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。") << c.what;
    }
}

TEST_F(Setup, RemovesEverythingAndCanRunTwice) {
    Run(u"");
    os.PutFile(u"C:\\WINDOWS\\SYSTEM32\\Quillmark.GID", "index");
    Run(u"/UNINST Wek Quillmark for VB6 Ver1.0");
    EXPECT_EQ(LastMessage(), u"ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。");
    EXPECT_EQ(os.commandLines.back(), u"\"C:\\WINDOWS\\SYSTEM32\\Regsvr32.exe\" /U /S \"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll\"");
    for (const char16_t* name : {u"WekQM417.dll", u"Quillmark.cnt", u"Quillmark.GID", u"Quillmark.hlp", u"Quillmark.chm"}) {
        EXPECT_FALSE(os.FileExists(kSystem + std::u16string(name))) << Utf16ToUtf8(name);
    }
    EXPECT_FALSE(os.DirectoryExists(kGroupPath));
    EXPECT_FALSE(KeyExists(Hive::LocalMachine, kUninstallKey));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, kSettingsKey));
    EXPECT_FALSE(KeyExists(Hive::ClassesRoot, u"WekQM417.AddInClass"));
    // The running copy stays.
    EXPECT_TRUE(os.FileExists(u"C:\\WINDOWS\\WekQM417_Setup.exe"));

    const std::size_t started = os.commandLines.size();
    Run(u"/UNINST");
    EXPECT_EQ(LastMessage(), u"ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。");
    EXPECT_EQ(os.commandLines.size(), started);  // nothing left to unregister
}

TEST_F(Setup, RemovalKeepsTheUsersFilesAndNamesWhatItCouldNotRemove) {
    Run(u"");
    os.PutFile(std::u16string(kGroupPath) + u"\\memo.txt", "mine");
    os.lockedFiles.insert(u"c:\\windows\\system32\\quillmark.hlp");
    Run(u"/UNINST");
    EXPECT_EQ(LastMessage(),
              u"次のものを削除できませんでした。\r- C:\\WINDOWS\\SYSTEM32\\Quillmark.hlp\r"
              u"ﾌｧｲﾙを使用しているﾌﾟﾛｸﾞﾗﾑ(Visual Basic など)を終了してから、もう一度削除を実行してください。");
    EXPECT_FALSE(os.FileExists(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"));
    EXPECT_TRUE(os.FileExists(std::u16string(kGroupPath) + u"\\memo.txt"));
    EXPECT_EQ(os.ShortcutAt(std::u16string(kGroupPath) + u"\\Quillmark ﾍﾙﾌﾟ.lnk"), nullptr);
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, kSettingsKey));
}

// The help shortcut leads to the help that opens on the system, by the name Explorer finds it under:
// a 32-bit program on 64-bit Windows copies into the 32-bit system folder (the system redirects
// SYSTEM32 there for it), which 64-bit Explorer knows as SysWOW64. Registration and the uninstall
// entry stay as they are: the 32-bit tool, and the Windows folder, which is not redirected.
TEST_F(Setup, ShortcutsNameTheFilesAsExplorerFindsThem) {
    struct Case {
        const char* system;
        bool winHelp;
        std::optional<std::u16string> wow64;
        const char16_t* helpTarget;
    };
    const Case cases[] = {
        {"32-bit Windows with WinHelp", true, std::nullopt, u"C:\\WINDOWS\\SYSTEM32\\Quillmark.hlp"},
        {"Windows 10, 32 bits", false, std::nullopt, u"C:\\WINDOWS\\SYSTEM32\\Quillmark.chm"},
        {"Windows 7, 64 bits", true, u"C:\\WINDOWS\\SysWOW64", u"C:\\WINDOWS\\SysWOW64\\Quillmark.hlp"},
        {"Windows 11, 64 bits", false, u"C:\\WINDOWS\\SysWOW64\\", u"C:\\WINDOWS\\SysWOW64\\Quillmark.chm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        ui.winHelp = c.winHelp;
        os.wow64SystemDirectory = c.wow64;
        Run(u"");
        EXPECT_EQ(LastMessage(), u"ｾｯﾄｱｯﾌﾟが完了しました。");
        const auto* help = os.ShortcutAt(std::u16string(kGroupPath) + u"\\Quillmark ﾍﾙﾌﾟ.lnk");
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(help->target, c.helpTarget);
        EXPECT_EQ(os.ShortcutAt(std::u16string(kGroupPath) + u"\\Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk")->target, u"C:\\WINDOWS\\WekQM417_Setup.exe");
        EXPECT_EQ(os.commandLines.back(), u"\"C:\\WINDOWS\\SYSTEM32\\Regsvr32.exe\" /S \"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll\"");
        EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\Quillmark.chm"), "Quillmark.chm v1");
    }
}

// The program runs elevated in the user's Start menu, where the user's own programs can put a
// junction or a symbolic link in place of a folder or a shortcut. The simulated system follows links
// as Windows does, so what the program would create or delete through one shows up at the target.
struct LinkCase {
    const char* where;
    const char16_t* link;
    const char16_t* target;
};
const LinkCase kLinkCases[] = {
    {"the Programs folder", u"C:\\WINDOWS\\Start Menu\\Programs", u"C:\\Target"},
    {"a folder above it", u"C:\\WINDOWS\\Start Menu", u"C:\\Target"},
    {"the program group", kGroupPath, u"C:\\Target"},
    {"a shortcut", u"C:\\WINDOWS\\Start Menu\\Programs\\Wek Quillmark for VB6 Ver1.0\\Quillmark ﾍﾙﾌﾟ.lnk",
     u"C:\\Target\\Quillmark ﾍﾙﾌﾟ.lnk"},
};

std::u16string LinkRefused(const std::u16string& job, const std::u16string& link, const std::u16string& done) {
    return job + u" (次の場所がｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸのため、" + done + u": " + link + u")";
}

TEST_F(Setup, InstallationCreatesNothingThroughALinkInTheStartMenu) {
    for (const LinkCase& c : kLinkCases) {
        SCOPED_TRACE(c.where);
        SimulatedOs fresh = os;
        fresh.AddDirectory(u"C:\\Target\\Programs");
        fresh.PutFile(u"C:\\Target\\Quillmark ﾍﾙﾌﾟ.lnk", "the user's");
        if (std::u16string(c.link).find(u".lnk") != std::u16string::npos) fresh.AddDirectory(kGroupPath);
        fresh.AddLink(c.link, c.target);
        std::swap(os, fresh);
        ui.messages.clear();
        Run(u"");
        EXPECT_EQ(LastMessage(), u"ｱﾄﾞｲﾝはｲﾝｽﾄｰﾙされましたが、次の作業はできませんでした。\r- " +
                                     LinkRefused(u"ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成", c.link, u"作成しませんでした") +
                                     u"\rｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸを取り除いてから、もう一度実行してください。");
        EXPECT_EQ(ui.messages.back().title, u"WekQM417_Setup");
        // Nothing at the target: no folder, no shortcut, the file there untouched; no window opened.
        EXPECT_FALSE(os.DirectoryExists(u"C:\\Target\\Wek Quillmark for VB6 Ver1.0"));
        EXPECT_FALSE(os.DirectoryExists(u"C:\\Target\\Programs\\Wek Quillmark for VB6 Ver1.0"));
        EXPECT_EQ(os.FileContent(u"C:\\Target\\Quillmark ﾍﾙﾌﾟ.lnk"), "the user's");
        EXPECT_EQ(os.ShortcutAt(u"C:\\Target\\Quillmark ﾍﾙﾌﾟ.lnk"), nullptr);
        EXPECT_TRUE(os.openedFolders.empty());
        // The rest of the installation is done.
        EXPECT_EQ(os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"), "WekQM417.dll v1");
        EXPECT_TRUE(KeyExists(Hive::LocalMachine, kUninstallKey));
        std::swap(os, fresh);
    }
}

TEST_F(Setup, RemovalDeletesNothingThroughALinkInTheStartMenu) {
    for (const LinkCase& c : kLinkCases) {
        SCOPED_TRACE(c.where);
        SimulatedOs fresh = os;
        std::swap(os, fresh);
        Run(u"");
        // The user's own files at the target carry the names of the group's shortcuts.
        os.PutFile(u"C:\\Target\\Quillmark ﾍﾙﾌﾟ.lnk", "the user's");
        os.PutFile(u"C:\\Target\\Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk", "the user's");
        os.AddDirectory(u"C:\\Target\\Programs\\Wek Quillmark for VB6 Ver1.0");
        os.PutFile(u"C:\\Target\\Programs\\Wek Quillmark for VB6 Ver1.0\\Quillmark ﾍﾙﾌﾟ.lnk", "the user's");
        os.AddLink(c.link, c.target);
        Run(u"/UNINST");
        EXPECT_EQ(LastMessage(), u"次のものを削除できませんでした。\r- " +
                                     LinkRefused(u"ｽﾀｰﾄ ﾒﾆｭｰのｼｮｰﾄｶｯﾄ", c.link, u"削除しませんでした") +
                                     u"\rｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸを取り除いてから、もう一度実行してください。");
        EXPECT_EQ(os.FileContent(u"C:\\Target\\Quillmark ﾍﾙﾌﾟ.lnk"), "the user's");
        EXPECT_EQ(os.FileContent(u"C:\\Target\\Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk"), "the user's");
        EXPECT_EQ(os.FileContent(u"C:\\Target\\Programs\\Wek Quillmark for VB6 Ver1.0\\Quillmark ﾍﾙﾌﾟ.lnk"), "the user's");
        EXPECT_TRUE(os.DirectoryExists(u"C:\\Target"));
        // The rest of the removal is done.
        EXPECT_FALSE(os.FileExists(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"));
        EXPECT_FALSE(KeyExists(Hive::CurrentUser, kSettingsKey));
        std::swap(os, fresh);
    }
}

// What the tests above rely on: the simulated system is as strict as Windows and the system's backend.
TEST(SimulatedOs, FollowsLinksAndDeletesNoneOfThem) {
    SimulatedOs os;
    os.AddDirectory(u"C:\\Target");
    os.AddLink(u"C:\\Users\\u\\Programs", u"C:\\Target");
    os.PutFile(u"C:\\Target\\file.txt", "x");
    os.AddLink(u"C:\\Users\\u\\file.lnk", u"C:\\Target\\file.txt");
    EXPECT_EQ(os.LinkOnPath(u"C:\\Users\\u\\Programs\\Group\\a.lnk"), u"C:\\Users\\u\\Programs");
    EXPECT_EQ(os.LinkOnPath(u"C:\\USERS\\u\\file.lnk"), u"C:\\USERS\\u\\file.lnk");
    EXPECT_EQ(os.LinkOnPath(u"C:\\Users\\u\\Other\\a.lnk"), std::nullopt);
    os.MakeDirectory(u"C:\\Users\\u\\Programs\\Group");
    EXPECT_TRUE(os.DirectoryExists(u"C:\\Target\\Group"));
    EXPECT_TRUE(os.FileExists(u"C:\\Users\\u\\file.lnk"));
    EXPECT_THROW(os.DeleteFileAt(u"C:\\Users\\u\\file.lnk"), PlatformError);
    EXPECT_THROW(os.RemoveEmptyDirectory(u"C:\\Users\\u\\Programs"), PlatformError);
    EXPECT_EQ(os.FileContent(u"C:\\Target\\file.txt"), "x");
    EXPECT_FALSE(os.DirectoryIsEmpty(u"C:\\Users\\u"));
    os.AddLink(u"C:\\Loop", u"C:\\Loop\\again");
    EXPECT_THROW(os.DirectoryExists(u"C:\\Loop"), PlatformError);
}

TEST_F(Setup, CancelChangesNothing) {
    Run(u"", false);
    Run(u"/UNINST", false);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(registry.Keys().empty());
    EXPECT_TRUE(os.commandLines.empty());
}


// A whole machine, installed on and cleaned again: Windows of either bitness, the Office editors on
// it, and what the user and other programs already keep there.
class Machine {
public:
    Machine(bool windows64, bool office32, bool office64) {
        for (const char16_t* name : {u"WekQM417.dll", u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm", u"Setup.exe"}) {
            os.PutFile(std::u16string(u"D:\\SETUP\\") + name, Utf16ToUtf8(name) + " 32");
        }
        os.PutFile(u"D:\\SETUP\\WekQM417x64.dll", "WekQM417.dll 64");
        os.AddDirectory(u"C:\\WINDOWS\\Start Menu\\Programs");
        // The registration tool of each bitness writes the class into its own view of the registry,
        // and refuses a library that is not there.
        AddRegistrationTool(u"C:\\WINDOWS\\SYSTEM32\\", windows64 ? u"WOW6432Node\\CLSID\\{QM}" : u"CLSID\\{QM}");
        if (windows64) {
            // The setup program is a 32-bit program: its system directory is the 32-bit one, Explorer
            // knows that as SysWOW64, and the 64-bit one is reached as Sysnative.
            os.wow64SystemDirectory = u"C:\\WINDOWS\\SysWOW64";
            os.nativeSystemDirectory = u"C:\\WINDOWS\\Sysnative";
            os.programFiles32 = u"C:\\Program Files (x86)";
            os.commonFiles32 = u"C:\\Program Files (x86)\\Common Files";
            os.programFiles64 = u"C:\\Program Files";
            os.commonFiles64 = u"C:\\Program Files\\Common Files";
            AddRegistrationTool(u"C:\\WINDOWS\\Sysnative\\", u"CLSID\\{QM}");
        }
        if (office32) os.PutFile(*os.commonFiles32 + u"\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL", "VBE 32");
        if (office64) os.PutFile(*os.commonFiles64 + u"\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL", "VBE 64");

        // What is not the add-in's: another program's files beside its own, the user's Start menu and
        // other add-ins of every host.
        os.PutFile(u"C:\\WINDOWS\\SYSTEM32\\Other.dll", "other");
        os.PutFile(u"C:\\WINDOWS\\SYSTEM32\\Other.hlp", "other");
        if (windows64) os.PutFile(u"C:\\WINDOWS\\Sysnative\\Other.dll", "other 64");
        os.PutFile(u"C:\\WINDOWS\\Start Menu\\Programs\\Other\\Other.lnk", "shortcut");
        for (const char16_t* key : {u"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Other.Connect",
                                    u"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins\\Other.Connect",
                                    u"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Other.Connect"}) {
            RegKey handle = 0;
            registry.CreateKey(Hive::CurrentUser, key, &handle);
            const std::uint8_t three[4] = {3, 0, 0, 0};
            registry.SetValue(handle, u"LoadBehavior", regtype::Dword, three, 4);
            registry.CloseKey(handle);
        }
        RegKey handle = 0;
        registry.CreateKey(Hive::ClassesRoot, u"CLSID\\{OTHER}", &handle);
        registry.CloseKey(handle);
    }

    void Run(const std::u16string& commandLine) {
        ui.onModal = [](ui::Form& form) { ui::user::Click(*dynamic_cast<frmMain&>(form).Command1[0]); };
        RunSetup(SetupServices{registry, Cp932(), os, ui}, commandLine);
    }

    struct State {
        std::map<std::u16string, std::string> files;
        std::vector<std::u16string> directories;
        std::vector<RegKeyContent> keys;
    };
    State Snapshot() const {
        State state;
        for (const auto& file : os.Files()) state.files[FoldAscii(file)] = os.FileContent(file);
        state.directories = os.Directories();
        state.keys = registry.Keys();
        std::sort(state.keys.begin(), state.keys.end(),
                  [](const RegKeyContent& a, const RegKeyContent& b) { return std::tie(a.hive, a.path) < std::tie(b.hive, b.path); });
        return state;
    }
    // The library that the class registered in that view of the registry loads; empty when none is.
    std::string LibraryOfView(const std::u16string& classKey) {
        RegKey key = 0;
        if (registry.OpenKey(Hive::ClassesRoot, classKey, &key) != RegStatus::Success) return "";
        std::u16string name;
        std::uint32_t type = 0;
        std::string path;
        registry.EnumValue(key, 0, &name, &type, &path);
        registry.CloseKey(key);
        return os.FileContent(Cp932().FromAnsi(path));
    }

    SimulatedOs os;
    MemoryRegistry registry;
    ui::HeadlessUi ui;

private:
    void AddRegistrationTool(const std::u16string& folder, const std::u16string& classKey) {
        os.AddProgram(folder + u"Regsvr32.exe", [this, classKey](const std::u16string& line) {
            const auto quote = line.find(u"\" ");
            const std::u16string arguments = line.substr(quote + 2);
            const bool remove = arguments.compare(0, 3, u"/U ") == 0;
            std::u16string library = arguments.substr(arguments.find(u'"') + 1);
            library.pop_back();
            if (!os.FileExists(library)) return 3;
            if (remove) return registry.DeleteKey(Hive::ClassesRoot, classKey) == RegStatus::Success ? 0 : 5;
            RegKey key = 0;
            registry.CreateKey(Hive::ClassesRoot, classKey, &key);
            const std::string path = Cp932().ToAnsi(library);
            registry.SetValue(key, u"", regtype::Sz, reinterpret_cast<const std::uint8_t*>(path.data()),
                              static_cast<std::uint32_t>(path.size()));
            registry.CloseKey(key);
            return 0;
        });
    }
};

TEST(SetupMachine, EachEditorGetsItsOwnLibraryWithItsHelpAndRemovalLeavesTheMachineAsItWas) {
    struct Case {
        const char* what;
        bool windows64;
        bool office32;
        bool office64;
    };
    const Case cases[] = {
        {"32-bit Windows, no Office", false, false, false},   {"32-bit Windows, Office", false, true, false},
        {"64-bit Windows, no Office", true, false, false},    {"64-bit Windows, 32-bit Office", true, true, false},
        {"64-bit Windows, 64-bit Office", true, false, true}, {"64-bit Windows, both", true, true, true},
    };
    constexpr char16_t kSystem32[] = u"C:\\WINDOWS\\SYSTEM32\\";
    constexpr char16_t kSystem64[] = u"C:\\WINDOWS\\Sysnative\\";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine machine(c.windows64, c.office32, c.office64);
        const Machine::State before = machine.Snapshot();

        machine.Run(u"");
        ASSERT_FALSE(machine.ui.messages.empty());
        EXPECT_EQ(machine.ui.messages.back().text, u"ｾｯﾄｱｯﾌﾟが完了しました。");
        // Each view of the registry leads to the library of its own bitness.
        EXPECT_EQ(machine.LibraryOfView(c.windows64 ? u"WOW6432Node\\CLSID\\{QM}" : u"CLSID\\{QM}"), "WekQM417.dll 32");
        if (c.windows64) {
            EXPECT_EQ(machine.LibraryOfView(u"CLSID\\{QM}"), c.office64 ? "WekQM417.dll 64" : "");
        }
        // The library finds its help beside itself, whichever it is.
        std::vector<std::u16string> folders{kSystem32};
        if (c.office64) folders.push_back(kSystem64);
        for (const std::u16string& folder : folders) {
            for (const char16_t* name : {u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm"}) {
                EXPECT_EQ(machine.os.FileContent(folder + name), Utf16ToUtf8(name) + " 32") << Utf16ToUtf8(folder + name);
            }
        }
        if (c.windows64 && !c.office64) {
            EXPECT_FALSE(machine.os.FileExists(std::u16string(kSystem64) + u"Quillmark.hlp"));
        }
        SettingsStore vba32(machine.registry, Cp932(), kVbaKey32);
        SettingsStore vba64(machine.registry, Cp932(), kVbaKey64);
        EXPECT_EQ(vba32.KeyExists(), c.office32);
        EXPECT_EQ(vba64.KeyExists(), c.office64);

        // The help viewer leaves its index beside the help it showed.
        for (const std::u16string& folder : folders) machine.os.PutFile(folder + u"Quillmark.GID", "index");
        machine.Run(u"/UNINST " + std::u16string(kDisplayName));
        EXPECT_EQ(machine.ui.messages.back().text, u"ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。");
        Machine::State after = machine.Snapshot();
        // Only the running copy of the program stays.
        EXPECT_EQ(after.files.erase(u"c:\\windows\\wekqm417_setup.exe"), 1U);
        EXPECT_EQ(after.files, before.files);
        EXPECT_EQ(after.directories, before.directories);
        EXPECT_TRUE(after.keys == before.keys);
    }
}

// What keeps a 64-bit editor from its registration is named; the editor is then told of no library,
// and nothing of the 32-bit installation is touched.
TEST(SetupMachine, A64BitEditorIsRegisteredOnlyWithItsLibraryAndHelpInPlace) {
    struct Case {
        const char* what;
        std::function<void(Machine&)> scene;
        const char16_t* reported;
    };
    const Case cases[] = {
        {"help in use", [](Machine& m) { m.os.lockedFiles.insert(u"c:\\windows\\sysnative\\quillmark.hlp"); },
         u"(C:\\WINDOWS\\Sysnative\\Quillmark.hlp をｺﾋﾟｰできません)"},
        {"library in use", [](Machine& m) { m.os.lockedFiles.insert(u"c:\\windows\\sysnative\\wekqm417.dll"); },
         u"(C:\\WINDOWS\\Sysnative\\WekQM417.dll をｺﾋﾟｰできません)"},
        {"a 64-bit setup program", [](Machine& m) { m.os.nativeSystemDirectory = u"C:\\WINDOWS\\SYSTEM32"; },
         u"(C:\\WINDOWS\\SYSTEM32\\ には 32ﾋﾞｯﾄ版のｱﾄﾞｲﾝがｲﾝｽﾄｰﾙされています)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine machine(true, false, true);
        c.scene(machine);
        machine.Run(u"");
        ASSERT_FALSE(machine.ui.messages.empty());
        const std::u16string& text = machine.ui.messages.back().text;
        EXPECT_NE(text.find(u"\r- 64ﾋﾞｯﾄ版 Office の VBA ｴﾃﾞｨﾀへの登録 " + std::u16string(c.reported)), std::u16string::npos)
            << Utf16ToUtf8(text);
        EXPECT_FALSE(SettingsStore(machine.registry, Cp932(), kVbaKey64).KeyExists());
        EXPECT_EQ(machine.LibraryOfView(u"WOW6432Node\\CLSID\\{QM}"), "WekQM417.dll 32");
        EXPECT_EQ(machine.LibraryOfView(u"CLSID\\{QM}"), "");
        EXPECT_EQ(machine.os.FileContent(u"C:\\WINDOWS\\SYSTEM32\\WekQM417.dll"), "WekQM417.dll 32");
    }
}

}  // namespace
}  // namespace qm::test
