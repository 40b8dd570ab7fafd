// Reading and replacing files on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/host/files_shared.h"

namespace qm {

namespace fs = std::filesystem;
using files::kNotRegular;
using files::kReadOnly;
using files::PathOf;

namespace {
std::string Folder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }
}  // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    // As the system does, a chain of more than 40 links is a loop.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
        const ssize_t n = readlink(current.c_str(), target.data(), target.size());
        if (n < 0) throw PlatformError(SystemError("cannot read the symbolic link"));
        target.resize(static_cast<std::size_t>(n));
        current = !target.empty() && target.front() == '/' ? target : Folder(current) + "/" + target;
    }
    throw PlatformError("too many symbolic links");
}

namespace {
FileStamp StampOf(const struct stat& st) {
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.changedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}
}  // namespace

std::string ReadWholeFile(const std::string& path, FileStamp* stamp) {
    // Opened without waiting, so that a named pipe with no writer does not hang the command.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw PlatformError(std::strerror(errno));
    struct Close {
        int fd;
        ~Close() { close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) throw PlatformError(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw PlatformError(kNotRegular);
    if (stamp != nullptr) *stamp = StampOf(st);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw PlatformError(SystemError("read error"));
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

namespace {

// Whether the file holds exactly these bytes, read a block at a time and compared as it goes: a
// large file is not held a second time. Throws PlatformError when it cannot be read.
bool HoldsBytes(const std::string& path, std::string_view expected, FileStamp* stamp) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw PlatformError(std::strerror(errno));
    struct Close {
        int fd;
        ~Close() { close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) throw PlatformError(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw PlatformError(kNotRegular);
    *stamp = StampOf(st);
    std::size_t at = 0;
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw PlatformError(SystemError("read error"));
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        if (expected.size() - at < got || expected.compare(at, got, std::string_view(buffer, got)) != 0) return false;
        at += got;
    }
    return at == expected.size();
}

constexpr char kTempMark[] = ".quillmark-";

// The temporary file of this process beside a file: ".NAME.quillmark-PID.tmp".
std::string TempName(const std::string& folder, const std::string& base, long pid) {
    return folder + "/." + base + kTempMark + std::to_string(pid) + ".tmp";
}

// Temporary files that runs killed before they could clean up left beside the file: their process
// is gone. A running writer's file is left alone.
void RemoveStaleTemps(const std::string& folder, const std::string& base) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    const std::string prefix = "." + base + kTempMark;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0) {
            continue;
        }
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const long pid = std::stol(digits);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) unlink((folder + "/" + name).c_str());
    }
    closedir(dir);
}

void WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw PlatformError(SystemError("cannot write a file beside it"));
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes, const AsRead* asRead) {
    WriteFileAtomically(path, FilePieces([bytes](const std::function<void(std::string_view)>& put) { put(bytes); }), asRead);
}

void WriteFileAtomically(const std::string& path, const FilePieces& pieces, const AsRead* asRead) {
    const std::string target = ResolveLinks(path);
    struct stat st {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) throw PlatformError(std::strerror(errno));
    mode_t mode = 0666;
    if (exists) {
        if (!S_ISREG(st.st_mode)) throw PlatformError(kNotRegular);
        // No write bit at all is a read-only file even for a caller the system would let through.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(target.c_str(), W_OK) != 0) throw PlatformError(kReadOnly);
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const std::string folder = Folder(target);
    const std::string base = BaseName(target);
    if (!exists) {
        std::error_code ignored;
        fs::create_directories(PathOf(folder), ignored);
    }
    RemoveStaleTemps(folder, base);
    const std::string temp = TempName(folder, base, static_cast<long>(getpid()));
    unlink(temp.c_str());  // this process's own, from an earlier write that could not clean up
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw PlatformError(SystemError("cannot create a file beside it"));
    struct Cleanup {
        const std::string& temp;
        int fd;
        bool done = false;
        ~Cleanup() {
            if (fd >= 0) close(fd);
            if (!done) unlink(temp.c_str());
        }
    } cleanup{temp, fd};
    files::WritePieces(pieces, [&](std::string_view block) { WriteAll(fd, block); });
    if (fchmod(fd, mode) != 0) throw PlatformError(SystemError("cannot keep the file's mode"));
    // The owner is kept where the caller may set it; otherwise the file becomes the caller's.
    if (exists && (st.st_uid != geteuid() || st.st_gid != getegid())) (void)!fchown(fd, st.st_uid, st.st_gid);
    if (fsync(fd) != 0) throw PlatformError(SystemError("cannot flush the new file to the disk"));
    const int closed = close(fd);
    cleanup.fd = -1;
    if (closed != 0) throw PlatformError(SystemError("cannot write a file beside it"));
    if (asRead != nullptr) {
        // As late as can be: a save by an editor after this point and before the rename is the only
        // one that can still be lost.
        FileStamp now;
        bool same = false;
        try {
            same = HoldsBytes(target, asRead->bytes, &now);
        } catch (const PlatformError&) {
            throw FileChangedError();
        }
        if (now != asRead->stamp || !same) throw FileChangedError();
    }
    if (rename(temp.c_str(), target.c_str()) != 0) throw PlatformError(SystemError("cannot replace the file"));
    cleanup.done = true;
    // The rename itself reaches the disk with the folder.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

FileLock::FileLock(const std::string& path) {
    // The folder that holds the file is locked, not a file of its own: the file itself is replaced by
    // every write (a lock on it would stay with the old one), and a lock file would be left in the
    // user's folder, a repository among them. The folder is made first, as the write would make it,
    // so that the first writers of a new store lock the same folder.
    const std::string folder = Folder(ResolveLinks(path));
    std::error_code ignored;
    fs::create_directories(PathOf(folder), ignored);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return;
        }
    }
    handle_ = fd;
}

FileLock::~FileLock() {
    if (handle_ != kNone) close(static_cast<int>(handle_));  // closing releases the lock
}


}  // namespace qm
