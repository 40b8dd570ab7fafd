#pragma once
// What the tests of the command share: a folder of its own for each test, files put into it and read
// back, and the command run as a user runs it: by bash (so that $'...' can carry any character),
// with no quillmark setting of the person running the tests in its environment, and a timeout that
// turns a hang into a failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace qm::test {

// A module of one public function, the file most tests stamp.
inline const std::string kModule =
    "Attribute VB_Name = \"Module1\"\r\n"
    "Option Explicit\r\n"
    "\r\n"
    "Public Function AddTax(ByVal price As Long) As Long\r\n"
    "    AddTax = price\r\n"
    "End Function\r\n";

struct Result {
    int status;
    std::string out;
    std::string err;
};

class CommandFixture : public ::testing::Test {
protected:
    // The folder's name starts with prefix, so that each suite's folders are told apart, and ends with
    // the process, so that runs side by side (ctest -j, two builds) do not share one.
    void MakeFolder(const std::string& prefix) {
        dir_ = std::filesystem::temp_directory_path() /
               ("qm-" + prefix + "-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(getpid()));
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }

    // quillmark with the arguments (as bash reads them), in the folder cwd under the test's folder;
    // env holds NAME=VALUE words for its environment.
    Result Quillmark(const std::string& arguments, const std::string& cwd = "", const std::string& env = "") {
        const std::string out = (dir_ / "out").string();
        const std::string err = (dir_ / "err").string();
        const std::string line = "cd '" + (dir_ / cwd).string() + "' && env -u QUILLMARK_SETTINGS -u QUILLMARK_AUTHOR " +
                                 "-u QUILLMARK_EDITOR XDG_CONFIG_HOME='" + (dir_ / "home").string() + "' " + env + " timeout 30 '" +
                                 QUILLMARK_EXE + "' " + arguments + " >'" + out + "' 2>'" + err + "' </dev/null\n";
        const std::string script = (dir_ / "run.sh").string();
        std::ofstream(script, std::ios::binary | std::ios::trunc) << line;
        const int raw = std::system(("bash '" + script + "'").c_str());
        return {WEXITSTATUS(raw), ReadWholeFile(out), ReadWholeFile(err)};
    }

    // A file of the test's folder, with the folders on its way.
    std::string Put(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = dir_ / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path.string();
    }
    std::string Read(const std::string& name) const { return ReadWholeFile((dir_ / name).string()); }

    std::filesystem::path dir_;
};

}  // namespace qm::test
