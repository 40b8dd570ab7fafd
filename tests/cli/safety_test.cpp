// Nothing lost: what the command does with links, special files, read-only files, a store that several
// processes write, a store that cannot be written, and text that is not what it should be.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::kModule;
using qm::test::Result;

class Safety : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("safety");
        settings_ = Put("settings.reg", "REGEDIT4\r\n\r\n");
    }

    // The options go first, so that "--" in args ends them.
    Result Run(const std::string& args, const std::string& settings = {}) {
        const auto space = args.find(' ');
        const std::string verb = args.substr(0, space);
        const bool dates = verb == "stamp" || verb == "mark";
        return Quillmark(verb + " --settings '" + (settings.empty() ? settings_ : settings) + "'" +
                         (dates ? " --now '1999-12-01 09:05:07'" : "") + args.substr(space));
    }
    static std::string Read(const std::string& path) { return qm::ReadWholeFile(path); }

    std::string settings_;
};

// --- Files

TEST_F(Safety, WriteThroughASymbolicLinkReplacesTheFileAndKeepsTheLink) {
    const std::string real = Put("Real.bas", kModule);
    const std::string link = (dir_ / "Link.bas").string();
    fs::create_symlink("Real.bas", link);
    const Result r = Run("stamp '" + link + "' --line 5 --write");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(Read(real), kModule);
    EXPECT_EQ(Read(link), Read(real));
}

TEST_F(Safety, SpecialFilesAreRefusedAtOnceAndLeftAsTheyAre) {
    const std::string fifo = (dir_ / "Pipe.bas").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // Devices and a folder under the name of a module, and a link to a device.
    fs::create_symlink("/dev/zero", dir_ / "Zero.bas");
    fs::create_symlink("/dev/null", dir_ / "Null.bas");
    fs::create_directory(dir_ / "Folder.bas");
    for (const char* name : {"Pipe.bas", "Zero.bas", "Null.bas", "Folder.bas"}) {
        for (const char* write : {"", " --write"}) {
            const std::string args = "stamp '" + (dir_ / name).string() + "' --line 1" + std::string(write);
            const Result r = Run(args);
            EXPECT_EQ(r.status, 1) << args;  // 124 would be the timeout of a hang
            EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << args << ": " << r.err;
        }
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "Null.bas"));
}

TEST_F(Safety, AReadOnlyFileIsRefusedWithWhatToDo) {
    const std::string file = Put("Locked.bas", kModule);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    const Result r = Run("stamp '" + file + "' --line 5 --write");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("chmod u+w"), std::string::npos) << r.err;
    EXPECT_EQ(Read(file), kModule);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::group_read);
}

TEST_F(Safety, TheReplacedFileKeepsItsModeAndOwner) {
    const std::string file = Put("Shared.bas", kModule);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(file.c_str(), 4321, 4321), 0);
    }
    ASSERT_EQ(Run("stamp '" + file + "' --line 5 --write").status, 0);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4321u);
    } else {
        GTEST_SKIP() << "keeping another user's ownership needs root";
    }
}

// A run killed in the middle leaves its temporary file; the next write beside it removes it, and
// leaves alone the one of a writer that still runs.
TEST_F(Safety, TemporaryFilesOfKilledRunsAreRemoved) {
    const std::string file = Put("Module1.bas", kModule);
    // A process number that no process has: past the system's limit.
    const std::string stale = Put(".Module1.bas.quillmark-999999999.tmp", "half");
    const std::string running = Put(".Module1.bas.quillmark-" + std::to_string(getpid()) + ".tmp", "busy");
    ASSERT_EQ(Run("stamp '" + file + "' --line 5 --write").status, 0);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    int temps = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        if (entry.path().extension() == ".tmp") ++temps;
    }
    EXPECT_EQ(temps, 1);
}

// --- The store

TEST_F(Safety, ConcurrentWritersLoseNoValue) {
    // Two writers, each setting its own value over and over, at the same time.
    ASSERT_EQ(Run("settings reset").status, 0);
    const std::string script = Put(
        "writers.sh",
        "exe=\"$1\"; store=\"$2\"\n"
        "(for i in $(seq 1 40); do \"$exe\" settings -q --settings \"$store\" set StartVisible $i || echo lost; done) >\"$3\" 2>&1 &\n"
        "(for i in $(seq 101 140); do \"$exe\" settings -q --settings \"$store\" set ToolBarPosition $i || echo lost; done) >\"$4\" 2>&1\n"
        "wait\n");
    const std::string command =
        "bash '" + script + "' '" + QUILLMARK_EXE + "' '" + settings_ + "' '" + (dir_ / "a").string() + "' '" + (dir_ / "b").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Read((dir_ / "a").string()), "");
    EXPECT_EQ(Read((dir_ / "b").string()), "");
    EXPECT_EQ(Run("settings get StartVisible").out, "40\n");
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "140\n");
}

TEST_F(Safety, AStoreThatCannotBeWrittenIsReportedAndKept) {
    // A folder in the way of the store's own folder: nothing can be written there, whoever runs it.
    // (The user's own store, which a write may create; a named one must exist.)
    Put("blocked", "a file, not a folder");
    const std::string command = std::string("QUILLMARK_SETTINGS='") + (dir_ / "blocked" / "settings.reg").string() + "' '" + QUILLMARK_EXE +
                                "' settings set ToolBarPosition 0 2>'" + (dir_ / "err").string() + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    EXPECT_NE(Read((dir_ / "err").string()).find("could not be written"), std::string::npos) << Read((dir_ / "err").string());

    // A store whose folder cannot be written: the old store stays as it was.
    ASSERT_EQ(Run("settings set ToolBarPosition 0").status, 0);
    const std::string before = Read(settings_);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() == 0) {
        fs::permissions(dir_, fs::perms::owner_all);
        GTEST_SKIP() << "root writes into any folder; the folder-in-the-way case above ran";
    }
    const Result denied = Run("settings set ToolBarPosition 1");
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(denied.status, 1);
    EXPECT_EQ(Read(settings_), before);
}

// An import file of many values: "ValueNNNNN" = "text N", and one number.
std::string ManyValues(int count) {
    std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(100000 + i).substr(1);
        file += "\"Value" + n + "\"=\"text " + std::to_string(i) + "\"\r\n";
    }
    return file + "\"ToolBarPosition\"=dword:00000000\r\n";
}

TEST_F(Safety, AnImportThatCannotBeWrittenLeavesTheStoreByteForByte) {
    ASSERT_EQ(Run("settings set EditStamp 0,0,0,0,0,x").status, 0);
    const std::string before = Read(settings_);
    const std::string import = Put("import.reg", ManyValues(500));
    // The store made read-only, as a checkout of a team file may leave it: refused for root too.
    fs::permissions(settings_, fs::perms::owner_read | fs::perms::group_read);
    const Result r = Run("settings import '" + import + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("left as it was"), std::string::npos) << r.err;
    EXPECT_EQ(Read(settings_), before);
    // A file that cannot be read as a whole is refused before anything is written: the last line is bad.
    fs::permissions(settings_, fs::perms::owner_read | fs::perms::owner_write);
    const Result broken = Run("settings import '" + Put("broken.reg", ManyValues(500) + "\"Last\"=what\r\n") + "'");
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("broken.reg:505:"), std::string::npos) << broken.err;
    EXPECT_EQ(Read(settings_), before);
    for (const auto& entry : fs::directory_iterator(dir_)) EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(Safety, AnImportOfTenThousandValuesIsTakenWhole) {
    // Written once, not once a value: under the run's limit of 10 seconds with room to spare.
    const Result r = Run("settings import '" + Put("import.reg", ManyValues(10000)) + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Run("settings get Value09999").out, "text 9999\n");
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "0\n");
    // With the initial values the first write of an empty store lays down.
    const Result list = Run("settings list");
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 10000 + 11) << list.status << list.err;
}

TEST_F(Safety, ALinkToTheStoreStaysALink) {
    const std::string real = (dir_ / "team.reg").string();
    fs::rename(settings_, real);
    fs::create_symlink("team.reg", settings_);
    ASSERT_EQ(Run("settings set ToolBarPosition 0").status, 0);
    EXPECT_TRUE(fs::is_symlink(settings_));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(real)));
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "0\n");
}

// --- Text

TEST_F(Safety, AValueThatStartsWithAMinusCanBeSet) {
    EXPECT_EQ(Run("settings set ToolBarPosition -1").status, 0);
    EXPECT_EQ(Run("settings get ToolBarPosition").out, "-1\n");
    const Result dashed = Run("settings set -- ExtendValue -1,1,78,-");
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_EQ(Run("settings get ExtendValue").out, "-1,1,78,-\n");
    const Result option = Run("settings set EditStamp -x");
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.err.find("--"), std::string::npos);
}

TEST_F(Safety, ALoneSurrogateInARegistryFileSwallowsNothing) {
    // "Windows Registry Editor Version 5.00" in UTF-16LE, with a lone high surrogate before あいう.
    std::u16string text =
        u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n"
        u"\"EditStamp\"=\"1,1,1,1,1,";
    text.push_back(static_cast<char16_t>(0xD800));
    text += u"あいう\"\r\n";
    std::string bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    const std::string file = Put("import.reg", bytes);
    ASSERT_EQ(Run("settings import '" + file + "'").status, 0);
    EXPECT_EQ(Run("settings get EditStamp").out, "1,1,1,1,1,?あいう\n");
}

}  // namespace
