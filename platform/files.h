#pragma once
// Reading and replacing whole files: the one way the command and the settings store touch a file.
#include <string>
#include <string_view>

namespace qm {

// The file's bytes. What is not a regular file (a named pipe, a device, a folder) is refused at once,
// so that nothing waits on it. Throws PlatformError naming the problem.
std::string ReadWholeFile(const std::string& path);

// Replaces the file at path with bytes:
// - a symbolic link is followed: the file it points to is replaced and the link stays;
// - what is not a regular file is refused, and so is a file the caller may not write (read-only, as
//   a source-control tool leaves a file that is not checked out);
// - the bytes go to a temporary file in the same folder, are flushed to the disk and renamed over the
//   file, keeping its mode (and its owner, where the caller may set it): a crash leaves the old file
//   or the new one, never half of one;
// - on every failure the temporary file is removed and the old file is left as it was; one that a
//   killed run left behind is removed by the next write beside it.
// Throws PlatformError naming the problem and what to do.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);

// An advisory lock on a lock file beside a file ("PATH.lock"), held while the object lives, so that
// read-modify-write cycles of several processes on one file do not interleave. Where the lock file
// cannot be made (a folder that cannot be written), nothing is locked: a write there fails anyway.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The path with every symbolic link on the way to the file itself followed (the file need not exist).
std::string ResolveLinks(const std::string& path);

}  // namespace qm
