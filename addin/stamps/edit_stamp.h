#pragma once
// The edit-record stamp: an opening marker with the editor and the date, and a closing line of the
// same width, around the selected lines.
#include <string>

#include "addin/settings/format_model.h"
#include "addin/stamps/function_stamp.h"
#include "platform/ide/code_window.h"

namespace qm {

// which 0: the opening line; 1: the closing line. No indentation, no line break.
std::u16string BuildEditMarker(int which, const StampContext& context);
// The opening line, two CR characters, the closing line, as the wizard shows them.
std::u16string PreviewEditMarker(const StampContext& context);
// The smallest count of leading blanks over the lines of a block, as the command measures it.
std::size_t BlockIndent(std::u16string_view block);

// The edit-record button's command on a code pane.
void RunEditStamp(ide::CodePane& pane, const StampContext& context);

}  // namespace qm
