#pragma once
// The promises of the file layer, as one table of cases that runs on Linux (under GoogleTest) and,
// through the Windows build, under Wine (tests/win32/file_layer.cpp). Each case gets an empty folder
// of its own and reports what does not hold through check(condition, what).
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

namespace qm::file_layer {

namespace fs = std::filesystem;

using Check = std::function<void(bool, const std::string&)>;

struct Case {
    const char* name;
    std::function<void(const fs::path& dir, const Check& check)> run;
};

inline std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline fs::path Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

inline void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }

inline std::string Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The message of the PlatformError that f throws; "" when it throws none.
inline std::string Refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const PlatformError& e) {
        return e.what();
    }
    return "";
}

inline bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

inline int Entries(const fs::path& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

// What a folder holds, for a message.
inline std::string Listing(const fs::path& dir) {
    std::string names;
    for (const auto& e : fs::directory_iterator(dir)) names += " " + Utf8(e.path().filename());
    return names;
}

// Runs f beside the caller until Join (the Windows compilers of the build have no std::thread).
class Aside {
public:
    explicit Aside(std::function<void()> f) : f_(std::move(f)) {
#ifdef _WIN32
        thread_ = CreateThread(nullptr, 0, &Aside::Start, this, 0, nullptr);
#else
        thread_ = std::thread(f_);
#endif
    }
    void Join() {
#ifdef _WIN32
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
#else
        thread_.join();
#endif
    }

private:
#ifdef _WIN32
    static DWORD WINAPI Start(void* self) {
        static_cast<Aside*>(self)->f_();
        return 0;
    }
#endif
    std::function<void()> f_;
#ifdef _WIN32
    HANDLE thread_;
#else
    std::thread thread_;
#endif
};

inline void Pause(int ms) {
#ifdef _WIN32
    Sleep(static_cast<DWORD>(ms));
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}

inline std::vector<Case> Cases() {
    std::vector<Case> cases;
    cases.push_back({"a write replaces the file and leaves nothing beside it", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "Module1.bas";
                         Put(file, "Sub A()\r\n");
                         WriteFileAtomically(Utf8(file), "Sub B()\r\n");
                         check(ReadWholeFile(Utf8(file)) == "Sub B()\r\n", "the new bytes are read back");
                         check(Entries(dir) == 1, "no temporary file is left:" + Listing(dir));
                     }});
    cases.push_back({"a new file is made, with its folders", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / Path("新規") / Path("税計算.bas");
                         WriteFileAtomically(Utf8(file), "x");
                         check(Get(file) == "x", "the file holds the bytes");
                         check(FileExists(Utf8(file)), "it exists");
                         check(!FileExists(Utf8(dir / "none.bas")), "another does not");
                     }});
    cases.push_back({"names that code page 932 cannot write", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / Path("Ω€\xF0\x9F\x98\x80\xE4\xBD\x9C.bas");
                         WriteFileAtomically(Utf8(file), "x");
                         WriteFileAtomically(Utf8(file), "y");
                         check(ReadWholeFile(Utf8(file)) == "y", "written twice and read back");
                     }});
    cases.push_back({"a read-only file is refused and left as it was", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "ReadOnly.bas";
                         Put(file, "old");
                         fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                         fs::perm_options::remove);
                         const std::string why = Refusal([&] { WriteFileAtomically(Utf8(file), "new"); });
                         fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
                         check(Has(why, "read-only"), "the refusal says read-only: " + why);
                         check(Get(file) == "old", "the file is unchanged");
                         check(Entries(dir) == 1, "no temporary file is left:" + Listing(dir));
                     }});
    cases.push_back({"a folder is neither read nor written", [](const fs::path& dir, const Check& check) {
                         fs::create_directories(dir / "Folder.bas");
                         check(Has(Refusal([&] { ReadWholeFile(Utf8(dir / "Folder.bas")); }), "not a regular file"), "read");
                         check(Has(Refusal([&] { WriteFileAtomically(Utf8(dir / "Folder.bas"), "x"); }), "not a regular file"), "write");
                     }});
    cases.push_back({"devices are refused", [](const fs::path& dir, const Check& check) {
#ifdef _WIN32
                         const std::vector<std::string> devices = {
                             "NUL", "CON", "nul.bas", Utf8(dir / "COM1.bas"), Utf8(dir / "aux"), "\\\\.\\NUL", "\\\\.\\pipe\\quillmark"};
#else
                         const std::vector<std::string> devices = {"/dev/null", "/dev/zero"};
#endif
                         for (const std::string& device : devices) {
                             check(Has(Refusal([&] { WriteFileAtomically(device, "x"); }), "not a regular file"), "write " + device);
                             check(Has(Refusal([&] { ReadWholeFile(device); }), "not a regular file"), "read " + device);
                         }
                         check(Entries(dir) == 0, "nothing is made");
                     }});
    cases.push_back({"a link is followed and stays a link", [](const fs::path& dir, const Check& check) {
                         fs::create_directories(dir / "real");
                         Put(dir / "real" / "Module1.bas", "old");
                         std::error_code ec;
                         fs::create_symlink(fs::path("real") / "Module1.bas", dir / "Link.bas", ec);
                         if (ec) return;  // this system makes no links for this user
                         WriteFileAtomically(Utf8(dir / "Link.bas"), "new");
                         check(fs::is_symlink(dir / "Link.bas"), "the link is still a link");
                         check(Get(dir / "real" / "Module1.bas") == "new", "its target holds the new bytes");
                         check(Entries(dir / "real") == 1 && Entries(dir) == 2, "no temporary file is left");
                     }});
    cases.push_back({"a path longer than the old limit of Windows", [](const fs::path& dir, const Check& check) {
                         fs::path deep = dir;
                         for (int i = 0; i < 6; ++i) deep /= std::string(50, static_cast<char>('a' + i));
                         const fs::path file = deep / Path("深い.bas");
                         WriteFileAtomically(Utf8(file), "x");
                         WriteFileAtomically(Utf8(file), "yz");
                         FileStamp stamp;
                         check(ReadWholeFile(Utf8(file), &stamp) == "yz" && stamp.size == 2, "written, replaced and read back");
                         check(FileExists(Utf8(file)), "it exists");
                     }});
    cases.push_back({"a temporary file of a run that was killed is removed", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "Module1.bas";
                         Put(file, "old");
                         // No process has this number: they are multiples of 4 on Windows and below 2^22 on Linux.
                         Put(dir / ".Module1.bas.quillmark-999999999.tmp", "half");
                         WriteFileAtomically(Utf8(file), "new");
                         check(Entries(dir) == 1, "only the file is left:" + Listing(dir));
                     }});
    cases.push_back({"the lock keeps a second holder waiting until the first lets go", [](const fs::path& dir, const Check& check) {
                         const std::string store = Utf8(dir / "settings.reg");
                         std::atomic<bool> second{false};
                         auto first = std::make_unique<FileLock>(store);
                         check(first->Held(), "the first holder has it");
                         Aside other([&] {
                             FileLock lock(store);
                             second = lock.Held();
                         });
                         Pause(200);
                         check(!second, "the second waits");
                         first.reset();
                         other.Join();
                         check(second, "and has it once the first let go");
                     }});
#ifdef _WIN32
    cases.push_back({"a file another program holds without sharing is reported and left", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "Held.bas";
                         Put(file, "old");
                         HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                         check(held != INVALID_HANDLE_VALUE, "the file is held");
                         const std::string write = Refusal([&] { WriteFileAtomically(Utf8(file), "new"); });
                         const std::string read = Refusal([&] { ReadWholeFile(Utf8(file)); });
                         CloseHandle(held);
                         check(Has(write, "holds the file open"), "the write says so: " + write);
                         check(Has(read, "holds the file open"), "the read says so: " + read);
                         check(Get(file) == "old", "the file is unchanged");
                         check(Entries(dir) == 1, "no temporary file is left:" + Listing(dir));
                     }});
    cases.push_back({"a file shared for reading only is not replaced under its reader", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "Open.bas";
                         Put(file, "old");
                         HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
                         const std::string read = ReadWholeFile(Utf8(file));
                         const std::string write = Refusal([&] { WriteFileAtomically(Utf8(file), "new"); });
                         CloseHandle(held);
                         check(read == "old", "it can be read");
                         check(Has(write, "holds the file open"), "the write says so: " + write);
                         check(Get(file) == "old", "the file is unchanged");
                     }});
    cases.push_back({"the file keeps its attributes", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "Hidden.bas";
                         Put(file, "old");
                         SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
                         WriteFileAtomically(Utf8(file), "new");
                         check((GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0, "still hidden");
                         check(Get(file) == "new", "replaced");
                     }});
    cases.push_back({"paths with / and with \\ name the same file", [](const fs::path& dir, const Check& check) {
                         fs::create_directories(dir / "sub");
                         const std::string slashed = Utf8(dir) + "/sub/../sub/Tax.bas";
                         WriteFileAtomically(slashed, "x");
                         check(ReadWholeFile(Utf8(dir) + "\\SUB\\tax.BAS") == "x", "read back in another case and with \\");
                     }});
#else
    cases.push_back({"the file keeps its mode", [](const fs::path& dir, const Check& check) {
                         const fs::path file = dir / "Mode.bas";
                         Put(file, "old");
                         fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
                         WriteFileAtomically(Utf8(file), "new");
                         check(fs::status(file).permissions() == (fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read),
                               "rw-r-----");
                     }});
#endif
    return cases;
}

// Runs every case in a fresh folder under root; what does not hold goes to failed as "case: what".
inline int RunAll(const fs::path& root,
                  const std::function<void(const std::string& name, const std::vector<std::string>& failures)>& report) {
    int failedCases = 0;
    int number = 0;
    for (const Case& c : Cases()) {
        // A folder of its own: one that a case could not clean up (a long path on Windows) stays out of the way.
        const fs::path dir = root / ("case" + std::to_string(++number));
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::create_directories(dir);
        std::vector<std::string> failures;
        try {
            c.run(dir, [&](bool ok, const std::string& what) {
                if (!ok) failures.push_back(what);
            });
        } catch (const std::exception& e) {
            failures.push_back(std::string("threw: ") + e.what());
        }
        if (!failures.empty()) ++failedCases;
        report(c.name, failures);
        fs::remove_all(dir, ec);
    }
    return failedCases;
}

}  // namespace qm::file_layer
