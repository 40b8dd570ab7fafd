#pragma once
// The custom item dialog.
#include "platform/ui/forms.h"

namespace qm {

class Form2 : public ui::Form {
public:
    explicit Form2(ui::Ui& ui);
};

}  // namespace qm
