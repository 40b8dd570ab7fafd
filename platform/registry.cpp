#include "platform/registry.h"

#include <cstdint>
#include <utility>

namespace qm {

const char16_t* HiveName(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return u"HKEY_CLASSES_ROOT";
        case Hive::CurrentUser:
            return u"HKEY_CURRENT_USER";
        case Hive::LocalMachine:
            return u"HKEY_LOCAL_MACHINE";
        case Hive::Users:
            return u"HKEY_USERS";
    }
    return u"";
}

std::vector<RegValue> ReadAllValues(Registry& registry, RegKey key, std::size_t* unreadable) {
    std::vector<RegValue> values;
    std::size_t failed = 0;
    std::size_t inARow = 0;
    for (std::uint32_t index = 0; inARow < kMaxUnreadableInARow; ++index) {
        RegValue value;
        const RegStatus status = registry.EnumValue(key, index, &value.name, &value.type, &value.data);
        if (status == RegStatus::NotFound) break;
        if (status == RegStatus::Success) {
            values.push_back(std::move(value));
            inARow = 0;
        } else {
            ++failed;
            ++inARow;
        }
        if (index == UINT32_MAX) break;
    }
    if (unreadable != nullptr) *unreadable = failed;
    return values;
}

}  // namespace qm
