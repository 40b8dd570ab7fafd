#include <gtest/gtest.h>

#include <set>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/regfile.h"
#include "platform/registry_memory.h"
#include "tests/test_support.h"

namespace qm::test {
namespace {

std::string Bytes(const RegKeyContent& key, const std::u16string& name) {
    for (const auto& v : key.values) {
        if (EqualsIgnoreCase(v.name, name)) return v.data;
    }
    return "<missing>";
}

TEST(MemoryRegistry, KeepsWin32Semantics) {
    MemoryRegistry reg;
    RegKey key = 0;
    EXPECT_EQ(reg.OpenKey(Hive::CurrentUser, u"Software\\A", &key), RegStatus::NotFound);
    ASSERT_EQ(reg.CreateKey(Hive::CurrentUser, u"Software\\A\\B", &key), RegStatus::Success);
    ASSERT_EQ(reg.SetValue(key, u"Name", regtype::Sz, reinterpret_cast<const std::uint8_t*>("abc"), 3), RegStatus::Success);
    reg.CloseKey(key);

    // Parents exist, paths and names ignore case.
    RegKey parent = 0;
    EXPECT_EQ(reg.OpenKey(Hive::CurrentUser, u"software\\a", &parent), RegStatus::Success);
    reg.CloseKey(parent);
    ASSERT_EQ(reg.OpenKey(Hive::CurrentUser, u"SOFTWARE\\a\\b", &key), RegStatus::Success);
    std::uint8_t buffer[8] = {};
    std::uint32_t size = 2;
    std::uint32_t type = 0;
    EXPECT_EQ(reg.QueryValue(key, u"NAME", &type, buffer, &size), RegStatus::MoreData);
    EXPECT_EQ(size, 3u);  // the size needed, and nothing stored without NUL grows one
    size = sizeof buffer;
    EXPECT_EQ(reg.QueryValue(key, u"name", &type, buffer, &size), RegStatus::Success);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(type, regtype::Sz);
    EXPECT_EQ(reg.QueryValue(key, u"other", &type, buffer, &size), RegStatus::NotFound);
    reg.CloseKey(key);
    EXPECT_EQ(reg.OpenHandles(), 0u);

    // A key with subkeys cannot be deleted; without them it can.
    EXPECT_EQ(reg.DeleteKey(Hive::CurrentUser, u"Software\\A"), RegStatus::AccessDenied);
    EXPECT_EQ(reg.DeleteKey(Hive::CurrentUser, u"Software\\A\\B"), RegStatus::Success);
    EXPECT_EQ(reg.OpenKey(Hive::CurrentUser, u"Software\\A\\B", &key), RegStatus::NotFound);
    EXPECT_EQ(reg.OpenKey(Hive::LocalMachine, u"Software\\A", &key), RegStatus::NotFound);
}

TEST(RegFile, ReadsRegedit4AsRegeditWritesIt) {
    const std::string file =
        "REGEDIT4\r\n\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "\"Text\"=\"a \\\"quoted\\\" \\\\ path\"\r\n"
        "\"Japanese\"=\"" +
        Cp932().ToAnsi(u"名前ｽﾀﾝﾌﾟ") +
        "\"\r\n"
        "\"Number\"=dword:0000002a\r\n"
        "\"Negative\"=dword:ffffffff\r\n"
        "\"Blob\"=hex:01,02,\\\r\n  03,ff\r\n"
        "\"WithNul\"=hex(1):61,62,00\r\n"
        "@=\"default\"\r\n"
        "\"Gone\"=\"x\"\r\n"
        "\"Gone\"=-\r\n";
    MemoryRegistry reg;
    ImportRegFile(file, Cp932(), reg);
    ASSERT_EQ(reg.Keys().size(), 1u);
    const RegKeyContent& key = reg.Keys().front();
    EXPECT_EQ(key.path, u"Software\\Test");
    EXPECT_EQ(Bytes(key, u"Text"), "a \"quoted\" \\ path");
    EXPECT_EQ(Bytes(key, u"Japanese"), Cp932().ToAnsi(u"名前ｽﾀﾝﾌﾟ"));
    EXPECT_EQ(Bytes(key, u"Number"), std::string("\x2a\0\0\0", 4));
    EXPECT_EQ(Bytes(key, u"Negative"), "\xff\xff\xff\xff");
    EXPECT_EQ(Bytes(key, u"Blob"), "\x01\x02\x03\xff");
    EXPECT_EQ(Bytes(key, u"WithNul"), std::string("ab\0", 3));
    EXPECT_EQ(Bytes(key, u""), "default");
    EXPECT_EQ(Bytes(key, u"Gone"), "<missing>");

    // What we write reads back to the same registry.
    MemoryRegistry again;
    ImportRegFile(ExportRegFile(reg.Keys(), Cp932()), Cp932(), again);
    ASSERT_EQ(again.Keys().size(), 1u);
    for (const auto& v : key.values) {
        EXPECT_EQ(Bytes(again.Keys().front(), v.name), v.data) << Utf16ToUtf8(v.name);
    }
}

TEST(RegFile, WritesTheExportFormOfRegedit) {
    MemoryRegistry reg;
    RegKey key = 0;
    reg.CreateKey(Hive::CurrentUser, u"Software\\T", &key);
    const std::string name = Cp932().ToAnsi(u"名前");
    reg.SetValue(key, u"EditStamp", regtype::Sz, reinterpret_cast<const std::uint8_t*>(name.data()),
                 static_cast<std::uint32_t>(name.size()));
    reg.SetValue(key, u"Empty", regtype::Sz, nullptr, 0);
    const std::uint8_t two[4] = {2, 0, 0, 0};
    reg.SetValue(key, u"LoadBehavior", regtype::Dword, two, 4);
    reg.CloseKey(key);
    EXPECT_EQ(ExportRegFile(reg.Keys(), Cp932()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n\"EditStamp\"=\"" + name +
                                                      "\"\r\n\"Empty\"=\"\"\r\n\"LoadBehavior\"=dword:00000002\r\n\r\n");
}

TEST(RegFile, ReadsTheUnicodeForm) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\WekQM417.AddInClass]\r\n"
        u"\"EditStamp\"=\"1,1,1,1,1,名前\"\r\n"
        u"\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        u"\"ToolBarPosition\"=dword:00000000\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    MemoryRegistry reg;
    ImportRegFile(bytes, Cp932(), reg);
    ASSERT_EQ(reg.Keys().size(), 1u);
    EXPECT_EQ(Bytes(reg.Keys().front(), u"EditStamp"), Cp932().ToAnsi(u"1,1,1,1,1,名前"));
    EXPECT_EQ(Bytes(reg.Keys().front(), u"Multi"), std::string("a\0\0", 3));
}

TEST(RegFile, RefusesWhatItCannotReadWithTheLine) {
    struct Case {
        const char* text;
        int line;
    };
    const Case cases[] = {
        {"", 1},
        {"hello\r\n", 1},
        {"REGEDIT4\r\n\"x\"=\"y\"\r\n", 2},
        {"REGEDIT4\r\n[HKEY_NOWHERE\\x]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=dword:123456789\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=\"open\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\r\n\"a\"=hex:0g\r\n", 4},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=hex:01,\\\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"\x82\"=\"\"\r\n", 3},
    };
    for (const Case& c : cases) {
        MemoryRegistry reg;
        try {
            ImportRegFile(c.text, Cp932(), reg);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const RegFileError& e) {
            EXPECT_EQ(e.Line(), c.line) << c.text << " -> " << e.what();
        }
        EXPECT_TRUE(reg.Keys().empty()) << c.text;
    }
}

class RegFileStore : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("qm-reg-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                                         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        path_ = (dir_ / "sub" / "settings.reg").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(RegFileStore, EveryChangeIsWrittenAndReadBack) {
    {
        RegFileRegistry reg(path_, Cp932());
        SettingsStore store(reg, Cp932());
        EXPECT_EQ(store.ReadSettingString(u"EditStamp", u"1,1,1,1,1,名前"), u"1,1,1,1,1,名前");
        store.WriteSettingString(u"EditStamp", u"0,0,0,0,0,担当");
    }
    ASSERT_TRUE(FileExists(path_));
    RegFileRegistry reg(path_, Cp932());
    SettingsStore store(reg, Cp932());
    EXPECT_EQ(store.ReadSettingString(u"EditStamp", u"x"), u"0,0,0,0,0,担当");
    EXPECT_EQ(store.ReadSettingNumber(u"LoadBehavior", 0), 2);
    // No temporary file is left beside the store: only the store and its lock file.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "sub")) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{std::filesystem::path(path_).filename().string(),
                                            std::filesystem::path(path_).filename().string() + ".lock"}));
}

TEST_F(RegFileStore, AFileThatCannotBeReadIsNeverOverwritten) {
    std::filesystem::create_directories(dir_ / "sub");
    const std::string broken = "REGEDIT4\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=what\r\n";
    { std::ofstream(path_, std::ios::binary) << broken; }
    EXPECT_THROW(RegFileRegistry(path_, Cp932()), RegFileError);
    EXPECT_EQ(ReadWholeFile(path_), broken);
}

}  // namespace
}  // namespace qm::test
