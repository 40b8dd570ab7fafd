// The file layer's shared cases on Windows: one line a case, then "N passed, M failed".
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/platform/file_layer_cases.h"

int wmain(int argc, wchar_t** argv) {
    // file_layer --hold FILE: holds the file open without sharing it until standard input ends, as an
    // editor may; "held" on standard output once it does.
    if (argc == 3 && std::wstring(argv[1]) == L"--hold") {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        std::puts("held");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        CloseHandle(file);
        return 0;
    }
    if (argc != 2) {
        std::fputs("usage: file_layer FOLDER | file_layer --hold FILE\n", stderr);
        return 2;
    }
    const std::filesystem::path root = std::filesystem::path(argv[1]) / "qm-file-layer";
    int passed = 0;
    const int failed = qm::file_layer::RunAll(root, [&](const std::string& name, const std::vector<std::string>& failures) {
        std::printf("%s %s\n", failures.empty() ? "ok  " : "FAIL", name.c_str());
        for (const std::string& failure : failures) std::printf("       %s\n", failure.c_str());
        if (failures.empty()) ++passed;
    });
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
