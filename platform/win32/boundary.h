#pragma once
// Functions that Windows calls (window and timer procedures, hooks, COM methods, exported functions):
// nothing may leave them. On 32-bit Windows an exception cannot unwind through the system's frames
// and would end the host process.
#include <utility>

namespace qm::win32 {

// Runs body and gives its result; whatever it throws gives fallback.
template <class Result, class Body>
Result Guarded(Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

}  // namespace qm::win32
