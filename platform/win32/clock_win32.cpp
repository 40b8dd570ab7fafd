// Today's date and time as the system keeps them for the user's time zone.
#include <windows.h>

#include "platform/clock.h"

namespace qm {

LocalDateTime SystemClock::Now() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace qm
