#include "platform/sim/os_simulated.h"

#include "platform/failure.h"
#include "platform/program_path.h"
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
bool IsDrive(const std::u16string& key) { return (key.size() == 2 || key.size() == 3) && key[1] == u':'; }
}  // namespace

std::u16string SimulatedOs::Resolve(const std::u16string& path) const {
    std::u16string key = Key(path);
    // A link's target may hold links of its own; a loop of links is a path that cannot be reached.
    for (int hops = 0; hops < 32; ++hops) {
        bool followed = false;
        for (std::size_t end = key.find(u'\\'); !followed; end = key.find(u'\\', end + 1)) {
            const std::u16string part = key.substr(0, end);
            if (const auto link = links_.find(part); link != links_.end()) {
                key = link->second + (end == std::u16string::npos ? std::u16string() : key.substr(end));
                followed = true;
            }
            if (end == std::u16string::npos) break;
        }
        if (!followed) return key;
    }
    throw PlatformError("too many links on the path");
}

bool SimulatedOs::Locked(const std::u16string& key) const { return lockedFiles.count(key) > 0; }

bool SimulatedOs::DirectoryAt(const std::u16string& key) const { return directories_.count(key) > 0 || IsDrive(key); }

bool SimulatedOs::FileExists(const std::u16string& path) {
    const std::u16string key = Resolve(path);
    return files_.count(key) > 0 || shortcuts_.count(key) > 0;
}

bool SimulatedOs::DirectoryExists(const std::u16string& path) { return DirectoryAt(Resolve(path)); }

std::optional<std::u16string> SimulatedOs::LinkOnPath(const std::u16string& path) {
    const std::u16string key = Key(path);
    for (std::size_t end = key.find(u'\\');; end = key.find(u'\\', end + 1)) {
        if (links_.count(key.substr(0, end)) > 0) return path.substr(0, end);
        if (end == std::u16string::npos) return std::nullopt;
    }
}

void SimulatedOs::CopyFileOver(const std::u16string& from, const std::u16string& to) {
    const auto source = files_.find(Resolve(from));
    if (source == files_.end()) throw PlatformError("the file to copy does not exist");
    const std::u16string target = Resolve(to);
    if (!DirectoryAt(ParentOf(target))) throw PlatformError("the target folder does not exist");
    if (Locked(target)) throw PlatformError("the target file is in use");
    files_[target] = {to, source->second.second};
}

void SimulatedOs::DeleteFileAt(const std::u16string& path) {
    // The entry itself, as the system's backend opens it: a link there is refused.
    const std::u16string key = Resolve(ParentOf(Key(path))) + Key(path).substr(ParentOf(Key(path)).size());
    if (links_.count(key) > 0) throw PlatformError("a link is not deleted");
    if (Locked(key)) throw PlatformError("the file is in use");
    if (files_.erase(key) == 0 && shortcuts_.erase(key) == 0) throw PlatformError("no such file");
}

void SimulatedOs::MakeDirectory(const std::u16string& path) {
    const std::u16string key = Resolve(path);
    if (DirectoryAt(key) || files_.count(key) > 0) throw PlatformError("the folder exists");
    if (!DirectoryAt(ParentOf(key))) throw PlatformError("the parent folder does not exist");
    directories_.insert(key);
}

bool SimulatedOs::DirectoryIsEmpty(const std::u16string& path) {
    const std::u16string prefix = Resolve(path) + u"\\";
    const auto inside = [&](const std::u16string& key) { return key.compare(0, prefix.size(), prefix) == 0; };
    for (const auto& [key, file] : files_) {
        if (inside(key)) return false;
    }
    for (const auto& [key, link] : shortcuts_) {
        if (inside(key)) return false;
    }
    for (const auto& key : directories_) {
        if (inside(key)) return false;
    }
    for (const auto& [key, target] : links_) {
        if (inside(key)) return false;
    }
    return true;
}

void SimulatedOs::RemoveEmptyDirectory(const std::u16string& path) {
    const std::u16string key = Resolve(ParentOf(Key(path))) + Key(path).substr(ParentOf(Key(path)).size());
    if (links_.count(key) > 0) throw PlatformError("a link is not deleted");
    if (directories_.count(key) == 0) throw PlatformError("no such folder");
    if (!DirectoryIsEmpty(path)) throw PlatformError("the folder is not empty");
    directories_.erase(key);
}

std::int32_t SimulatedOs::RunAndWait(const std::u16string& program, const std::u16string& arguments) {
    if (!IsFullPath(program)) throw PlatformError("a program is started by its full path");
    const std::u16string commandLine = CommandLineOf(program, arguments);
    commandLines.push_back(commandLine);
    const std::u16string key = Resolve(program);
    const auto found = programs_.find(key);
    if (found == programs_.end() || files_.count(key) == 0) throw PlatformError("the program cannot be started");
    return found->second(commandLine);
}

void SimulatedOs::CreateShortcut(const std::u16string& linkPath, const std::u16string& target, const std::u16string& arguments) {
    // Written through links, as saving a file is.
    const std::u16string key = Resolve(linkPath);
    if (!DirectoryAt(ParentOf(key))) throw PlatformError("the folder of the shortcut does not exist");
    shortcuts_[key] = {target, arguments};
}

void SimulatedOs::OpenFolder(const std::u16string& path) {
    if (!DirectoryExists(path)) throw PlatformError("no such folder");
    openedFolders.push_back(path);
}

void SimulatedOs::PutFile(const std::u16string& path, std::string content) {
    for (std::u16string dir = ParentOf(Key(path)); !dir.empty() && !DirectoryAt(dir); dir = ParentOf(dir)) {
        directories_.insert(dir);
    }
    files_[Key(path)] = {path, std::move(content)};
}

std::string SimulatedOs::FileContent(const std::u16string& path) const {
    const auto it = files_.find(Resolve(path));
    return it == files_.end() ? std::string() : it->second.second;
}

void SimulatedOs::AddDirectory(const std::u16string& path) {
    for (std::u16string dir = Key(path); !dir.empty() && !DirectoryAt(dir); dir = ParentOf(dir)) directories_.insert(dir);
}

void SimulatedOs::AddProgram(const std::u16string& path, Program program) {
    PutFile(path, "program");
    programs_[Key(path)] = std::move(program);
}

void SimulatedOs::AddLink(const std::u16string& path, const std::u16string& target) {
    AddDirectory(ParentOf(Key(path)));
    directories_.erase(Key(path));
    links_[Key(path)] = Key(target);
}

const SimulatedOs::Shortcut* SimulatedOs::ShortcutAt(const std::u16string& linkPath) const {
    const auto it = shortcuts_.find(Resolve(linkPath));
    return it == shortcuts_.end() ? nullptr : &it->second;
}

std::vector<std::u16string> SimulatedOs::Files() const {
    std::vector<std::u16string> out;
    for (const auto& [key, file] : files_) out.push_back(file.first);
    for (const auto& [key, link] : shortcuts_) out.push_back(key);
    return out;
}

}  // namespace qm
