#pragma once
// Reading and replacing whole files: the one way the command and the settings store touch a file.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace qm {

// Which file was read, and how it stood: its identity, size and time of its last change.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// A file as the caller read it, so that a write can tell whether someone else saved it since.
struct AsRead {
    FileStamp stamp;
    std::string_view bytes;
};

// The file was changed by someone else after it was read: nothing was written.
class FileChangedError : public PlatformError {
public:
    FileChangedError()
        : PlatformError("the file changed after it was read (saved by someone else?): nothing was written there; run the command again") {}
};

// The file's bytes. What is not a regular file (a named pipe, a device, a folder) is refused at once,
// so that nothing waits on it. stamp, when given, receives how the file stood when it was read.
// Throws PlatformError naming the problem.
std::string ReadWholeFile(const std::string& path, FileStamp* stamp = nullptr);

// Replaces the file at path with bytes:
// - a symbolic link is followed: the file it points to is replaced and the link stays;
// - what is not a regular file is refused (on Windows the device names too: CON, NUL, \\.\...), and so
//   is a file the caller may not write (read-only, as a source-control tool leaves a file that is not
//   checked out), and on Windows a file another program holds open without sharing it;
// - the bytes go to a temporary file in the same folder, are flushed to the disk and renamed over the
//   file, keeping its mode (and its owner, where the caller may set it): a crash leaves the old file
//   or the new one, never half of one;
// - on every failure the temporary file is removed and the old file is left as it was; one that a
//   killed run left behind is removed by the next write beside it;
// - with asRead, right before the rename the file must still be the one read (the same file, size,
//   time of change and bytes); otherwise FileChangedError, and nothing is written.
// Throws PlatformError naming the problem and what to do.
void WriteFileAtomically(const std::string& path, std::string_view bytes, const AsRead* asRead = nullptr);

// The new file's bytes made piece by piece: called once, it hands every piece in order to put. A
// large file is then never held whole besides what it is made from.
using FilePieces = std::function<void(const std::function<void(std::string_view)>& put)>;
// The same as above with the bytes that pieces makes; an exception it throws leaves the old file as
// it was.
void WriteFileAtomically(const std::string& path, const FilePieces& pieces, const AsRead* asRead = nullptr);

bool FileExists(const std::string& path);

// An advisory lock for a file, held while the object lives, so that read-modify-write cycles of
// several processes on one file do not interleave. No file of its own is left beside the file, a
// repository among the places it may be: on POSIX systems the folder that holds the file is locked
// (made when missing); on Windows a lock file named after the file's full path is locked in the
// user's own temporary folder. Where the lock cannot be taken, nothing is locked: a write there
// fails anyway.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return handle_ != kNone; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;  // a descriptor, or a Windows handle
};

// The path with every symbolic link on the way to the file itself followed (the file need not exist).
std::string ResolveLinks(const std::string& path);

}  // namespace qm
