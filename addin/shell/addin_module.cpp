#include "addin/shell/addin_module.h"

#include <cmath>

#include "platform/failure.h"

namespace qm {

std::u16string DirectoryOf(const std::u16string& libraryPath) {
    const auto slash = libraryPath.find_last_of(u"\\/");
    std::u16string dir = slash == std::u16string::npos ? std::u16string() : libraryPath.substr(0, slash + 1);
    if (dir.empty() || dir.back() != u'\\') {
        if (!dir.empty() && dir.back() == u'/') dir.pop_back();
        dir += u"\\";
    }
    return dir;
}

void ScaleFormToScreen(ui::Form& form, const AddInModule& module) {
    if (module.ScreenTwipsX == 15) return;
    const double clientHeight = form.scaleMode == 1 ? form.scaleHeight : form.scaleHeight * static_cast<double>(module.ScreenTwipsY);
    const double nonClient = form.height - clientHeight;
    const double sx = module.ScaleX;
    const double sy = module.ScaleY;
    form.left = form.left * sx;
    form.top = form.top * sy;
    form.width = form.width * sx;
    form.height = nonClient + (form.height - nonClient) * sy;
    if (form.scaleMode == 1) form.scaleHeight = form.scaleHeight * sy;
    for (ui::Control* control : form.Controls()) {
        // Each property on its own: a control without it keeps the others.
        const auto scale = [&](ui::Property property, double factor) {
            Attempt([&] { control->Set(property, std::floor(control->Get(property) * factor)); });
        };
        scale(ui::Property::Left, sx);
        scale(ui::Property::Top, sy);
        scale(ui::Property::Width, sx);
        scale(ui::Property::Height, sy);
        scale(ui::Property::FontSize, sx);
    }
}

}  // namespace qm
