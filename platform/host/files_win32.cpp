// Reading and replacing files on Windows.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/host/files_shared.h"

namespace qm {

namespace fs = std::filesystem;
using files::kNotRegular;
using files::kReadOnly;
using files::PathOf;

std::string ResolveLinks(const std::string& path) { return path; }

namespace {
FileStamp StampOf(const fs::path& path) {
    std::error_code ec;
    FileStamp stamp;
    const auto size = fs::file_size(path, ec);
    if (ec) return stamp;
    stamp.size = static_cast<std::int64_t>(size);
    const auto changed = fs::last_write_time(path, ec);
    if (!ec) stamp.changedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(changed.time_since_epoch()).count();
    return stamp;
}
}  // namespace

std::string ReadWholeFile(const std::string& path, FileStamp* stamp) {
    std::error_code ec;
    const auto status = fs::status(PathOf(path), ec);
    if (!ec && fs::exists(status) && !fs::is_regular_file(status)) throw PlatformError(kNotRegular);
    if (stamp != nullptr) *stamp = StampOf(PathOf(path));
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) throw PlatformError(std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw PlatformError("read error");
    return bytes;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, const AsRead* asRead) {
    const fs::path target = PathOf(path);
    std::error_code ec;
    const auto status = fs::status(target, ec);
    const bool exists = !ec && fs::exists(status);
    if (exists && !fs::is_regular_file(status)) throw PlatformError(kNotRegular);
    if (exists && (status.permissions() & fs::perms::owner_write) == fs::perms::none) throw PlatformError(kReadOnly);
    fs::path temp = target;
    temp += ".quillmark.tmp";
    struct Remove {
        fs::path path;
        bool armed = true;
        ~Remove() {
            std::error_code ignored;
            if (armed) fs::remove(path, ignored);
        }
    } remove{temp};
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw PlatformError("cannot create a file beside it: " + std::string(std::strerror(errno)));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) throw PlatformError("cannot write a file beside it");
    }
    if (asRead != nullptr) {
        if (StampOf(target) != asRead->stamp) throw FileChangedError();
        std::ifstream again(target, std::ios::binary);
        const std::string now((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
        if (!again.eof() && again.fail()) throw PlatformError("read error");
        if (now != asRead->bytes) throw FileChangedError();
    }
    fs::rename(temp, target, ec);
    if (ec) throw PlatformError("cannot replace the file: " + ec.message());
    remove.armed = false;
}

FileLock::FileLock(const std::string&) {}
FileLock::~FileLock() = default;


}  // namespace qm
