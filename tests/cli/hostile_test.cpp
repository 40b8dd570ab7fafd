// A hostile repository, name or store: the command changes nothing outside the project, puts no line
// of code into a module, overwrites no save made since it read a file, and an interrupted run cleans
// up after itself and says what it did.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "tests/cli/cli_fixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using qm::test::kModule;
using qm::test::Result;

class Hostile : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("hostile");
        std::filesystem::create_directories(dir_ / "project");
        std::filesystem::create_directories(dir_ / "outside");
        Put("project/.quillmark.reg", "REGEDIT4\r\n\r\n");
    }
    // Runs in the project folder, where the team file is found.
    Result Run(const std::string& args, const std::string& env = "") { return Quillmark(args, "project", env); }
    static bool HasRawControl(const std::string& text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n') return true;
        }
        return false;
    }
};

constexpr const char* kNow = " --now '1999-12-01 09:05:07'";

// Which links a write may go through: the rule, case by case. The module the link stands for is
// stamped or left, and the rest of the run is done either way.
TEST_F(Hostile, LinksThatLeadOutOfTheProjectAreNotWrittenThrough) {
    struct Case {
        const char* what;
        const char* link;    // in the project folder
        const char* target;  // as the link names it
        const char* file;    // the file the target is, under dir_
        bool git;            // the test folder is a git work tree
        bool written;
        const char* message;
    };
    const Case cases[] = {
        {"a start-up file of the shell", "x.bas", "../outside/profile", "outside/profile", false, false, "not a VB6 source file"},
        {"a module outside", "x.bas", "../outside/Shared.bas", "outside/Shared.bas", false, false, "leads out of the project"},
        {"a module in a sub-folder", "x.bas", "sub/Real.bas", "project/sub/Real.bas", false, true, ""},
        {"a module elsewhere in the work tree", "x.bas", "../outside/Shared.bas", "outside/Shared.bas", true, true, ""},
        {"an absolute link out of the work tree", "x.bas", "/tmp/qm-hostile-not-there/M.bas", "", true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        if (c.git) fs::create_directories(dir_ / ".git");
        if (*c.file != '\0') Put(c.file, kModule);
        Put("project/Plain.bas", kModule);
        fs::create_symlink(c.target, dir_ / "project" / c.link);
        const Result r = Run(std::string("stamp Plain.bas ") + c.link + " --all --module-header --write" + kNow);
        EXPECT_NE(Read("project/Plain.bas"), kModule);  // the rest is done
        if (c.written) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(Read(c.file), kModule);
        } else {
            EXPECT_EQ(r.status, 1) << r.err;
            if (*c.file != '\0') {
                EXPECT_EQ(Read(c.file), kModule);
            }
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        }
        EXPECT_TRUE(fs::is_symlink(dir_ / "project" / c.link));
    }
}

// A project's members: a shared module beside the project folder (no link) is the team's own; a
// member reached through a linked folder that leads out is not written.
TEST_F(Hostile, ProjectMembersFollowTheSameRule) {
    Put("shared/Common.bas", kModule);
    Put("outside/Evil.bas", kModule);
    fs::create_directory_symlink("../outside", dir_ / "project" / "lib");
    Put("project/App.vbp", "Type=Exe\r\nModule=Common; ..\\shared\\Common.bas\r\nModule=Evil; lib\\Evil.bas\r\n");
    const Result r = Run(std::string("stamp App.vbp --all --write") + kNow);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(Read("shared/Common.bas"), kModule);
    EXPECT_EQ(Read("outside/Evil.bas"), kModule);
    EXPECT_NE(r.err.find("lib/Evil.bas: a link leads out of the project"), std::string::npos) << r.err;
}

// The attack as it was shown: a link whose name holds line breaks, to a start-up file of the shell.
TEST_F(Hostile, ANameWithLineBreaksWritesNothingAndBreaksNoOutputLine) {
    const std::string name = "x'\ntouch PWNED\n#.bas";
    Put("outside/profile", "echo hello\n");
    fs::create_symlink("../outside/profile", dir_ / "project" / name);
    Put("project/" + std::string("y\x1b[2J.bas"), kModule);
    Put("project/Plain.bas", kModule);
    for (const char* args : {"stamp *.bas --all --module-header --write", "stamp *.bas --all --module-header --diff",
                             "check *.bas --module-header", "refresh *.bas --write"}) {
        SCOPED_TRACE(args);
        const Result r = Run(std::string(args) + (std::string(args).rfind("check", 0) == 0 ? "" : kNow));
        EXPECT_EQ(r.status, std::string(args).rfind("check", 0) == 0 ? 2 : 1);
        EXPECT_EQ(Read("outside/profile"), "echo hello\n");
        EXPECT_NE(r.err.find("x'\\ntouch PWNED\\n#.bas: a name with a control character"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("y\\x1b[2J.bas"), std::string::npos) << r.err;
        EXPECT_FALSE(HasRawControl(r.err));
        EXPECT_EQ(r.out.find("touch"), std::string::npos);
    }
    EXPECT_NE(Read("project/Plain.bas"), kModule);
}

// Names from options and the environment: refused, with the character shown, and nothing written.
TEST_F(Hostile, PersonalNamesWithLineBreaksAreRefused) {
    struct Case {
        const char* options;
        const char* env;
        const char* where;
    };
    const Case cases[] = {
        {"--author $'a\\r\\nPrivate Declare Function Evil Lib \"evil.dll\" () As Long'", "", "--author"},
        {"--editor $'a\\nEnd Function'", "", "--editor"},
        {"", "QUILLMARK_AUTHOR=$'a\\nAttribute VB_Name = \"Hacked\"'", "QUILLMARK_AUTHOR"},
        {"", "QUILLMARK_EDITOR=$'a\\x1b]0;x\\x07'", "QUILLMARK_EDITOR"},
    };
    Put("project/Module1.bas", kModule);
    for (const Case& c : cases) {
        for (const char* verb :
             {"stamp Module1.bas --line 5 --write", "mark Module1.bas --from 5 --write", "stamp Module1.bas --all --diff"}) {
            SCOPED_TRACE(std::string(c.where) + " " + verb);
            const Result r = Run(std::string(verb) + " " + c.options + kNow, c.env);
            EXPECT_EQ(r.status, 2) << r.err;
            EXPECT_NE(r.err.find(std::string(c.where) + " \"a\\"), std::string::npos) << r.err;
            EXPECT_FALSE(HasRawControl(r.err));
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(Read("project/Module1.bas"), kModule);
        }
    }
}

std::string Hex(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += std::string(out.empty() ? "" : ",") + kDigits[b >> 4] + kDigits[b & 15];
    }
    return out;
}

// A team file whose text values hold CR LF (a hex(1) value can): refused with the value named, the
// store left as it is; settings set refuses the same, even with --force.
TEST_F(Hostile, StoredValuesWithLineBreaksAreRefused) {
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n";
    struct Case {
        const char* value;
        std::string data;
    };
    const Case cases[] = {
        {"EditStamp", "1,1,1,1,1,a\r\nEnd Function"},
        {"CustomFormList", "[\x8a\x6d\r\n,-1]"},
        {"SelectDatas", "[0,0,0,0,0,][1,0,0,0,0,][2,0,0,0,0,][3,0,0,0,0,][4,0,0,0,0,x\r\nSub Evil()]"},
        {"ExtendValue", "1,1,3,-\n"},
    };
    Put("project/Module1.bas", kModule);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string team = "REGEDIT4\r\n\r\n" + key + "\"" + c.value + "\"=hex(1):" + Hex(c.data) + "\r\n";
        if (std::string(c.value) == "SelectDatas") team += "\"FixedFormList\"=\"0,1,2,3,5\"\r\n";
        Put("project/.quillmark.reg", team);
        const Result r = Run(std::string("stamp Module1.bas --line 5 --write") + kNow);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(std::string(c.value) + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("left as it is"), std::string::npos) << r.err;
        EXPECT_FALSE(HasRawControl(r.err));
        EXPECT_EQ(Read("project/Module1.bas"), kModule);
        EXPECT_EQ(Read("project/.quillmark.reg"), team);
    }
    Put("project/.quillmark.reg", "REGEDIT4\r\n\r\n");
    const std::string import = Put("import.reg", "REGEDIT4\r\n\r\n" + key + "\"ToolBarPosition\"=dword:00000000\r\n\"EditStamp\"=hex(1):" +
                                                     Hex("1,1,1,1,1,a\r\nEnd Sub") + "\r\n");
    const Result imported = Run("settings import '" + import + "'");
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.err.find("EditStamp: the value \"1,1,1,1,1,a\\r\\nEnd Sub\" holds a line break"), std::string::npos) << imported.err;
    EXPECT_EQ(Read("project/.quillmark.reg"), "REGEDIT4\r\n\r\n");
    for (const char* force : {"", "--force "}) {
        const Result set = Run(std::string("settings set ") + force + "EditStamp $'1,1,1,1,1,a\\r\\nEnd Sub'");
        EXPECT_EQ(set.status, 1) << force;
        EXPECT_NE(set.err.find("EditStamp: the value \"1,1,1,1,1,a\\r\\nEnd Sub\" holds a line break"), std::string::npos) << set.err;
        EXPECT_EQ(Read("project/.quillmark.reg"), "REGEDIT4\r\n\r\n");
    }
}

// Ctrl-C in the middle of a write pass over many modules: each is old or new, no temporary file is
// left, and the command says what it changed and what it did not reach, then ends with 130.
TEST_F(Hostile, AnInterruptedWritePassCleansUpAndSaysWhatItDid) {
    constexpr int kModules = 400;
    std::string big;
    for (int p = 0; p < 60; ++p) {
        big += "Public Function F" + std::to_string(p) + "(ByVal a As Long, ByVal b As String) As Long\r\n    F" + std::to_string(p) +
               " = a\r\nEnd Function\r\n\r\n";
    }
    std::vector<std::string> names;
    for (int i = 0; i < kModules; ++i) {
        names.push_back("M" + std::to_string(1000 + i) + ".bas");
        Put("project/" + names.back(), big);
    }
    // What a module becomes.
    Put("project/expected/M.bas", big);
    ASSERT_EQ(Run(std::string("stamp expected/M.bas --all --write") + kNow).status, 0);
    const std::string stamped = Read("project/expected/M.bas");
    fs::remove_all(dir_ / "project" / "expected");

    const std::string err = (dir_ / "err").string();
    const std::string project = (dir_ / "project").string();
    std::vector<std::string> args = {QUILLMARK_EXE, "stamp", "--all", "--write", "--now", "1999-12-01 09:05:07"};
    for (const auto& n : names) args.push_back(project + "/" + n);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, QUILLMARK_EXE, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // As soon as the first module is written.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Read("project/" + names.front()) == big && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(pid, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by a signal";
    const std::string said = qm::ReadWholeFile(err);
    if (WEXITSTATUS(raw) == 0) GTEST_SKIP() << "the pass ended before the interrupt reached it";
    EXPECT_EQ(WEXITSTATUS(raw), 130) << said;
    int changed = 0;
    for (const auto& n : names) {
        const std::string now = Read("project/" + n);
        EXPECT_TRUE(now == big || now == stamped) << n;
        if (now == stamped) ++changed;
    }
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, kModules);
    EXPECT_NE(said.find("interrupted: " + std::to_string(changed) + (changed == 1 ? " file" : " files") + " changed, " +
                        std::to_string(kModules - changed) + " not reached:"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find(names.back()), std::string::npos);
    for (const auto& entry : fs::directory_iterator(dir_ / "project")) EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

}  // namespace
