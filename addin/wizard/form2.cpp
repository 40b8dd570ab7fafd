#include "addin/wizard/form2.h"

namespace qm {

Form2::Form2(ui::Ui& ui) : ui::Form(ui, u"Form2") {
    caption = u"独自項目";
    width = 4800;
    height = 2400;
    scaleHeight = 1980;
}

}  // namespace qm
