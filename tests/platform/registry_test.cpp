#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "platform/files.h"
#include "platform/sim/regfile.h"
#include "platform/sim/registry_memory.h"
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

// The registry as the plainest code keeps it, every lookup a walk over everything: what the indexed
// registry must agree with, whatever the order of creations and deletions.
struct PlainRegistry {
    std::vector<RegKeyContent> keys;

    RegKeyContent* Find(Hive hive, const std::u16string& path) {
        for (auto& k : keys) {
            if (k.hive == hive && EqualsIgnoreCase(k.path, path)) return &k;
        }
        return nullptr;
    }
    bool Below(const RegKeyContent& k, Hive hive, const std::u16string& path) const {
        return k.hive == hive && k.path.size() > path.size() && EqualsIgnoreCase(k.path.substr(0, path.size()), path) &&
               k.path[path.size()] == u'\\';
    }
    bool HasSubkeys(Hive hive, const std::u16string& path) const {
        return std::any_of(keys.begin(), keys.end(), [&](const RegKeyContent& k) { return Below(k, hive, path); });
    }
    RegKeyContent& Create(Hive hive, const std::u16string& path) {
        if (Find(hive, path) == nullptr) keys.push_back({hive, path, {}});
        return *Find(hive, path);
    }
    std::vector<RegValue>::iterator Value(RegKeyContent& k, const std::u16string& name) {
        return std::find_if(k.values.begin(), k.values.end(), [&](const RegValue& v) { return EqualsIgnoreCase(v.name, name); });
    }
    // A parent read or written through a handle becomes a key, spelled as the first of its subkeys
    // in the order of their folded names.
    RegKeyContent& Materialize(Hive hive, const std::u16string& path) {
        if (RegKeyContent* k = Find(hive, path)) return *k;
        const RegKeyContent* first = nullptr;
        for (const auto& k : keys) {
            if (Below(k, hive, path) && (first == nullptr || FoldAscii(k.path) < FoldAscii(first->path))) first = &k;
        }
        return Create(hive, first->path.substr(0, path.size()));
    }
    RegStatus DeleteKey(Hive hive, const std::u16string& path) {
        if (HasSubkeys(hive, path)) return RegStatus::AccessDenied;
        RegKeyContent* k = Find(hive, path);
        if (k == nullptr) return RegStatus::NotFound;
        keys.erase(keys.begin() + (k - keys.data()));
        return RegStatus::Success;
    }
    void DeleteTree(Hive hive, const std::u16string& path) {
        std::erase_if(keys,
                      [&](const RegKeyContent& k) { return (k.hive == hive && EqualsIgnoreCase(k.path, path)) || Below(k, hive, path); });
    }
};

TEST(MemoryRegistry, AgreesWithAPlainRegistryThroughManyCreationsAndDeletions) {
    // Few names, in several spellings, so that every operation meets keys and values it made before.
    const std::u16string paths[] = {u"A", u"a", u"A\\B", u"a\\b\\C", u"B", u"B\\x", u"AB", u"A!"};
    const std::u16string names[] = {u"v", u"V", u"w", u"", u"long name", u"x1", u"x2", u"x3"};
    const Hive hives[] = {Hive::CurrentUser, Hive::LocalMachine};
    std::mt19937 random(20261207);
    const auto pick = [&](const auto& from) { return from[random() % std::size(from)]; };
    MemoryRegistry reg;
    PlainRegistry plain;
    for (int step = 0; step < 20000; ++step) {
        const Hive hive = pick(hives);
        const std::u16string path = pick(paths);
        const std::u16string name = pick(names);
        SCOPED_TRACE("step " + std::to_string(step) + " " + Utf16ToUtf8(path) + " " + Utf16ToUtf8(name));
        const unsigned op = random() % 20;
        RegKey key = 0;
        if (op < 8) {
            const std::string data(random() % 4, static_cast<char>('a' + step % 26));
            ASSERT_EQ(reg.CreateKey(hive, path, &key), RegStatus::Success);
            ASSERT_EQ(reg.SetValue(key, name, regtype::Sz, reinterpret_cast<const std::uint8_t*>(data.data()),
                                   static_cast<std::uint32_t>(data.size())),
                      RegStatus::Success);
            RegKeyContent& k = plain.Create(hive, path);
            if (auto v = plain.Value(k, name); v != k.values.end()) {
                v->data = data;
            } else {
                k.values.push_back({name, regtype::Sz, data});
            }
        } else if (op < 13) {
            ASSERT_EQ(reg.CreateKey(hive, path, &key), RegStatus::Success);
            RegKeyContent& k = plain.Create(hive, path);
            const auto v = plain.Value(k, name);
            ASSERT_EQ(reg.DeleteValue(key, name), v == k.values.end() ? RegStatus::NotFound : RegStatus::Success);
            if (v != k.values.end()) k.values.erase(v);
        } else if (op < 15) {
            ASSERT_EQ(reg.DeleteKey(hive, path), plain.DeleteKey(hive, path));
        } else if (op < 16) {
            reg.DeleteTree(hive, path);
            plain.DeleteTree(hive, path);
        } else if (op < 19) {
            // Reads through a handle: every value in order, and each name looked up.
            RegKeyContent* k = plain.Find(hive, path);
            if (reg.OpenKey(hive, path, &key) != RegStatus::Success) {
                ASSERT_TRUE(k == nullptr && !plain.HasSubkeys(hive, path));
                continue;
            }
            if (k == nullptr) k = &plain.Materialize(hive, path);
            for (const std::u16string& n : names) {
                std::uint8_t buffer[8];
                std::uint32_t size = sizeof buffer;
                const auto v = plain.Value(*k, n);
                const RegStatus status = reg.QueryValue(key, n, nullptr, buffer, &size);
                ASSERT_EQ(status, v == k->values.end() ? RegStatus::NotFound : RegStatus::Success) << Utf16ToUtf8(n);
                if (status == RegStatus::Success) {
                    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), v->data);
                }
            }
            std::vector<RegValue> listed;
            RegValue v;
            for (std::uint32_t i = 0; reg.EnumValue(key, i, &v.name, &v.type, &v.data) == RegStatus::Success; ++i) listed.push_back(v);
            ASSERT_EQ(listed, k->values);
        } else {
            ASSERT_EQ(reg.Keys(), plain.keys);
            continue;
        }
        if (key != 0) reg.CloseKey(key);
    }
    EXPECT_EQ(reg.Keys(), plain.keys);
    EXPECT_EQ(reg.OpenHandles(), 0u);
}

TEST(MemoryRegistry, AParentWrittenThroughAHandleTakesTheSpellingOfItsSubkeys) {
    MemoryRegistry reg;
    RegKey key = 0;
    ASSERT_EQ(reg.CreateKey(Hive::CurrentUser, u"Software\\Wek\\Tools", &key), RegStatus::Success);
    reg.CloseKey(key);
    ASSERT_EQ(reg.OpenKey(Hive::CurrentUser, u"SOFTWARE\\wek", &key), RegStatus::Success);
    ASSERT_EQ(reg.SetValue(key, u"n", regtype::Sz, reinterpret_cast<const std::uint8_t*>("1"), 1), RegStatus::Success);
    reg.CloseKey(key);
    ASSERT_EQ(reg.Keys().size(), 2u);
    EXPECT_EQ(reg.Keys()[1].path, u"Software\\Wek");
}

TEST(RegFile, ADeletedKeyTakesItsSubkeysAndNothingElse) {
    const std::string file =
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\A]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\A\\B\\C]\r\n"
        "[HKEY_CURRENT_USER\\Software\\a\\d]\r\n"
        "[HKEY_CURRENT_USER\\Software\\AB]\r\n"
        "[HKEY_CURRENT_USER\\Software\\A!]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
        "[-HKEY_CURRENT_USER\\SOFTWARE\\a]\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Missing]\r\n"
        "[-HKEY_CURRENT_USER]\r\n"
        "[HKEY_CURRENT_USER\\Software\\A\\B]\r\n";
    MemoryRegistry reg;
    ImportRegFile(file, Cp932(), reg);
    std::vector<std::string> left;
    for (const auto& k : reg.Keys()) left.push_back(Utf16ToUtf8(HiveName(k.hive)) + "\\" + Utf16ToUtf8(k.path));
    // What is made again after the deletion comes last, as a new key.
    EXPECT_EQ(left, (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\AB", "HKEY_CURRENT_USER\\Software\\A!",
                                              "HKEY_LOCAL_MACHINE\\Software\\A", "HKEY_CURRENT_USER\\Software\\A\\B"}));
    EXPECT_TRUE(reg.Keys().back().values.empty());
}

// A registry whose enumeration fails at some indexes, as the system's does for a value whose name or
// data does not fit the buffers, and which may never say that the values have ended.
class FlakyEnumeration : public MemoryRegistry {
public:
    std::set<std::uint32_t> failAt;
    bool endless = false;
    RegStatus EnumValue(RegKey key, std::uint32_t index, std::u16string* name, std::uint32_t* type, std::string* data) override {
        if (failAt.count(index) != 0) return RegStatus::MoreData;
        const RegStatus status = MemoryRegistry::EnumValue(key, index, name, type, data);
        return endless && status == RegStatus::NotFound ? RegStatus::Failure : status;
    }
};

TEST(ReadAllValues, PassesOverAValueThatCannotBeReadAndEnds) {
    struct Case {
        std::set<std::uint32_t> failAt;
        bool endless;
        std::vector<std::u16string> names;
        std::size_t unreadable;
    };
    const Case cases[] = {
        {{}, false, {u"a", u"b", u"c", u"d"}, 0},
        {{0}, false, {u"b", u"c", u"d"}, 1},
        {{1, 2}, false, {u"a", u"d"}, 2},
        {{3}, false, {u"a", u"b", u"c"}, 1},
        // Never ends by itself: the walk stops after a bounded run of failures.
        {{1}, true, {u"a", u"c", u"d"}, 1 + kMaxUnreadableInARow},
    };
    for (const Case& c : cases) {
        FlakyEnumeration reg;
        RegKey key = 0;
        reg.CreateKey(Hive::CurrentUser, u"K", &key);
        for (const char16_t* n : {u"a", u"b", u"c", u"d"}) reg.SetValue(key, n, regtype::Sz, nullptr, 0);
        reg.failAt = c.failAt;
        reg.endless = c.endless;
        std::size_t unreadable = 99;
        std::vector<std::u16string> names;
        for (const RegValue& v : ReadAllValues(reg, key, &unreadable)) names.push_back(v.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(unreadable, c.unreadable);
    }
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
    // Nothing but the store is left beside it: no temporary file, no lock file (the lock is the folder's).
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "sub")) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{std::filesystem::path(path_).filename().string()}));
}

TEST_F(RegFileStore, ReplacingEverythingIsOneWriteThatHappensWholeOrNotAtAll) {
    RegFileRegistry reg(path_, Cp932());
    RegKey key = 0;
    ASSERT_EQ(reg.CreateKey(Hive::CurrentUser, u"Software\\Old", &key), RegStatus::Success);
    reg.CloseKey(key);
    const std::vector<RegKeyContent> before = reg.Keys();
    const std::string bytesBefore = ReadWholeFile(path_);

    std::vector<RegKeyContent> next{{Hive::CurrentUser, u"Software\\New", {}}};
    for (int i = 0; i < 1000; ++i) next[0].values.push_back({u"V" + DecimalText(i), regtype::Sz, std::to_string(i)});

    // A file that may not be written: nothing changes, in the file or in memory, and the reason is kept.
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    EXPECT_EQ(reg.ReplaceAll(next), RegStatus::Failure);
    EXPECT_FALSE(reg.WriteError().empty());
    EXPECT_EQ(ReadWholeFile(path_), bytesBefore);
    EXPECT_EQ(reg.Keys(), before);

    ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
    ASSERT_EQ(reg.ReplaceAll(next), RegStatus::Success);
    EXPECT_TRUE(reg.WriteError().empty());
    EXPECT_EQ(reg.Keys(), next);
    MemoryRegistry reread;
    ImportRegFile(ReadWholeFile(path_), Cp932(), reread);
    EXPECT_EQ(reread.Keys(), next);
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
