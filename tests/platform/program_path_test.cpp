#include "platform/program_path.h"

#include <gtest/gtest.h>

#include "addin/shell/help.h"
#include "platform/failure.h"
#include "platform/sim/os_simulated.h"
#include "platform/text.h"
#include "platform/sim/headless.h"

namespace qm::test {
namespace {

TEST(ProgramPath, OnlyAFullPathNamesAProgram) {
    struct Case {
        const char16_t* path;
        bool full;
    };
    const Case cases[] = {
        {u"C:\\WINDOWS\\WINHLP32.EXE", true},
        {u"d:\\x", true},
        {u"\\\\server\\share\\tools\\x.exe", true},
        {u"WINHLP32.EXE", false},             // looked for in the current folder first
        {u".\\WINHLP32.EXE", false},          // relative to the current folder
        {u"\\WINDOWS\\WINHLP32.EXE", false},  // on the current drive
        {u"C:WINHLP32.EXE", false},           // in the current folder of drive C
        {u"C:\\", false},                     // a drive, not a file
        {u"\\\\server\\x.exe", false},        // no share
        {u"\\\\server\\share\\", false},      // no file
        {u"\\\\\\share\\x.exe", false},       // no server
        {u"C:\\a\"b.exe", false},             // cannot stand in quotes
        {u"C:\\a\nb.exe", false},             // a control character
        {u"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsFullPath(c.path), c.full) << Utf16ToUtf8(c.path);
}

TEST(ProgramPath, TheProgramIsOneQuotedWordOfItsCommandLine) {
    EXPECT_EQ(CommandLineOf(u"C:\\Program Files\\x.exe", u"/S \"C:\\a b\\y.dll\""), u"\"C:\\Program Files\\x.exe\" /S \"C:\\a b\\y.dll\"");
    EXPECT_EQ(CommandLineOf(u"C:\\x.exe", u""), u"\"C:\\x.exe\"");
    EXPECT_EQ(WithBackslash(u"C:\\WINDOWS"), u"C:\\WINDOWS\\");
    EXPECT_EQ(WithBackslash(u"C:\\"), u"C:\\");
    EXPECT_EQ(WithBackslash(u""), u"\\");
}

// The test backends are as strict as the system's: a program named by anything but its full path is
// not started, so that code which would let Windows look for it fails its tests.
TEST(ProgramPath, TheTestBackendsStartNothingByName) {
    ui::HeadlessUi ui;
    EXPECT_THROW(ui.StartProgram(u"WINHLP32.EXE", u"x.hlp"), PlatformError);
    ui.StartProgram(u"C:\\WINDOWS\\WINHLP32.EXE", u"\"C:\\a b\\x.hlp\"");
    EXPECT_EQ(ui.startedPrograms, std::vector<std::u16string>{u"\"C:\\WINDOWS\\WINHLP32.EXE\" \"C:\\a b\\x.hlp\""});
    ui.programsThatFail.push_back(u"winhlp32.exe");
    EXPECT_THROW(ui.StartProgram(u"C:\\WINDOWS\\WINHLP32.EXE", u""), PlatformError);

    SimulatedOs os;
    os.AddProgram(u"C:\\WINDOWS\\SYSTEM32\\Regsvr32.exe", [](const std::u16string&) { return 0; });
    EXPECT_THROW(os.RunAndWait(u"Regsvr32.exe", u"/S x.dll"), PlatformError);
    EXPECT_EQ(os.RunAndWait(u"C:\\WINDOWS\\SYSTEM32\\REGSVR32.EXE", u"/S x.dll"), 0);
}

// The help command starts the viewer of the Windows folder on the help file, quoted; without WinHelp
// it opens the HTML Help file beside it.
TEST(ProgramPath, TheHelpViewerIsStartedFromTheWindowsFolder) {
    ui::HeadlessUi ui;
    ui.windowsDirectory = u"E:\\Windows NT\\";
    OpenHelpContents(ui, u"C:\\Program Files\\Wek\\Quillmark.hlp");
    EXPECT_EQ(ui.startedPrograms,
              std::vector<std::u16string>{u"\"E:\\Windows NT\\WINHLP32.EXE\" \"C:\\Program Files\\Wek\\Quillmark.hlp\""});
    // Where the Windows folder has none (Wine keeps it in the system folder), the system folder's.
    ui.programsThatFail.push_back(u"E:\\Windows NT\\WINHLP32.EXE");
    ui.systemDirectory = u"E:\\Windows NT\\system32";
    OpenHelpContents(ui, u"C:\\Q\\Quillmark.hlp");
    EXPECT_EQ(ui.startedPrograms.back(), u"\"E:\\Windows NT\\system32\\WINHLP32.EXE\" \"C:\\Q\\Quillmark.hlp\"");
    ui.programsThatFail.push_back(u"WINHLP32.EXE");
    EXPECT_THROW(OpenHelpContents(ui, u"C:\\Q\\Quillmark.hlp"), PlatformError);
    ui.winHelp = false;
    OpenHelpContents(ui, u"C:\\Program Files\\Wek\\Quillmark.HLP");
    ASSERT_EQ(ui.htmlHelpRequests.size(), 1U);
    EXPECT_EQ(ui.htmlHelpRequests[0].first, u"C:\\Program Files\\Wek\\Quillmark.chm");
    EXPECT_EQ(ui.startedPrograms.size(), 2U);
}

}  // namespace
}  // namespace qm::test
