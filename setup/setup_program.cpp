#include "setup/setup_program.h"

#include "addin/settings/settings_store.h"

#include "platform/failure.h"
#include "platform/program_path.h"
#include "platform/text.h"

namespace qm {
namespace {

constexpr char16_t kGroup[] = u"\\Wek Quillmark for VB6 Ver1.0";
constexpr char16_t kLibrary[] = u"WekQM417.dll";
// The 64-bit build of the library, in the package beside the 32-bit one: installed under the library's
// own name in the 64-bit system directory, for a 64-bit Office's VBA editor.
constexpr char16_t kLibrary64[] = u"WekQM417x64.dll";
// The help files, installed beside each library: the add-in opens them from its own folder.
constexpr const char16_t* kHelpFiles[] = {u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm"};
// What the help viewers leave there: the index that WinHelp makes beside the help file.
constexpr const char16_t* kRemovedFiles[] = {kLibrary, u"Quillmark.cnt", u"Quillmark.GID", u"Quillmark.hlp", u"Quillmark.chm"};
constexpr char16_t kInstalledSetup[] = u"WekQM417_Setup.exe";
constexpr char16_t kHelpLink[] = u"\\Quillmark ﾍﾙﾌﾟ.lnk";
constexpr char16_t kUninstallLink[] = u"\\Quillmark ｱﾝｲﾝｽﾄｰﾙ.lnk";
constexpr char16_t kRetry[] = u"ｾｯﾄｱｯﾌﾟは完了していません。原因を取り除いてから、もう一度ｾｯﾄｱｯﾌﾟを実行してください。";
constexpr char16_t kLinkFound[] = u"次の場所がｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸのため、";
constexpr char16_t kRemoveLink[] = u"ｼﾞｬﾝｸｼｮﾝかｼﾝﾎﾞﾘｯｸ ﾘﾝｸを取り除いてから、もう一度実行してください。";

std::string Dword(std::uint32_t v) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return bytes;
}

// Values that register the add-in with the environment: always written. The others hold what the
// user made of the format and are written only where there is none yet.
// Where the VBA editor's library lies: Office installed by Windows Installer puts it under the Common
// Files folder of its bitness (VBA6 up to Office 2007, VBA7 and VBA7.1 after), Click-to-Run Office in
// a folder of its own that stands for that one.
std::vector<std::u16string> VbaEditorLibraries(int bitness, const std::optional<std::u16string>& programFiles,
                                               const std::optional<std::u16string>& commonFiles) {
    std::vector<std::u16string> paths;
    if (commonFiles && !commonFiles->empty()) {
        const std::u16string vba = WithBackslash(*commonFiles) + u"Microsoft Shared\\VBA\\";
        paths.push_back(vba + u"VBA7.1\\VBE7.DLL");
        paths.push_back(vba + u"VBA7\\VBE7.DLL");
        if (bitness == 32) paths.push_back(vba + u"VBA6\\VBE6.DLL");
    }
    if (programFiles && !programFiles->empty()) {
        paths.push_back(WithBackslash(*programFiles) + u"Microsoft Office\\root\\vfs\\" +
                        (bitness == 64 ? u"ProgramFilesCommonX64" : u"ProgramFilesCommonX86") +
                        u"\\Microsoft Shared\\VBA\\VBA7.1\\VBE7.DLL");
    }
    return paths;
}

bool IsRegistrationValue(const std::u16string& name) {
    return name == u"CommandLineSafe" || name == u"Description" || name == u"FriendlyName" || name == u"LoadBehavior";
}

}  // namespace

frmMain::frmMain(SetupServices services) : ui::Form(services.ui, u"frmMain"), services_(services) {
    width = 5415;
    height = 2310;
    scaleHeight = 1890;
    Frame1.Move(120, 60, 5115, 1095);
    Label1.SetContainer(&Frame1);
    Label1.Move(240, 420, 4695, 495);
    for (int i = 0; i < 2; ++i) {
        auto& button = Command1[static_cast<std::size_t>(i)];
        button = std::make_unique<ui::CommandButton>(*this, u"Command1", i);
        button->Move(i == 0 ? 2280 : 3840, 1320, i == 0 ? 1455 : 1215, 420);
        button->onClick = [this, i] { Command1_Click(i); };
    }
    Command1[1]->caption = u"ｷｬﾝｾﾙ";
    Command1[1]->isCancel = true;
    Command1[0]->isDefault = true;
}

bool frmMain::Start(const std::u16string& commandLine) {
    if (commandLine.empty()) {
        mode_ = Mode::Install;
    } else if (commandLine.compare(0, 7, u"/UNINST") == 0) {
        mode_ = Mode::Uninstall;
    } else {
        return false;
    }
    const bool install = mode_ == Mode::Install;
    caption = install ? u"Wek Quillmark for VB6 Ver1.0 - ｾｯﾄｱｯﾌﾟ" : u"Wek Quillmark for VB6 Ver1.0 - 削除";
    Label1.caption = install ? u"Wek Quillmark for VB6 Ver1.0 ｾｯﾄｱｯﾌﾟを開始します。" : u"Wek Quillmark for VB6 Ver1.0 を削除します。";
    Command1[0]->caption = install ? u"ｾｯﾄｱｯﾌﾟ開始" : u"削除";
    Os& os = services_.os;
    const std::u16string program = Attempt([&] { return os.ProgramPath(); }).value_or(u"");
    const auto slash = program.find_last_of(u'\\');
    programDirectory_ = WithBackslash(slash == std::u16string::npos ? std::u16string() : program.substr(0, slash));
    systemDirectory_ = WithBackslash(Attempt([&] { return os.SystemDirectory(); }).value_or(u""));
    windowsDirectory_ = WithBackslash(Attempt([&] { return os.WindowsDirectory(); }).value_or(u""));
    Centre();
    return true;
}

void frmMain::Command1_Click(int index) {
    const std::u16string& pressed = Command1[static_cast<std::size_t>(index)]->caption;
    if (pressed == u"ｾｯﾄｱｯﾌﾟ開始") {
        Install();
    } else if (pressed == u"削除") {
        Uninstall();
    } else {
        Unload();
    }
}

void frmMain::Message(const std::u16string& text) {
    Attempt([&] { services_.ui.ShowMessage(text, kSetupTitle); });
}

void frmMain::Finish() {
    Attempt([&] { services_.os.SetBusyPointer(false); });
    Unload();
}

bool frmMain::WriteValue(Hive hive, const std::u16string& path, const std::u16string& name, std::uint32_t type, const std::string& data,
                         bool keepExisting) {
    Registry& registry = services_.registry;
    RegKey key = 0;
    if (registry.OpenKey(hive, path, &key) != RegStatus::Success && registry.CreateKey(hive, path, &key) != RegStatus::Success) {
        return false;
    }
    std::uint32_t size = 0;
    const bool exists = registry.QueryValue(key, name, nullptr, nullptr, &size) == RegStatus::Success;
    bool written = true;
    if (!(keepExisting && exists)) {
        written = registry.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                    static_cast<std::uint32_t>(data.size())) == RegStatus::Success;
    }
    registry.CloseKey(key);
    return written;
}

std::optional<std::u16string> frmMain::LinkInGroup(const std::u16string& group) {
    // The group, the folders on the way to it and the two shortcuts; a check that fails counts as a
    // link found, at the group.
    for (const char16_t* entry : {kHelpLink, kUninstallLink}) {
        const auto link = Attempt([&] { return services_.os.LinkOnPath(group + entry); });
        if (!link) return group;
        if (*link) return *link;
    }
    return std::nullopt;
}

std::vector<int> frmMain::VbaEditorsFound() {
    Os& os = services_.os;
    std::vector<int> found;
    for (const int bitness : {32, 64}) {
        const auto programFiles = Attempt([&] { return os.ProgramFilesFolder(bitness); }).value_or(std::nullopt);
        const auto commonFiles = Attempt([&] { return os.CommonFilesFolder(bitness); }).value_or(std::nullopt);
        for (const auto& library : VbaEditorLibraries(bitness, programFiles, commonFiles)) {
            if (Attempt([&] { return os.FileExists(library); }).value_or(false)) {
                found.push_back(bitness);
                break;
            }
        }
    }
    return found;
}

bool frmMain::MakeFolders(const std::u16string& path) {
    Os& os = services_.os;
    // The parts that are never created: a server and share, a root, a drive.
    std::size_t start = 0;
    if (path.compare(0, 2, u"\\\\") == 0) {
        const auto share = path.find(u'\\', 2);
        start = share == std::u16string::npos ? path.size() : path.find(u'\\', share + 1);
        if (start == std::u16string::npos) start = path.size();
    } else if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') {
        start = 3;
    } else if (!path.empty() && path[0] == u'\\') {
        start = 1;
    }
    std::size_t pos = start;
    while (pos < path.size()) {
        auto next = path.find(u'\\', pos);
        if (next == std::u16string::npos) next = path.size();
        const std::u16string part = path.substr(0, next);
        if (!os.DirectoryExists(part) && !Attempt([&] { os.MakeDirectory(part); })) return false;
        pos = next + 1;
    }
    return os.DirectoryExists(path);
}

void frmMain::Install() {
    Os& os = services_.os;
    const Codepage& cp = services_.codepage;
    Attempt([&] { os.SetBusyPointer(true); });

    const char16_t* required[] = {kLibrary, u"Quillmark.cnt", u"Quillmark.hlp", u"Quillmark.chm"};
    for (const char16_t* name : required) {
        if (!os.FileExists(programDirectory_ + name)) {
            Message(u"ｲﾝｽﾄｰﾙに必要なﾌｧｲﾙが存在しません。\r" + programDirectory_ + name);
            Finish();
            return;
        }
    }

    // The files. A failed copy stops here: what follows needs them.
    const auto copy = [&](const std::u16string& from, const std::u16string& to) {
        if (Attempt([&] { os.CopyFileOver(from, to); })) return true;
        Message(u"ﾌｧｲﾙをｺﾋﾟｰできませんでした。\r" + to + u"\rﾌｧｲﾙを使用しているﾌﾟﾛｸﾞﾗﾑ(Visual Basic など)を終了してください。\r" + kRetry);
        Finish();
        return false;
    };
    for (const char16_t* name : required) {
        if (!copy(programDirectory_ + name, systemDirectory_ + name)) return;
    }
    // The uninstaller's copy is this program itself, whatever its file is called.
    const std::u16string self = Attempt([&] { return os.ProgramPath(); }).value_or(programDirectory_ + u"Setup.exe");
    if (!copy(self, windowsDirectory_ + kInstalledSetup)) return;

    // Registration, by the tool's full path, waited for.
    const std::u16string library = systemDirectory_ + kLibrary;
    const auto status = Attempt([&] { return os.RunAndWait(systemDirectory_ + u"Regsvr32.exe", u"/S " + Quoted(library)); });
    if (!status || *status != 0) {
        Message(u"ｱﾄﾞｲﾝの登録に失敗しました。\r" + library +
                (status ? u"\r(Regsvr32.exe の終了ｺｰﾄﾞ " + DecimalText(*status) + u")" : u"\r(Regsvr32.exe を起動できません)") + u"\r" +
                kRetry);
        Finish();
        return;
    }

    // The add-in's settings: the registration values always, the user's format only where there is none yet.
    for (const SettingInfo& value : SettingsTable()) {
        if (!value.initial) continue;
        const bool number = value.kind == SettingKind::Number;
        // The add-in lays down 2 for itself; an installation asks the environment to load it at start-up.
        const std::int32_t initialNumber = std::u16string(value.name) == u"LoadBehavior" ? 1 : value.initialNumber;
        const std::string data = number ? Dword(static_cast<std::uint32_t>(initialNumber)) : cp.ToAnsi(value.initialText);
        if (!WriteValue(Hive::CurrentUser, kSettingsKey, value.name, number ? regtype::Dword : regtype::Sz, data,
                        !IsRegistrationValue(value.name))) {
            Message(u"ｱﾄﾞｲﾝの設定を書き込めませんでした。\rHKEY_CURRENT_USER\\" + std::u16string(kSettingsKey) + u"\r" + kRetry);
            Finish();
            return;
        }
    }

    // What is left is not needed to use the add-in: it is reported, and the rest still done.
    std::vector<std::u16string> notDone;
    // Office's VBA editors, per user, each with the library of its own bitness only: the 32-bit one
    // installed above, the 64-bit one from the package into the 64-bit system directory, registered by
    // the 64-bit registration tool. An editor is told of no library it could not load.
    const auto registerWith = [&](const std::u16string& key) {
        const struct {
            const char16_t* name;
            std::uint32_t type;
            std::string data;
        } values[] = {
            {u"FriendlyName", regtype::Sz, cp.ToAnsi(FindSetting(u"FriendlyName")->initialText)},
            {u"Description", regtype::Sz, cp.ToAnsi(FindSetting(u"Description")->initialText)},
            // Loaded, and loaded at every start of the editor.
            {u"LoadBehavior", regtype::Dword, Dword(3)},
        };
        bool written = true;
        for (const auto& value : values) written = WriteValue(Hive::CurrentUser, key, value.name, value.type, value.data, false) && written;
        return written;
    };
    for (const int bitness : VbaEditorsFound()) {
        if (bitness == 32) {
            if (!registerWith(kVbaKey32)) {
                notDone.push_back(u"32ﾋﾞｯﾄ版 Office の VBA ｴﾃﾞｨﾀへの登録 (HKEY_CURRENT_USER\\" + std::u16string(kVbaKey32) + u")");
            }
            continue;
        }
        const std::u16string task = u"64ﾋﾞｯﾄ版 Office の VBA ｴﾃﾞｨﾀへの登録";
        const auto native = Attempt([&] { return os.NativeSystemDirectory(); }).value_or(std::nullopt);
        if (!native || !os.FileExists(programDirectory_ + kLibrary64)) {
            notDone.push_back(task + u" (このｾｯﾄｱｯﾌﾟには 64ﾋﾞｯﾄ版のｱﾄﾞｲﾝが含まれていません)");
            continue;
        }
        const std::u16string system64 = WithBackslash(*native);
        // A 64-bit setup program has one system directory: the 32-bit library is already there.
        if (system64 == systemDirectory_) {
            notDone.push_back(task + u" (" + system64 + u" には 32ﾋﾞｯﾄ版のｱﾄﾞｲﾝがｲﾝｽﾄｰﾙされています)");
            continue;
        }
        const std::u16string library64 = system64 + kLibrary;
        // The library looks for its help beside itself.
        bool copied = true;
        for (const char16_t* name : kHelpFiles) {
            const std::u16string to = system64 + name;
            if (!Attempt([&] { os.CopyFileOver(programDirectory_ + name, to); })) {
                notDone.push_back(task + u" (" + to + u" をｺﾋﾟｰできません)");
                copied = false;
                break;
            }
        }
        if (!copied) continue;
        if (!Attempt([&] { os.CopyFileOver(programDirectory_ + kLibrary64, library64); })) {
            notDone.push_back(task + u" (" + library64 + u" をｺﾋﾟｰできません)");
            continue;
        }
        const auto status64 = Attempt([&] { return os.RunAndWait(system64 + u"Regsvr32.exe", u"/S " + Quoted(library64)); });
        if (!status64 || *status64 != 0) {
            notDone.push_back(task + u" (" + library64 + u" を登録できません)");
            continue;
        }
        if (!registerWith(kVbaKey64)) {
            notDone.push_back(task + u" (HKEY_CURRENT_USER\\" + std::u16string(kVbaKey64) + u")");
        }
    }
    // The program's path quoted: the system would start "C:\Program.exe" for an unquoted
    // "C:\Program Files\..." (a Windows folder with a blank).
    const std::u16string uninstall = Quoted(windowsDirectory_ + kInstalledSetup) + u" /UNINST " + kDisplayName;
    if (!WriteValue(Hive::LocalMachine, kUninstallKey, u"DisplayName", regtype::Sz, cp.ToAnsi(kDisplayName), false) ||
        !WriteValue(Hive::LocalMachine, kUninstallKey, u"UninstallString", regtype::Sz, cp.ToAnsi(uninstall), false)) {
        notDone.push_back(u"ｱﾌﾟﾘｹｰｼｮﾝの追加と削除への登録");
    }
    bool linkFound = false;
    const auto programs = Attempt([&] { return os.ProgramsFolder(); }).value_or(std::nullopt);
    if (!programs || programs->empty()) {
        notDone.push_back(u"ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成 (ﾌﾟﾛｸﾞﾗﾑ ﾌｫﾙﾀﾞが見つかりません)");
    } else {
        std::u16string group = *programs;
        while (!group.empty() && group.back() == u'\\') group.pop_back();
        group += kGroup;
        if (const auto link = LinkInGroup(group)) {
            linkFound = true;
            notDone.push_back(u"ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成 (" + std::u16string(kLinkFound) + u"作成しませんでした: " + *link + u")");
        } else if (!MakeFolders(group)) {
            notDone.push_back(u"ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成 (" + group + u")");
        } else {
            Attempt([&] { os.OpenFolder(group); });
            // The help that opens on this system, by the name that Explorer finds it under.
            const std::u16string helpFile =
                Attempt([&] { return services_.ui.WinHelpAvailable(); }).value_or(true) ? u"Quillmark.hlp" : u"Quillmark.chm";
            const std::u16string shellSystem =
                WithBackslash(Attempt([&] { return os.Wow64SystemDirectory(); }).value_or(std::nullopt).value_or(systemDirectory_));
            // Looked at again: the folders were made in the meantime.
            const auto linkNow = LinkInGroup(group);
            const bool help = !linkNow && Attempt([&] { os.CreateShortcut(group + kHelpLink, shellSystem + helpFile, u""); });
            const bool remove =
                !linkNow && Attempt([&] { os.CreateShortcut(group + kUninstallLink, windowsDirectory_ + kInstalledSetup, u"/UNINST"); });
            if (linkNow) {
                linkFound = true;
                notDone.push_back(u"ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成 (" + std::u16string(kLinkFound) + u"作成しませんでした: " + *linkNow + u")");
            } else if (!help || !remove) {
                notDone.push_back(u"ｽﾀｰﾄ ﾒﾆｭｰへのｼｮｰﾄｶｯﾄの作成 (" + group + u")");
            }
        }
    }
    if (notDone.empty()) {
        Message(u"ｾｯﾄｱｯﾌﾟが完了しました。");
    } else {
        std::u16string text = u"ｱﾄﾞｲﾝはｲﾝｽﾄｰﾙされましたが、次の作業はできませんでした。";
        for (const auto& item : notDone) text += u"\r- " + item;
        if (linkFound) text += u"\r" + std::u16string(kRemoveLink);
        Message(text);
    }
    Finish();
}

void frmMain::Uninstall() {
    Os& os = services_.os;
    Registry& registry = services_.registry;
    Attempt([&] { os.SetBusyPointer(true); });
    std::vector<std::u16string> notRemoved;

    const std::u16string library = systemDirectory_ + kLibrary;
    if (os.FileExists(library)) {
        // The library is deleted only after the registration tool has finished with it.
        const auto status = Attempt([&] { return os.RunAndWait(systemDirectory_ + u"Regsvr32.exe", u"/U /S " + Quoted(library)); });
        if (!status || *status != 0) notRemoved.push_back(u"ｱﾄﾞｲﾝの登録 (" + library + u")");
    }
    const auto remove = [&](const std::u16string& path) {
        if (!os.FileExists(path)) return;  // already gone
        if (!Attempt([&] { os.DeleteFileAt(path); })) notRemoved.push_back(path);
    };
    // The 64-bit library, unregistered by the 64-bit tool before it goes.
    const auto native = Attempt([&] { return os.NativeSystemDirectory(); }).value_or(std::nullopt);
    if (native && WithBackslash(*native) != systemDirectory_) {
        const std::u16string system64 = WithBackslash(*native);
        const std::u16string library64 = system64 + kLibrary;
        if (os.FileExists(library64)) {
            const auto status = Attempt([&] { return os.RunAndWait(system64 + u"Regsvr32.exe", u"/U /S " + Quoted(library64)); });
            if (!status || *status != 0) notRemoved.push_back(u"ｱﾄﾞｲﾝの登録 (" + library64 + u")");
        }
        for (const char16_t* name : kRemovedFiles) remove(system64 + name);
    }
    for (const char16_t* name : kRemovedFiles) remove(systemDirectory_ + name);
    bool linkFound = false;
    const auto programs = Attempt([&] { return os.ProgramsFolder(); }).value_or(std::nullopt);
    if (programs && !programs->empty()) {
        std::u16string group = *programs;
        while (!group.empty() && group.back() == u'\\') group.pop_back();
        group += kGroup;
        if (const auto link = LinkInGroup(group)) {
            linkFound = true;
            notRemoved.push_back(u"ｽﾀｰﾄ ﾒﾆｭｰのｼｮｰﾄｶｯﾄ (" + std::u16string(kLinkFound) + u"削除しませんでした: " + *link + u")");
        } else {
            remove(group + kHelpLink);
            remove(group + kUninstallLink);
            // A folder that still holds the user's own files stays.
            if (os.DirectoryExists(group) && os.DirectoryIsEmpty(group)) {
                if (!Attempt([&] { os.RemoveEmptyDirectory(group); })) notRemoved.push_back(group);
            }
        }
    }
    const auto removeKey = [&](Hive hive, const std::u16string& path) {
        const RegStatus status = registry.DeleteKey(hive, path);
        if (status != RegStatus::Success && status != RegStatus::NotFound) {
            notRemoved.push_back(std::u16string(HiveName(hive)) + u"\\" + path);
        }
    };
    removeKey(Hive::LocalMachine, kUninstallKey);
    removeKey(Hive::CurrentUser, kSettingsKey);
    // The VBA editors' registrations, whichever bitness wrote them.
    removeKey(Hive::CurrentUser, kVbaKey32);
    removeKey(Hive::CurrentUser, kVbaKey64);

    if (notRemoved.empty()) {
        Message(u"ｱﾌﾟﾘｹｰｼｮﾝの削除が完了しました。");
    } else {
        std::u16string text = u"次のものを削除できませんでした。";
        for (const auto& item : notRemoved) text += u"\r- " + item;
        if (notRemoved.size() > (linkFound ? 1U : 0U)) {
            text += u"\rﾌｧｲﾙを使用しているﾌﾟﾛｸﾞﾗﾑ(Visual Basic など)を終了してから、もう一度削除を実行してください。";
        }
        if (linkFound) text += u"\r" + std::u16string(kRemoveLink);
        Message(text);
    }
    Finish();
}

void RunSetup(SetupServices services, const std::u16string& commandLine) {
    frmMain form(services);
    if (!form.Start(commandLine)) return;
    form.ShowModal();
}

}  // namespace qm
