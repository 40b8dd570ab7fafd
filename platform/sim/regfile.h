#pragma once
// Registry export files, as regedit writes and reads them: "REGEDIT4" (code page 932) and
// "Windows Registry Editor Version 5.00" (UTF-16LE).
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sim/registry_memory.h"

namespace qm {

class RegFileError : public std::runtime_error {
public:
    RegFileError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

// Applies the file to the registry: keys are created, values set, "-" entries deleted.
// Throws RegFileError with the line of the first thing that cannot be read; then nothing is applied.
void ImportRegFile(std::string_view bytes, const Codepage& codepage, MemoryRegistry& into);

// The keys in "REGEDIT4" form, CR LF line ends, text in the code page.
std::string ExportRegFile(const std::vector<RegKeyContent>& keys, const Codepage& codepage);

// A registry kept in one registry file: loaded when made, written back after every change. The file
// is locked (FileLock) from before it is read until the object goes, so that writers in
// several processes do not lose each other's values.
class RegFileRegistry final : public MemoryRegistry {
public:
    // Throws RegFileError when the file exists and cannot be read as a registry file, PlatformError
    // when it cannot be read at all. An empty file is an empty registry. Read-only: changes stay in
    // memory, nothing is locked or written.
    RegFileRegistry(std::string path, const Codepage& codepage, bool readOnly = false);
    const std::string& Path() const { return path_; }
    // Puts these keys in place of all that are held, with one write of the file, so that many changes
    // cost one write and reach the file all or none: when the write fails, the file and this registry
    // hold what they held, and WriteError says why.
    RegStatus ReplaceAll(const std::vector<RegKeyContent>& keys);
    // Why the last change did not reach the file (the file then holds what it held); empty when it did.
    const std::string& WriteError() const { return writeError_; }

protected:
    RegStatus Changed() override;

private:
    RegStatus Write(const std::vector<RegKeyContent>& keys);

    std::string path_;
    const Codepage& codepage_;
    bool readOnly_;
    bool loading_ = false;
    std::unique_ptr<FileLock> lock_;
    std::string writeError_;
};

}  // namespace qm
