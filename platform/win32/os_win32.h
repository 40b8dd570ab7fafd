#pragma once
// The operating-system services of the setup program on Windows.
#include "platform/os.h"

namespace qm {

class Win32Os final : public Os {
public:
    std::u16string ProgramPath() override;
    std::u16string SystemDirectory() override;
    std::u16string WindowsDirectory() override;
    std::optional<std::u16string> Wow64SystemDirectory() override;
    std::optional<std::u16string> ProgramFilesFolder(int bitness) override;
    std::optional<std::u16string> NativeSystemDirectory() override;
    std::optional<std::u16string> CommonFilesFolder(int bitness) override;
    std::optional<std::u16string> ProgramsFolder() override;
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
    void SetBusyPointer(bool busy) override;
};

}  // namespace qm
