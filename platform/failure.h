#pragma once
// The one failure type of the platform layer, and the one place that swallows it.
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace qm {

class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs one step of a sequence that must go on whatever happens to that step.
// A void step yields whether it completed; any other step yields its result or nothing.
template <class Step>
auto Attempt(Step&& step) {
    using Result = std::invoke_result_t<Step>;
    if constexpr (std::is_void_v<Result>) {
        try {
            step();
            return true;
        } catch (const PlatformError&) {
            return false;
        }
    } else {
        try {
            return std::optional<Result>(step());
        } catch (const PlatformError&) {
            return std::optional<Result>();
        }
    }
}

}  // namespace qm
