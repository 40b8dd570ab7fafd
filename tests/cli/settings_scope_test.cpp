// Which settings store a command uses, and what it says about it: team files found from each source
// file, a new team file made with settings init, the user's own store with --user, stores that cannot
// be read, --quiet and --verbose, and the names a stamp carries.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::kModule;
using qm::test::Result;

constexpr const char* kKey = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n";
constexpr const char* kNow = " --now '2026-12-08 10:00:00'";

// A team file whose ruler repeats the tag and whose edit-record stamp carries it, so that a stamp tells
// which file was used (the editor's name may be the person's own, the ruler never is).
std::string TeamFile(const std::string& tag) {
    return std::string("REGEDIT4\r\n\r\n") + kKey + "\"ExtendValue\"=\"1,1,3," + tag + "\"\r\n\"EditStamp\"=\"0,0,0,0,0," + tag + "\"\r\n";
}

class SettingsScope : public qm::test::CommandFixture {
protected:
    void SetUp() override { MakeFolder("scope"); }

    // The files and folders below the test's folder, other than the user's own store and the runner's.
    std::set<std::string> Tree(const std::string& under) const {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir_ / under)) {
            const std::string rel = fs::relative(e.path(), dir_ / under).generic_string();
            if (rel.rfind(".git/", 0) != 0) names.insert(rel);
        }
        return names;
    }
};

TEST_F(SettingsScope, InitWritesTheInitialFormatAndRefusesToReplaceAFile) {
    fs::create_directories(dir_ / "repo");
    const Result made = Quillmark("settings init", "repo");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out,
              "CustomFormList\ttext\t\n"
              "ExtendValue\ttext\t1,1,78,-\n"
              "FixedFormList\ttext\t0,1,2,3\n"
              "SelectDatas\ttext\t[0,0,0,0,0,][1,0,0,0,0,][2,0,1,0,0,][3,1,0,0,0,]\n"
              "EditStamp\ttext\t1,1,1,1,1,名前\n");
    EXPECT_NE(made.err.find("wrote the team file .quillmark.reg"), std::string::npos) << made.err;
    const std::string file = Read("repo/.quillmark.reg");
    EXPECT_EQ(file.rfind(std::string("REGEDIT4\r\n\r\n") + kKey, 0), 0u) << file;
    // Exactly the format values: what the add-in's own registrations hold is not the team's.
    EXPECT_EQ(file.find("LoadBehavior"), std::string::npos);
    EXPECT_EQ(std::count(file.begin(), file.end(), '='), 5);

    // The stamps it makes are those of a store that holds nothing at all.
    Put("repo/Module1.bas", kModule);
    const Result team = Quillmark(std::string("stamp Module1.bas --line 4") + kNow, "repo");
    Put("elsewhere/Module1.bas", kModule);
    const Result plain = Quillmark(std::string("stamp Module1.bas --line 4") + kNow, "elsewhere");
    ASSERT_EQ(team.status, 0) << team.err;
    EXPECT_EQ(team.out, plain.out);

    // An existing file is left alone unless --force; a folder in the way is never replaced.
    Put("repo/.quillmark.reg", TeamFile("mine"));
    const Result again = Quillmark("settings init", "repo");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    EXPECT_EQ(Read("repo/.quillmark.reg"), TeamFile("mine"));
    ASSERT_EQ(Quillmark("settings init --force -q", "repo").status, 0);
    EXPECT_EQ(Read("repo/.quillmark.reg"), file);
    fs::create_directories(dir_ / "repo" / "folder.reg");
    EXPECT_EQ(Quillmark("settings init --force folder.reg", "repo").status, 1);
    EXPECT_TRUE(fs::is_directory(dir_ / "repo" / "folder.reg"));
    // A file named elsewhere, and the options that do not go with init.
    ASSERT_EQ(Quillmark("settings init sub/team.reg -q", "repo").status, 0);
    EXPECT_EQ(Read("repo/sub/team.reg"), file);
    EXPECT_EQ(Quillmark("settings init --user", "repo").status, 2);
    EXPECT_EQ(Quillmark("settings init a.reg b.reg", "repo").status, 2);
}

// Each source file takes the team file of its own folder or the nearest above it, wherever the
// command runs; the search ends at the top of the file's git work tree.
TEST_F(SettingsScope, TheTeamFileIsFoundFromEachSourceFile) {
    Put(".quillmark.reg", TeamFile("above"));  // around the repository: never the repository's
    fs::create_directories(dir_ / "repo" / ".git");
    Put("repo/.quillmark.reg", TeamFile("root"));
    Put("repo/src/a.bas", kModule);
    Put("repo/legacy/.quillmark.reg", TeamFile("legacy"));
    Put("repo/legacy/deep/b.bas", kModule);
    fs::create_directories(dir_ / "bare" / ".git");
    Put("bare/c.bas", kModule);
    Put("loose/d.bas", kModule);
    Put("home/quillmark/settings.reg", TeamFile("own"));
    struct Case {
        std::string cwd, file, env, tag;
    };
    const Case cases[] = {
        {"", "repo/src/a.bas", "", "root"},  // run from the folder above the repository
        {"repo/src", "a.bas", "", "root"},
        {"repo/legacy", "../src/a.bas", "", "root"},
        {"repo", "legacy/deep/b.bas", "", "legacy"},
        {"repo/legacy/deep", "b.bas", "", "legacy"},
        {"repo", "../bare/c.bas", "", "own"},  // a repository without a team file: the user's own store
        {"bare", "c.bas", "", "own"},
        {"loose", "d.bas", "", "above"},  // outside a repository the search goes on upwards
        {"", "repo/src/a.bas", "QUILLMARK_SETTINGS=" + (dir_ / "home/quillmark/settings.reg").string(), "own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cwd + " " + c.file);
        const Result r = Quillmark("stamp " + c.file + " --line 4", c.cwd, c.env);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("'" + c.tag + c.tag + c.tag + "\r\n"), std::string::npos) << r.out;
    }
    // --settings names one store for every file.
    const Result named = Quillmark("stamp repo/legacy/deep/b.bas --line 4 --settings repo/.quillmark.reg");
    EXPECT_NE(named.out.find("'rootrootroot\r\n"), std::string::npos) << named.out;

    // One run, two team files: each file gets its own format, and -v says which.
    Put("repo/.quillmark.reg", TeamFile("="));
    Put("repo/legacy/.quillmark.reg", TeamFile("#"));
    const Result both = Quillmark(std::string("stamp repo/src/a.bas repo/legacy/deep/b.bas --all --write -v") + kNow);
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_NE(Read("repo/src/a.bas").find("'===\r\n"), std::string::npos);
    EXPECT_NE(Read("repo/legacy/deep/b.bas").find("'###\r\n"), std::string::npos);
    EXPECT_NE(both.err.find("repo/src/a.bas: the team file " + (dir_ / "repo/.quillmark.reg").string()), std::string::npos) << both.err;
    EXPECT_NE(both.err.find("repo/legacy/deep/b.bas: the team file " + (dir_ / "repo/legacy/.quillmark.reg").string()), std::string::npos)
        << both.err;
    EXPECT_NE(both.err.find("wrote repo/src/a.bas\n"), std::string::npos) << both.err;
    EXPECT_NE(both.err.find("2 files changed, 2 stamps added\n"), std::string::npos) << both.err;
}

// A team file that cannot be read stops the run with its name before any file is written, even the
// files whose own team file is sound.
TEST_F(SettingsScope, ATeamFileThatCannotBeReadStopsTheRun) {
    fs::create_directories(dir_ / "repo" / ".git");
    Put("repo/good/.quillmark.reg", TeamFile("good"));
    Put("repo/good/a.bas", kModule);
    Put("repo/bad/b.bas", kModule);
    struct Case {
        std::string name;
        std::string bytes;  // empty: a folder in its place
        std::string message;
    };
    const Case cases[] = {
        {"damaged", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=dword:xyz\r\n", ".quillmark.reg:4:"},
        {"not a registry file", "garbage\r\n", ".quillmark.reg:1: not a registry file"},
        {"a folder", "", ".quillmark.reg: cannot be read as a settings file: not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_ / "repo" / "bad" / ".quillmark.reg");
        if (c.bytes.empty()) {
            fs::create_directories(dir_ / "repo" / "bad" / ".quillmark.reg");
        } else {
            Put("repo/bad/.quillmark.reg", c.bytes);
        }
        for (const char* command : {"stamp good/a.bas bad/b.bas --all --write", "check good/a.bas bad/b.bas",
                                    "refresh good/a.bas bad/b.bas --write", "mark bad/b.bas --from 5 --write"}) {
            const Result r = Quillmark(command, "repo");
            EXPECT_EQ(r.status, 2) << command << "\n" << r.err;
            EXPECT_NE(r.err.find((dir_ / "repo/bad").string() + "/" + c.message), std::string::npos) << command << "\n" << r.err;
            EXPECT_EQ(r.out, "") << command;
        }
        EXPECT_EQ(Read("repo/good/a.bas"), kModule);
        EXPECT_EQ(Read("repo/bad/b.bas"), kModule);
        const Result set = Quillmark("settings set EditStamp 0,0,0,0,0,x", "repo/bad");
        EXPECT_EQ(set.status, 2) << set.err;
        if (!c.bytes.empty()) {
            EXPECT_EQ(Read("repo/bad/.quillmark.reg"), c.bytes);
        }
    }
    // A team file that the person may not read.
    if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
    fs::remove_all(dir_ / "repo" / "bad" / ".quillmark.reg");
    Put("repo/bad/.quillmark.reg", TeamFile("secret"));
    fs::permissions(dir_ / "repo" / "bad" / ".quillmark.reg", fs::perms::none);
    const Result r = Quillmark("stamp good/a.bas bad/b.bas --all --write", "repo");
    fs::permissions(dir_ / "repo" / "bad" / ".quillmark.reg", fs::perms::owner_all);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad/.quillmark.reg: cannot be read"), std::string::npos) << r.err;
    EXPECT_EQ(Read("repo/good/a.bas"), kModule);
}

// --user reaches the user's own store from inside a repository; every change names its store in one
// line; and nothing of the command's own is left in the repository.
TEST_F(SettingsScope, UserScopeAndTheLineThatNamesTheStore) {
    fs::create_directories(dir_ / "repo" / ".git");
    Put("repo/src/a.bas", kModule);
    ASSERT_EQ(Quillmark("settings init -q", "repo").status, 0);
    const std::string team = Read("repo/.quillmark.reg");
    const std::string own = (dir_ / "home" / "quillmark" / "settings.reg").string();
    const std::string import = Put("import.reg", TeamFile("imported"));
    struct Case {
        std::string args;
        std::string line;  // the one line on standard error
    };
    const Case cases[] = {
        {"settings set --user EditStamp 0,0,0,0,0,yamada", "settings set: changed your own store " + own + "\n"},
        {"settings reset --user", "settings reset: changed your own store " + own + "\n"},
        {"settings import --user '" + import + "'", "settings import: changed your own store " + own + "\n"},
    };
    for (const Case& c : cases) {
        const Result r = Quillmark(c.args, "repo/src");
        EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err, "quillmark: " + c.line) << c.args;
        EXPECT_EQ(Read("repo/.quillmark.reg"), team) << c.args;
    }
    EXPECT_EQ(Quillmark("settings get --user EditStamp", "repo/src").out, "0,0,0,0,0,imported\n");
    EXPECT_EQ(Quillmark("settings get EditStamp", "repo/src").out, "1,1,1,1,1,名前\n");

    // Without --user the team file is changed, and the line says so and how to change one's own.
    const Result set = Quillmark("settings set EditStamp 0,0,0,0,0,team", "repo/src");
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.err, "quillmark: settings set: changed the team file " + (dir_ / "repo/.quillmark.reg").string() +
                           " (--user changes your own store instead)\n");
    ASSERT_EQ(Quillmark("settings reset -q", "repo").status, 0);
    ASSERT_EQ(Quillmark("settings import -q '" + import + "'", "repo").status, 0);
    ASSERT_EQ(Quillmark(std::string("stamp src/a.bas --all --write -q") + kNow, "repo").status, 0);
    ASSERT_EQ(Quillmark("check src/a.bas -q", "repo").status, 0);
    // The repository holds what it held and what was stamped: no lock, backup or temporary file.
    EXPECT_EQ(Tree("repo"), (std::set<std::string>{".git", ".quillmark.reg", "src", "src/a.bas"}));
    EXPECT_EQ(Quillmark("settings reset --user --settings x.reg", "repo").status, 2);
}

// A team file that is a link out of its repository is read, but never written through.
TEST_F(SettingsScope, ATeamFileLinkedOutOfTheRepositoryIsNotWritten) {
    fs::create_directories(dir_ / "repo" / ".git");
    const std::string outside = Put("outside/victim.reg", "");
    fs::create_symlink(outside, dir_ / "repo" / ".quillmark.reg");
    const Result set = Quillmark("settings set EditStamp 0,0,0,0,0,x", "repo");
    EXPECT_EQ(set.status, 2);
    EXPECT_NE(set.err.find("a link leads out of the repository"), std::string::npos) << set.err;
    EXPECT_EQ(Read("outside/victim.reg"), "");
    const Result init = Quillmark("settings init --force", "repo");
    EXPECT_EQ(init.status, 1);
    EXPECT_EQ(Read("outside/victim.reg"), "");
    // A link that stays inside the repository is the team's own arrangement.
    Put("repo/shared/team.reg", TeamFile("shared"));
    fs::remove(dir_ / "repo" / ".quillmark.reg");
    fs::create_symlink("shared/team.reg", dir_ / "repo" / ".quillmark.reg");
    ASSERT_EQ(Quillmark("settings set -q ExtendValue 1,1,3,x", "repo").status, 0);
    EXPECT_NE(Read("repo/shared/team.reg").find("\"ExtendValue\"=\"1,1,3,x\""), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(dir_ / "repo" / ".quillmark.reg"));
}

TEST_F(SettingsScope, QuietSaysOnlyErrorsAndTheNameHintComesOnce) {
    fs::create_directories(dir_ / "repo" / ".git");
    Put("repo/.quillmark.reg",
        std::string("REGEDIT4\r\n\r\n") + kKey +
            "\"FixedFormList\"=\"0,5\"\r\n\"SelectDatas\"=\"[0,0,0,0,0,][1,0,0,0,0,\x83\x60\x81\x5B\x83\x80]\"\r\n");  // チーム
    Put("repo/a.bas", kModule);
    Put("repo/b.bas", kModule);
    // The team's name is not the person's: said once for the whole run, with what to do.
    Result r = Quillmark(std::string("stamp a.bas b.bas --all --diff") + kNow, "repo");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "quillmark: the stamps carry the format's author \"チーム\", not a name of your own: give --author NAME and --editor "
              "NAME, or set QUILLMARK_AUTHOR and QUILLMARK_EDITOR in your shell's profile\n");
    r = Quillmark(std::string("mark a.bas --from 5") + kNow, "repo");
    EXPECT_NE(r.err.find("the format's editor \"名前\""), std::string::npos) << r.err;
    // A name of the person's own: nothing to say.
    for (const std::string& own : {std::string("--author 山田 --editor 山田"), std::string()}) {
        const std::string env = own.empty() ? "QUILLMARK_AUTHOR=山田 QUILLMARK_EDITOR=山田" : "";
        EXPECT_EQ(Quillmark(std::string("stamp a.bas --all ") + own + kNow, "repo", env).err, "") << own;
        EXPECT_EQ(Quillmark(std::string("mark a.bas --from 5 ") + own + kNow, "repo", env).err, "") << own;
    }

    // --quiet: errors only, whatever the command; check says nothing but its status.
    const Result stamped = Quillmark(std::string("stamp a.bas b.bas --all --write -q") + kNow, "repo");
    EXPECT_EQ(stamped.status, 0);
    EXPECT_EQ(stamped.err, "");
    const Result check = Quillmark("check a.bas b.bas --module-header --quiet", "repo");
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out + check.err, "");
    const Result missing = Quillmark("check a.bas gone.bas -q", "repo");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("gone.bas"), std::string::npos);  // errors still
    EXPECT_EQ(Quillmark("settings set -q EditStamp 0,0,0,0,0,x", "repo").err, "");

    // Without --quiet a --write ends with its account; a run that changed nothing says so too.
    const Result refresh = Quillmark("refresh a.bas b.bas --write", "repo");
    EXPECT_EQ(refresh.err, "quillmark: 0 files changed, 0 stamps remade\n");
    const Result mark = Quillmark(std::string("mark a.bas --from 5 --write --editor x") + kNow, "repo");
    EXPECT_EQ(mark.err, "quillmark: 1 file changed, 1 edit-record stamp added\n");
}

TEST_F(SettingsScope, ShowSaysEveryCodeInWords) {
    struct Case {
        std::string editStamp;
        std::string line;
    };
    const Case cases[] = {
        {"1,1,1,1,1,a", "edit-record stamp: date yes, head mark \"'\", separator \".\", year form \"26\" (two digits), time yes, editor a"},
        {"1,0,2,0,0,a", "date yes, head mark none, separator \"/\", year form \"2026\" (four digits), time no"},
        {"1,1,3,2,0,a", "separator \"-\", year form \"R08\" (era)"},
        {"1,1,0,3,0,a", "separator none, year form \"R.08\" (era, with a dot)"},
        {"1,-1,9,-1,0,a", "head mark none (code -1), separator none (code 9), year form none (code -1)"},
    };
    Put(".quillmark.reg", "");  // an empty team file is an empty store
    for (const Case& c : cases) {
        ASSERT_EQ(Quillmark("settings set -q EditStamp " + c.editStamp).status, 0) << c.editStamp;
        const Result r = Quillmark(std::string("settings show") + kNow);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.line), std::string::npos) << c.editStamp << "\n" << r.out;
    }
}

}  // namespace
