#pragma once
// Today's local date and time.
#include <optional>
#include <string_view>

namespace qm {

struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
};

class SystemClock final : public Clock {
public:
    LocalDateTime Now() const override;
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalDateTime now) : now_(now) {}
    LocalDateTime Now() const override { return now_; }
    void Set(LocalDateTime now) { now_ = now; }

private:
    LocalDateTime now_;
};

// "YYYY-MM-DD HH:MM:SS" (the time may be left out); nothing when it is not a real date and time.
std::optional<LocalDateTime> ParseDateTime(std::string_view text);

}  // namespace qm
