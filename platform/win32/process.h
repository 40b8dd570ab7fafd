#pragma once
// Starting a program by its command line.
#include <windows.h>

#include <string>
#include <vector>

namespace qm::win32 {

// Starts the program the command line names, its window shown as asked. The caller closes the two
// handles of process; false when the program cannot be started.
inline bool StartProcess(const std::u16string& commandLine, WORD show, PROCESS_INFORMATION& process) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    process = {};
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) != FALSE;
}

}  // namespace qm::win32
