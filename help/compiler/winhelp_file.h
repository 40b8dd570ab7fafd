#pragma once
// A WinHelp 4 help file (.hlp) and its contents file (.cnt), made from the help source.
#include <cstdint>
#include <string>
#include <string_view>

#include "help/compiler/help_source.h"
#include "platform/codepage.h"

namespace qm::help {

// The hash by which WinHelp finds a topic from its context string (letters, digits, "_", ".").
std::uint32_t ContextHash(std::u16string_view id);

// The LZ77 form of the help file's topic blocks: a flag byte before every eight items, a set bit for
// a pair (12 bits of distance - 1, 4 bits of length - 3), a clear one for a byte as it is.
std::string CompressLz77(std::string_view data);

// The bytes of the .hlp file; every text is written in code page 932. contentsFile is the name the
// viewer is told for the contents file. Throws HelpSourceError (line 0) for a text without an ANSI
// form or a topic too long for one topic block (16 KB of text).
std::string WriteWinHelpFile(const HelpSource& source, const Codepage& codepage, std::u16string_view contentsFile);

// The bytes of the .cnt file that lists the topics of helpFile, books and all, in code page 932.
std::string WriteContentsFile(const HelpSource& source, const Codepage& codepage, std::u16string_view helpFile);

}  // namespace qm::help
