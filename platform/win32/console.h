#pragma once
// Text on standard output and standard error of a Windows console program. Inside, text is UTF-8;
// a console shows UTF-16 whatever its code page, and files and pipes get UTF-8, as most current tools
// write, or code page 932 where a team's scripts read that.
#include <string>
#include <string_view>

namespace qm::win32 {

enum class PipeText { Utf8, Cp932 };

// The text of files and pipes as QUILLMARK_CODEPAGE asks for it ("932"; "65001", "utf-8" or unset:
// UTF-8). Another value is named in *warning and UTF-8 is kept.
PipeText PipeTextFromEnvironment(std::string* warning);

// From here on, what goes through std::cout and std::cerr reaches a console by WriteConsoleW and a
// file or pipe as pipes says. Output to a console goes out line by line, as a terminal's does.
void UseTextStreams(PipeText pipes);

// Whether standard output is a console.
bool StdoutIsConsole();

// Bytes that are a file's own, written to standard output as they are (after what std::cout holds).
void WriteStdoutBytes(std::string_view bytes);

}  // namespace qm::win32
