#pragma once
// Starting a program by its full path.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/program_path.h"

namespace qm::win32 {

// Starts the program file (a full path) with the arguments, its window shown as asked. The program is
// given to the system as the file to run, so nothing is looked for by name; the command line the
// program sees starts with its own path, quoted. The caller closes the two handles of process; false
// when the program cannot be started (a path that is not a full path included).
inline bool StartProcess(const std::u16string& program, const std::u16string& arguments, WORD show, PROCESS_INFORMATION& process) {
    process = {};
    if (!IsFullPath(program)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    const std::u16string commandLine = CommandLineOf(program, arguments);
    const std::wstring file(program.begin(), program.end());
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    return CreateProcessW(file.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) != FALSE;
}

}  // namespace qm::win32
