// A team adopting quillmark: the staged content checked by the pre-commit hook with any file name,
// one check policy for the hook and CI, legacy headers left alone, and a baseline of today's
// findings. git is real here; its global and system configuration are kept out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace {

namespace fs = std::filesystem;

using qm::test::Result;

constexpr const char* kGitEnv = "GIT_CONFIG_GLOBAL=/dev/null GIT_CONFIG_NOSYSTEM=1 ";

const std::string kModule =
    "Attribute VB_Name = \"Module1\"\r\n"
    "Option Explicit\r\n"
    "\r\n"
    "Public Function AddTax(ByVal price As Long) As Long\r\n"
    "    AddTax = price\r\n"
    "End Function\r\n"
    "Private Sub Helper()\r\n"
    "End Sub\r\n";

// Two procedures under the project's own headers, one under a plain remark, one excluded by comment.
const std::string kLegacy =
    "Attribute VB_Name = \"Legacy\"\r\n"
    "Option Explicit\r\n"
    "'\x96\xda\x81\x40\x93\x49\x81\x40\x81\x40\x81\x46\x90\xc5\x8a\x7a\x82\xf0\x8b\x81\x82\xdf\x82\xe9\r\n"  // ' 目　的　　：税額を求める
    "'\x88\xf8\x81\x40\x90\x94\x81\x40\x81\x40\x81\x46price\r\n"                                             // ' 引　数　　：price
    "Public Function Tax(ByVal price As Long) As Long\r\n"
    "End Function\r\n"
    "' Purpose: rounds\r\n"
    "Public Function Round2(ByVal v As Double) As Double\r\n"
    "End Function\r\n"
    "' just a remark\r\n"
    "Public Sub Plain()\r\n"
    "End Sub\r\n"
    "' quillmark: no-check made by the form designer\r\n"
    "Public Sub Generated()\r\n"
    "End Sub\r\n";

class Adoption : public qm::test::CommandFixture {
protected:
    void SetUp() override {
        MakeFolder("adopt");
        fs::create_directories(dir_ / "repo");
        Put("repo/.quillmark.reg", "REGEDIT4\r\n\r\n");
    }

    // A shell line in the repository's folder, with git's own configuration only; its status.
    int Sh(const std::string& line) {
        const std::string script = (dir_ / "sh.sh").string();
        Put("sh.sh", "cd '" + (dir_ / "repo").string() + "' && export " + kGitEnv +
                         "GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t && " + line +
                         " >/dev/null 2>&1\n");
        const int raw = std::system(("bash '" + script + "'").c_str());
        return WEXITSTATUS(raw);
    }
    void Init() { ASSERT_EQ(Sh("git init -q . && git add .quillmark.reg && git commit -qm init"), 0); }

    Result Run(const std::string& args, const std::string& cwd = "repo") { return Quillmark(args, cwd, kGitEnv); }
};

TEST_F(Adoption, StagedChecksWhatTheIndexHoldsWhateverTheNames) {
    Init();
    // Japanese, a blank and quotes: git quotes such names unless asked for NUL-separated ones.
    const char* const names[] = {"税 計算.bas", "it's \"q\".BAS", "sub dir/モジュール.cls"};
    for (const char* name : names) Put(std::string("repo/") + name, kModule);
    ASSERT_EQ(Sh("git add -A"), 0);
    // The work tree is stamped after staging: the index still has no stamps.
    ASSERT_EQ(Run("stamp --all --write '税 計算.bas' $'it\\'s \"q\".BAS' 'sub dir/モジュール.cls'").status, 0);
    Result r = Run("check --staged");
    EXPECT_EQ(r.status, 1) << r.err;
    for (const char* name : names) EXPECT_NE(r.out.find(std::string(name) + ":4: AddTax: no stamp\n"), std::string::npos) << r.out;
    // Staged, the stamps are what counts; a file only in the work tree is not looked at.
    ASSERT_EQ(Sh("git add -A"), 0);
    Put("repo/untracked.bas", kModule);
    r = Run("check --staged");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // A new file staged: the names are shown from where the command runs.
    ASSERT_EQ(Sh("git commit -qm stamped"), 0);
    Put("repo/new.frm", kModule);
    ASSERT_EQ(Sh("git add new.frm"), 0);
    r = Run("check --staged", "repo/sub dir");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "../new.frm:4: AddTax: no stamp\n../new.frm:7: Helper: no stamp\n");
    // JSON and SARIF carry the names as they are.
    r = Run("check --staged --format json");
    EXPECT_NE(r.out.find("\"file\": \"new.frm\""), std::string::npos) << r.out;
}

TEST_F(Adoption, StagedSaysWhenThereIsNothingToCheck) {
    Result r = Run("check --staged");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--staged works inside a git work tree"), std::string::npos) << r.err;
    Init();
    Put("repo/notes.txt", "x");
    Put("repo/Module1.bas", kModule);  // not staged
    ASSERT_EQ(Sh("git add notes.txt"), 0);
    r = Run("check --staged");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no VB6 source file is staged"), std::string::npos) << r.err;
    // A staged deletion has nothing to check either.
    ASSERT_EQ(Sh("git add Module1.bas && git commit -qm m && git rm -q Module1.bas"), 0);
    EXPECT_EQ(Run("check --staged").status, 0);
    // Files and --staged do not go together.
    EXPECT_EQ(Run("check --staged Module1.bas").status, 2);
    EXPECT_EQ(Run("check").status, 2);
}

TEST_F(Adoption, TheRepositorysConfigurationStartsNoProgram) {
    Init();
    Put("repo/evil.sh", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
    ASSERT_EQ(Sh("chmod +x evil.sh && git config core.fsmonitor \"$PWD/evil.sh\" && git config diff.external \"$PWD/evil.sh\" && "
                 "git config core.pager \"$PWD/evil.sh\" && echo '*.bas diff=x' > .gitattributes && "
                 "git config diff.x.textconv \"$PWD/evil.sh\" && git config diff.x.command \"$PWD/evil.sh\""),
              0);
    Put("repo/Module1.bas", kModule);
    ASSERT_EQ(Sh("git -c core.fsmonitor=false add Module1.bas"), 0);
    const Result r = Run("check --staged");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "repo" / "ran"));
}

TEST_F(Adoption, ThePolicyIsReadFromTheIndexWhenStaged) {
    Init();
    Put("repo/Module1.bas", kModule);
    Put("repo/.quillmark-check", "procedures = public\n");
    ASSERT_EQ(Sh("git add -A"), 0);
    // What is in the work tree but not staged does not decide.
    Put("repo/.quillmark-check", "no such key\n");
    Result r = Run("check --staged");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Module1.bas:4: AddTax: no stamp\n");
    // The same file checked from the work tree meets the damaged policy: status 2, file and line.
    r = Run("check Module1.bas --format json");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(".quillmark-check:1: not \"key = value\""), std::string::npos) << r.err;
}

TEST_F(Adoption, HookInstallWritesItsOwnHookOnly) {
    Init();
    Result r = Run("hook install");
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path hook = dir_ / "repo" / ".git" / "hooks" / "pre-commit";
    const std::string text = Read("repo/.git/hooks/pre-commit");
    EXPECT_NE(text.find("exec quillmark check --staged\n"), std::string::npos);
    EXPECT_NE(fs::status(hook).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_EQ(Run("hook install").status, 0);  // its own: written again
    // Someone else's hook stays.
    Put("repo/.git/hooks/pre-commit", "#!/bin/sh\nrun-my-linter\n");
    r = Run("hook install");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a hook quillmark did not write"), std::string::npos) << r.err;
    EXPECT_EQ(Read("repo/.git/hooks/pre-commit"), "#!/bin/sh\nrun-my-linter\n");
    // core.hooksPath inside the repository is where git looks, so the hook goes there.
    ASSERT_EQ(Sh("git config core.hooksPath .githooks"), 0);
    ASSERT_EQ(Run("hook install", "repo").status, 0);
    EXPECT_NE(Read("repo/.githooks/pre-commit").find("check --staged"), std::string::npos);
    // One that leads out of the repository is not written to.
    ASSERT_EQ(Sh("git config core.hooksPath ../elsewhere"), 0);
    r = Run("hook install");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("outside this repository"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere"));
    // A worktree shares the repository's hooks.
    ASSERT_EQ(Sh("git config --unset core.hooksPath && rm .git/hooks/pre-commit && git worktree add -q ../wt"), 0);
    ASSERT_EQ(Run("hook install", "wt").status, 0);
    EXPECT_TRUE(fs::exists(hook));
    EXPECT_EQ(Run("hook install", "").status, 2);  // outside a repository
}

TEST_F(Adoption, TheHookStopsACommitOfAJapaneseNameWithoutAStamp) {
    Init();
    ASSERT_EQ(Run("hook install").status, 0);
    Put("repo/税計算.bas", kModule);
    const std::string path = "PATH=\"" + fs::path(QUILLMARK_EXE).parent_path().string() + ":$PATH\" ";
    EXPECT_NE(Sh(path + "git add 税計算.bas && " + path + "git commit -qm tax"), 0);
    ASSERT_EQ(Run("stamp 税計算.bas --all --write").status, 0);
    EXPECT_EQ(Sh(path + "git add 税計算.bas && " + path + "git commit -qm tax"), 0);
    // "commit -a" stages into an index of its own, which the hook is given and reads.
    Put("repo/税計算.bas", Read("repo/税計算.bas") + "Public Sub Added()\r\nEnd Sub\r\n");
    EXPECT_NE(Sh(path + "git commit -qam added"), 0);
    ASSERT_EQ(Sh("git checkout -q -- ."), 0);
    // Without quillmark in PATH the hook stops the commit and says why.
    Put("repo/税計算.bas", kModule + "' more\r\n");
    EXPECT_NE(Sh("git add 税計算.bas && PATH=/usr/bin:/bin git commit -qm more"), 0);
}

TEST_F(Adoption, StampAllAndCheckAgreeOnLegacyHeaders) {
    Put("repo/Legacy.bas", kLegacy);
    // Before: only the procedure under a plain remark; the headers and the no-check line hold.
    Result r = Run("check Legacy.bas");
    EXPECT_EQ(r.out, "Legacy.bas:11: Plain: no stamp\n");
    r = Run("stamp Legacy.bas --all --write --now '2026-12-08 10:00:00'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("2 procedures left without a stamp: a comment header of the project's own"), std::string::npos) << r.err;
    const std::string once = Read("repo/Legacy.bas");
    EXPECT_EQ(once.find(": Tax\r\n"), std::string::npos);
    EXPECT_EQ(once.find(": Round2\r\n"), std::string::npos);
    EXPECT_NE(once.find(": Plain\r\n"), std::string::npos);  // a remark is no header
    r = Run("check Legacy.bas");
    EXPECT_EQ(r.status, 0) << r.out;
    // The option, or the policy, stamps them; the policy makes check require them as well.
    Put("repo/.quillmark-check", "house-headers = need-stamp\n");
    r = Run("check Legacy.bas");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Legacy.bas:5: Tax: no stamp\nLegacy.bas:8: Round2: no stamp\n");
    ASSERT_EQ(Run("stamp Legacy.bas --all --write").status, 0);
    EXPECT_EQ(Run("check Legacy.bas").status, 0);
    Put("repo/Legacy.bas", kLegacy);
    fs::remove(dir_ / "repo" / ".quillmark-check");
    r = Run("stamp Legacy.bas --all --with-house-headers --write");
    EXPECT_EQ(r.err, "quillmark: 1 file changed, 4 stamps added\n");  // nothing left, nothing else said
    EXPECT_NE(Read("repo/Legacy.bas").find(": Tax\r\n"), std::string::npos);
    EXPECT_EQ(Run("stamp Legacy.bas --line 5 --with-house-headers").status, 2);
    // The no-check line keeps the stamp out of nothing but check.
    EXPECT_NE(Read("repo/Legacy.bas").find(": Generated\r\n"), std::string::npos);
}

TEST_F(Adoption, ThePolicyDecidesPerFileWhereverCheckRuns) {
    Put("repo/.quillmark-check", "procedures = public\nmodule-header = required\nexclude = legacy/\nignore = arguments-differ\n");
    Put("repo/src/Module1.bas", kModule);
    Put("repo/legacy/Old.bas", kModule);
    Put("repo/vendor/.quillmark-check", "# theirs: everything\n");
    Put("repo/vendor/V.bas", kModule);
    const std::string expected =
        "src/Module1.bas:2: (module): no module header\n"
        "src/Module1.bas:4: AddTax: no stamp\n"
        "vendor/V.bas:4: AddTax: no stamp\n"
        "vendor/V.bas:7: Helper: no stamp\n";
    Result r = Run("check src/Module1.bas legacy/Old.bas vendor/V.bas");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, expected);
    // From another folder the same files get the same answer.
    r = Run("check repo/src/Module1.bas repo/legacy/Old.bas repo/vendor/V.bas", "");
    EXPECT_EQ(r.out.size(), expected.size() + 4 * 5) << r.out;
    // An unknown rule stops the run before anything is reported.
    Put("repo/vendor/.quillmark-check", "ignore = no-stamp\nignore = no-stmp\n");
    r = Run("check src/Module1.bas vendor/V.bas");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("vendor/.quillmark-check:2: no rule \"no-stmp\""), std::string::npos) << r.err;
    // stamp --all reads the policy too, and refuses the damaged one before writing.
    r = Run("stamp vendor/V.bas --all --write");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Read("repo/vendor/V.bas"), kModule);
}

TEST_F(Adoption, ABaselineAcceptsTodaysFindingsWhereverTheirLinesMove) {
    Put("repo/src/Module1.bas", kModule);
    Result r = Run("check src/Module1.bas --write-baseline .quillmark-baseline");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("2 findings written to .quillmark-baseline"), std::string::npos);
    // Lines above move every finding; a new procedure without a stamp is the one new finding.
    Put("repo/src/Module1.bas", "' top\r\n" + kModule + "Public Sub Added()\r\nEnd Sub\r\n");
    r = Run("check src/Module1.bas --baseline .quillmark-baseline");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "src/Module1.bas:10: Added: no stamp\n");
    // From the source folder, with the baseline named from there, the keys are the same.
    r = Run("check Module1.bas --baseline ../.quillmark-baseline --format sarif", "repo/src");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Added: no stamp"), std::string::npos);
    EXPECT_EQ(r.out.find("AddTax: no stamp"), std::string::npos);
    // A damaged baseline, or a missing one, stops the run.
    Put("repo/bad", "# quillmark check baseline 1\nno-stamp src/Module1.bas AddTax\n");
    r = Run("check src/Module1.bas --baseline bad");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad:2: not a baseline of quillmark check"), std::string::npos) << r.err;
    EXPECT_EQ(Run("check src/Module1.bas --baseline missing").status, 2);
    EXPECT_EQ(Run("check src/Module1.bas --baseline bad --write-baseline other").status, 2);
}

TEST_F(Adoption, ThePolicysBaselineHoldsForTheHookAndCiAlike) {
    Init();
    Put("repo/src/Module1.bas", kModule);
    Put("repo/.quillmark-check", "baseline = qa/baseline\n");
    ASSERT_EQ(Run("check src/Module1.bas --write-baseline qa/baseline").status, 0);
    ASSERT_EQ(Sh("git add -A && git commit -qm adopt"), 0);
    // Old findings are accepted wherever check runs; a new procedure is not.
    Put("repo/src/Module1.bas", kModule + "Public Sub Added()\r\nEnd Sub\r\n");
    ASSERT_EQ(Sh("git add src/Module1.bas"), 0);
    for (const char* cwd : {"repo", "repo/src"}) {
        const Result r = Run("check --staged", cwd);
        EXPECT_EQ(r.status, 1) << cwd;
        EXPECT_NE(r.out.find("Module1.bas:9: Added: no stamp\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("AddTax"), std::string::npos) << r.out;
    }
    EXPECT_EQ(Run("check src/Module1.bas").out, "src/Module1.bas:9: Added: no stamp\n");
    // The staged run reads the baseline as the index has it: one that is not there stops it.
    ASSERT_EQ(Sh("git rm -q --cached qa/baseline"), 0);
    Result r = Run("check --staged");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("qa/baseline is not in the index"), std::string::npos) << r.err;
    // A damaged one, by its name and line.
    Put("repo/qa/baseline", "# quillmark check baseline 1\nno-stamp\n");
    r = Run("check src/Module1.bas");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("qa/baseline:2: not a baseline"), std::string::npos) << r.err;
}

}  // namespace
