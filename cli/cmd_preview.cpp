// quillmark preview: both stamps, with the stored format, on a sample procedure.
#include <iostream>

#include "addin/stamps/edit_stamp.h"
#include "addin/stamps/function_stamp.h"
#include "addin/stamps/stamp_date.h"
#include "cli/commands.h"
#include "platform/text.h"

namespace qm::cli {

int CommandPreview(const PreviewOptions& options) {
    const LocalDateTime now = Now(options.common);
    Store store(options.common, Store::Mode::Read);
    Detail(options.common, "settings: " + store.Description());
    const FormatModel model = store.Format(options.common);
    const StampContext context{model, now, store.Cp()};
    ide::TextCodeModule module({u"Option Explicit", u"", u"Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long",
                                u"    AddTax = price * (1 + rate)", u"End Function"},
                               u"Module1.bas");
    ide::TextCodePane pane(module);
    pane.SetSelection({4, 5, 4, 5});
    RunEditStamp(pane, context);
    pane.SetSelection({3, 1, 3, 1});
    RunFunctionStamp(pane, context);
    std::string out;
    for (const auto& line : module.AllLines()) out += Utf16ToUtf8(line) + "\n";
    // The wizard's two live samples: the edit-record stamp, and the creation date of each date item.
    const std::u16string marker = PreviewEditMarker(context);
    const auto cr = marker.find(u'\r');
    out += "\n表示ｻﾝﾌﾟﾙ (編集記録ｽﾀﾝﾌﾟ) :\n" + Utf16ToUtf8(marker.substr(0, cr)) + "\n" +
           Utf16ToUtf8(marker.substr(marker.find_last_of(u'\r') + 1)) + "\n";
    for (std::size_t row = 0; row < model.ItemList.size(); ++row) {
        if (model.ItemList[row].kind != kind::kCreationDate) continue;
        out += "表示サンプル (" + Utf16ToUtf8(model.ItemList[row].name) +
               ") : " + Utf16ToUtf8(FormatCreationDate(model, static_cast<int>(row), now)) + "\n";
    }
    std::cout << out << std::flush;
    return 0;
}

}  // namespace qm::cli
