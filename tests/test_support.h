#pragma once
// Shared helpers of the tests: the code page, and a settings store over memory.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "addin/settings/settings_store.h"
#include "platform/codepage.h"
#include "platform/sim/registry_memory.h"
#include "platform/text.h"

namespace qm::test {

inline const Codepage& Cp932() {
    static const std::unique_ptr<Codepage> codepage = MakeCp932Codepage();
    return *codepage;
}

inline std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }

// A registry in memory with the settings store over it.
struct MemoryStore {
    MemoryRegistry registry;
    SettingsStore store{registry, Cp932()};

    void Put(const std::u16string& name, const std::u16string& text) {
        RegKey key = 0;
        registry.CreateKey(Hive::CurrentUser, kSettingsKey, &key);
        const std::string bytes = Cp932().ToAnsi(text);
        registry.SetValue(key, name, regtype::Sz, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<std::uint32_t>(bytes.size()));
        registry.CloseKey(key);
    }
};

}  // namespace qm::test
