#pragma once
// The operating-system services of the setup program: files and folders, the special folders,
// processes, shortcuts and the mouse pointer. Paths are Windows paths. Failures throw PlatformError.
#include <cstdint>
#include <optional>
#include <string>

namespace qm {

class Os {
public:
    virtual ~Os() = default;
    // The running program's file.
    virtual std::u16string ProgramPath() = 0;
    virtual std::u16string SystemDirectory() = 0;
    virtual std::u16string WindowsDirectory() = 0;
    // For a 32-bit program on 64-bit Windows: the folder its system directory stands for, by the
    // name that 64-bit programs (Explorer, the list of installed programs) resolve to the same files.
    // Nothing elsewhere.
    virtual std::optional<std::u16string> Wow64SystemDirectory() = 0;
    // The folders where programs of that many bits (32 or 64) are installed: "Program Files" and its
    // "Common Files". Nothing for 64 on 32-bit Windows, or when the system does not tell.
    virtual std::optional<std::u16string> ProgramFilesFolder(int bitness) = 0;
    virtual std::optional<std::u16string> CommonFilesFolder(int bitness) = 0;
    // The system directory of 64-bit programs, by the name this program reaches it under: the system
    // directory itself for a 64-bit program, "Sysnative" in the Windows directory for a 32-bit one on
    // 64-bit Windows (its "System32" leads to the 32-bit one). Nothing on 32-bit Windows.
    virtual std::optional<std::u16string> NativeSystemDirectory() = 0;
    // The user's Programs folder of the Start menu; nothing when it cannot be determined.
    virtual std::optional<std::u16string> ProgramsFolder() = 0;

    virtual bool FileExists(const std::u16string& path) = 0;
    virtual bool DirectoryExists(const std::u16string& path) = 0;
    // The first folder or file on the way to path, path itself included, that is a link to another
    // place (a junction, a symbolic link, a mount point), from the drive down; nothing when there is
    // none. A program with more rights than the owner of a folder (the elevated setup program in the
    // user's Start menu) goes through none: the owner could have put one there to turn what the
    // program creates or deletes onto another place.
    virtual std::optional<std::u16string> LinkOnPath(const std::u16string& path) = 0;
    // Copies over an existing file.
    virtual void CopyFileOver(const std::u16string& from, const std::u16string& to) = 0;
    // Deletes the file itself: a link at path is refused, never followed.
    virtual void DeleteFileAt(const std::u16string& path) = 0;
    // One folder whose parent exists.
    virtual void MakeDirectory(const std::u16string& path) = 0;
    // An empty folder itself: a link at path is refused, never followed.
    virtual void RemoveEmptyDirectory(const std::u16string& path) = 0;
    virtual bool DirectoryIsEmpty(const std::u16string& path) = 0;

    // Starts the program file (a full path; anything else is refused) with the arguments in a
    // minimised window, waits for it to end and returns its exit status. The program's command line
    // starts with its path, quoted.
    virtual std::int32_t RunAndWait(const std::u16string& program, const std::u16string& arguments) = 0;
    // A shell link at linkPath (ending ".lnk") to target with arguments.
    virtual void CreateShortcut(const std::u16string& linkPath, const std::u16string& target, const std::u16string& arguments) = 0;
    // Opens the folder in a normal shell window.
    virtual void OpenFolder(const std::u16string& path) = 0;
    virtual void SetBusyPointer(bool busy) = 0;
};

}  // namespace qm
