#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "platform/failure.h"

namespace qm {

namespace fs = std::filesystem;

namespace {
// Paths are UTF-8 everywhere in the program; the system's own encoding is the library's business.
fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
}  // namespace

std::string ReadWholeFile(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(PathOf(path), ec)) throw PlatformError("is a directory");
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) throw PlatformError(std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw PlatformError("read error");
    return bytes;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(PathOf(path), ec);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const fs::path target = PathOf(path);
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    std::random_device random;
    fs::path temp = target;
    temp += ".tmp" + std::to_string(random() % 1000000);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw PlatformError("cannot create a file beside it: " + std::string(std::strerror(errno)));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            throw PlatformError("cannot write a file beside it");
        }
    }
    const auto status = fs::status(target, ec);
    if (!ec && fs::exists(status)) fs::permissions(temp, status.permissions(), ec);
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw PlatformError("cannot replace " + path + ": " + ec.message());
    }
}

}  // namespace qm
