// A write that replaces a file it read checks, right before the rename, that nobody saved the file in
// between; otherwise it writes nothing and leaves the other save as it is.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>
#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

TEST(FileWrite, ASaveMadeAfterTheReadIsNeverOverwritten) {
    const fs::path dir = fs::temp_directory_path() / ("qm-file-write-" + std::to_string(getpid()));
    const std::string path = (dir / "Module1.bas").string();
    const auto put = [&](const std::string& bytes) { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; };
    struct Case {
        const char* what;
        std::function<void()> meanwhile;
        bool written;
    };
    const Case cases[] = {
        {"nobody touched it", [] {}, true},
        {"a save of another length", [&] { put("Sub B()\r\nEnd Sub\r\n"); }, false},
        {"a save of the same length, its time set back",
         [&] {
             struct stat st {};
             stat(path.c_str(), &st);
             put("Sub B()\r\n");
             const struct timespec times[2] = {st.st_atim, st.st_mtim};
             utimensat(AT_FDCWD, path.c_str(), times, 0);
         },
         false},
        {"replaced by another file",
         [&] {
             std::ofstream((dir / "other").string(), std::ios::binary) << "Sub A()\r\n";
             fs::rename(dir / "other", path);
         },
         false},
        {"removed", [&] { fs::remove(path); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        put("Sub A()\r\n");
        FileStamp stamp;
        const std::string before = ReadWholeFile(path, &stamp);
        c.meanwhile();
        const std::string other = fs::exists(path) ? ReadWholeFile(path) : "";
        const AsRead asRead{stamp, before};
        if (c.written) {
            WriteFileAtomically(path, "Sub A2()\r\n", &asRead);
            EXPECT_EQ(ReadWholeFile(path), "Sub A2()\r\n");
        } else {
            EXPECT_THROW(WriteFileAtomically(path, "Sub A2()\r\n", &asRead), FileChangedError);
            EXPECT_EQ(fs::exists(path) ? ReadWholeFile(path) : "", other);
        }
        int entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++entries;
        EXPECT_EQ(entries, fs::exists(path) ? 1 : 0);  // no temporary file is left
    }
    fs::remove_all(dir);
}

// A file written in pieces holds them in order, however they fall against the blocks written; a
// maker that fails leaves the old file and nothing beside it.
TEST(FileWrite, PiecesMakeTheFileInOrder) {
    const fs::path dir = fs::temp_directory_path() / "qm-file-pieces";
    const std::string path = (dir / "Module1.bas").string();
    const std::string large((std::size_t{1} << 16) + 7, 'L');
    std::vector<std::string> lines;
    lines.reserve(20000);
    for (int i = 0; i < 20000; ++i) lines.push_back("    x = " + std::to_string(i) + "\r\n");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {"Sub A()\r\n", "", "End Sub\r\n"},
        lines,
        {"a", large, "b"},
        {large, large},
        {std::string((std::size_t{1} << 16) - 1, 'x'), "yz"},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(path, std::ios::binary) << "old";
        std::string expected;
        for (const std::string& piece : cases[k]) expected += piece;
        WriteFileAtomically(path, FilePieces([&](const std::function<void(std::string_view)>& put) {
                                for (const std::string& piece : cases[k]) put(piece);
                            }));
        EXPECT_EQ(ReadWholeFile(path), expected);
    }
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(path, std::ios::binary) << "old";
    EXPECT_THROW(WriteFileAtomically(path, FilePieces([&](const std::function<void(std::string_view)>& put) {
                                         for (const std::string& line : lines) put(line);
                                         throw PlatformError("made no further");
                                     })),
                 PlatformError);
    EXPECT_EQ(ReadWholeFile(path), "old");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++entries;
    EXPECT_EQ(entries, 1);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qm
