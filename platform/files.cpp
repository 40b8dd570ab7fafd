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

std::string ReadWholeFile(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw PlatformError("is a directory");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PlatformError(std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw PlatformError("read error");
    return bytes;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const fs::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    std::random_device random;
    const fs::path temp = target.string() + ".tmp" + std::to_string(random() % 1000000);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw PlatformError("cannot create " + temp.string() + ": " + std::strerror(errno));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            throw PlatformError("cannot write " + temp.string());
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
