#pragma once
// A Windows system in memory for the setup program's tests: files, folders, special folders,
// programs that can be started, shortcuts, and links (junctions and symbolic links), which lead
// every operation through them to their target, as Windows does.
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "platform/os.h"

namespace qm {

class SimulatedOs final : public Os {
public:
    struct Shortcut {
        std::u16string target;
        std::u16string arguments;
    };
    // A program the system can start: it gets the command line and returns the exit status.
    using Program = std::function<std::int32_t(const std::u16string& commandLine)>;

    std::u16string ProgramPath() override { return programPath; }
    std::u16string SystemDirectory() override { return systemDirectory; }
    std::u16string WindowsDirectory() override { return windowsDirectory; }
    std::optional<std::u16string> Wow64SystemDirectory() override { return wow64SystemDirectory; }
    std::optional<std::u16string> ProgramsFolder() override { return programsFolder; }
    std::optional<std::u16string> NativeSystemDirectory() override { return nativeSystemDirectory; }
    std::optional<std::u16string> ProgramFilesFolder(int bitness) override { return bitness == 64 ? programFiles64 : programFiles32; }
    std::optional<std::u16string> CommonFilesFolder(int bitness) override { return bitness == 64 ? commonFiles64 : commonFiles32; }
    bool FileExists(const std::u16string& path) override;
    bool DirectoryExists(const std::u16string& path) override;
    std::optional<std::u16string> LinkOnPath(const std::u16string& path) override;
    void CopyFileOver(const std::u16string& from, const std::u16string& to) override;
    void DeleteFileAt(const std::u16string& path) override;
    void MakeDirectory(const std::u16string& path) override;
    void RemoveEmptyDirectory(const std::u16string& path) override;
    bool DirectoryIsEmpty(const std::u16string& path) override;
    std::int32_t RunAndWait(const std::u16string& program, const std::u16string& arguments) override;
    void CreateShortcut(const std::u16string& linkPath, const std::u16string& target, const std::u16string& arguments) override;
    void OpenFolder(const std::u16string& path) override;
    void SetBusyPointer(bool busy) override { busyPointer = busy; }

    // Setting the scene.
    void PutFile(const std::u16string& path, std::string content = "x");
    std::string FileContent(const std::u16string& path) const;
    void AddDirectory(const std::u16string& path);
    // A link at path (a junction to a folder, a symbolic link to a file or folder) leading to target.
    void AddLink(const std::u16string& path, const std::u16string& target);
    // The program file that a command line starting with this path runs.
    void AddProgram(const std::u16string& path, Program program);
    const Shortcut* ShortcutAt(const std::u16string& linkPath) const;
    std::vector<std::u16string> Files() const;
    // Every folder, folded, drives aside.
    std::vector<std::u16string> Directories() const { return {directories_.begin(), directories_.end()}; }

    std::u16string programPath = u"D:\\SETUP\\Setup.exe";
    std::u16string systemDirectory = u"C:\\WINDOWS\\SYSTEM32";
    std::u16string windowsDirectory = u"C:\\WINDOWS";
    std::optional<std::u16string> wow64SystemDirectory;  // set: a 32-bit program on 64-bit Windows
    std::optional<std::u16string> programsFolder = u"C:\\WINDOWS\\Start Menu\\Programs";
    // 32-bit Windows unless a test says otherwise.
    std::optional<std::u16string> nativeSystemDirectory;
    std::optional<std::u16string> programFiles32 = u"C:\\Program Files";
    std::optional<std::u16string> commonFiles32 = u"C:\\Program Files\\Common Files";
    std::optional<std::u16string> programFiles64;
    std::optional<std::u16string> commonFiles64;
    std::set<std::u16string> lockedFiles;  // folded paths of files in use
    bool busyPointer = false;
    std::vector<std::u16string> commandLines;  // every program started
    std::vector<std::u16string> openedFolders;

private:
    static std::u16string Key(const std::u16string& path);
    // The folded path with every link on it followed.
    std::u16string Resolve(const std::u16string& path) const;
    bool Locked(const std::u16string& key) const;
    bool DirectoryAt(const std::u16string& key) const;
    std::map<std::u16string, std::pair<std::u16string, std::string>> files_;  // folded path -> (path, content)
    std::set<std::u16string> directories_;                                    // folded
    std::map<std::u16string, Shortcut> shortcuts_;                            // folded link path
    std::map<std::u16string, Program> programs_;                              // folded program path
    std::map<std::u16string, std::u16string> links_;                          // folded link path -> folded target
};

}  // namespace qm
