#include "platform/registry.h"

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

}  // namespace qm
