#include "platform/codepage.h"

namespace qm {

std::size_t Codepage::ByteLength(std::u16string_view text) const { return ToAnsi(text).size(); }

bool Codepage::CanEncode(std::u16string_view text) const {
    bool valid = true;
    return FromAnsi(ToAnsi(text), &valid) == text && valid;
}

}  // namespace qm
