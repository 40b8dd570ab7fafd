#include "platform/os_simulated.h"

#include "platform/failure.h"
#include "platform/text.h"

namespace qm {

std::u16string SimulatedOs::Key(const std::u16string& path) {
    std::u16string key = FoldAscii(path);
    while (key.size() > 3 && key.back() == u'\\') key.pop_back();
    return key;
}

namespace {
std::u16string ParentOf(const std::u16string& key) {
    const auto slash = key.find_last_of(u'\\');
    return slash == std::u16string::npos ? std::u16string() : key.substr(0, slash);
}
}  // namespace

bool SimulatedOs::Locked(const std::u16string& path) const { return lockedFiles.count(Key(path)) > 0; }

bool SimulatedOs::FileExists(const std::u16string& path) { return files_.count(Key(path)) > 0 || shortcuts_.count(Key(path)) > 0; }

bool SimulatedOs::DirectoryExists(const std::u16string& path) {
    const std::u16string key = Key(path);
    return directories_.count(key) > 0 || (key.size() == 2 && key[1] == u':') || (key.size() == 3 && key[1] == u':');
}

void SimulatedOs::CopyFileOver(const std::u16string& from, const std::u16string& to) {
    const auto source = files_.find(Key(from));
    if (source == files_.end()) throw PlatformError("the file to copy does not exist");
    if (!DirectoryExists(ParentOf(Key(to)))) throw PlatformError("the target folder does not exist");
    if (Locked(to)) throw PlatformError("the target file is in use");
    files_[Key(to)] = {to, source->second.second};
}

void SimulatedOs::DeleteFileAt(const std::u16string& path) {
    const std::u16string key = Key(path);
    if (Locked(path)) throw PlatformError("the file is in use");
    if (files_.erase(key) == 0 && shortcuts_.erase(key) == 0) throw PlatformError("no such file");
}

void SimulatedOs::MakeDirectory(const std::u16string& path) {
    const std::u16string key = Key(path);
    if (DirectoryExists(path)) throw PlatformError("the folder exists");
    if (!DirectoryExists(ParentOf(key))) throw PlatformError("the parent folder does not exist");
    directories_.insert(key);
}

bool SimulatedOs::DirectoryIsEmpty(const std::u16string& path) {
    const std::u16string prefix = Key(path) + u"\\";
    for (const auto& [key, file] : files_) {
        if (key.compare(0, prefix.size(), prefix) == 0) return false;
    }
    for (const auto& [key, link] : shortcuts_) {
        if (key.compare(0, prefix.size(), prefix) == 0) return false;
    }
    for (const auto& key : directories_) {
        if (key.compare(0, prefix.size(), prefix) == 0) return false;
    }
    return true;
}

void SimulatedOs::RemoveEmptyDirectory(const std::u16string& path) {
    if (directories_.count(Key(path)) == 0) throw PlatformError("no such folder");
    if (!DirectoryIsEmpty(path)) throw PlatformError("the folder is not empty");
    directories_.erase(Key(path));
}

std::int32_t SimulatedOs::RunAndWait(const std::u16string& commandLine) {
    commandLines.push_back(commandLine);
    // The program is the longest known path the command line starts with.
    const std::u16string folded = FoldAscii(commandLine);
    const Program* found = nullptr;
    std::size_t longest = 0;
    for (const auto& [key, program] : programs_) {
        if (folded.compare(0, key.size(), key) == 0 && key.size() > longest) {
            found = &program;
            longest = key.size();
        }
    }
    if (found == nullptr || files_.count(folded.substr(0, longest)) == 0) throw PlatformError("the program cannot be started");
    return (*found)(commandLine);
}

void SimulatedOs::CreateShortcut(const std::u16string& linkPath, const std::u16string& target, const std::u16string& arguments) {
    if (!DirectoryExists(ParentOf(Key(linkPath)))) throw PlatformError("the folder of the shortcut does not exist");
    shortcuts_[Key(linkPath)] = {target, arguments};
}

void SimulatedOs::OpenFolder(const std::u16string& path) {
    if (!DirectoryExists(path)) throw PlatformError("no such folder");
    openedFolders.push_back(path);
}

void SimulatedOs::PutFile(const std::u16string& path, std::string content) {
    for (std::u16string dir = ParentOf(Key(path)); !dir.empty() && !DirectoryExists(dir); dir = ParentOf(dir)) {
        directories_.insert(dir);
    }
    files_[Key(path)] = {path, std::move(content)};
}

std::string SimulatedOs::FileContent(const std::u16string& path) const {
    const auto it = files_.find(Key(path));
    return it == files_.end() ? std::string() : it->second.second;
}

void SimulatedOs::AddDirectory(const std::u16string& path) {
    for (std::u16string dir = Key(path); !dir.empty() && !DirectoryExists(dir); dir = ParentOf(dir)) directories_.insert(dir);
}

void SimulatedOs::AddProgram(const std::u16string& path, Program program) {
    PutFile(path, "program");
    programs_[Key(path)] = std::move(program);
}

const SimulatedOs::Shortcut* SimulatedOs::ShortcutAt(const std::u16string& linkPath) const {
    const auto it = shortcuts_.find(Key(linkPath));
    return it == shortcuts_.end() ? nullptr : &it->second;
}

std::vector<std::u16string> SimulatedOs::Files() const {
    std::vector<std::u16string> out;
    for (const auto& [key, file] : files_) out.push_back(file.first);
    for (const auto& [key, link] : shortcuts_) out.push_back(key);
    return out;
}

}  // namespace qm
