#pragma once
// Module state of the add-in set at connection, the services it runs on, and routines shared by its forms.
#include <memory>
#include <string>

#include "addin/settings/settings_store.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/registry.h"
#include "platform/ui/forms.h"

namespace qm {

inline constexpr char16_t kProductTitle[] = u"Wek Quillmark For VB6 Ver1.0";

// The outside services, chosen by the front end and handed down.
struct AddInServices {
    Registry& registry;
    const Codepage& codepage;
    const Clock& clock;
    ui::Ui& ui;
    std::u16string libraryPath;  // the add-in library file
    // What owns the services (the library's connect object): held for the length of every command,
    // so that a disconnection and release inside it free nothing that is still on the stack.
    std::weak_ptr<void> owner = {};
    // The library's own bitness, which is that of the process that loaded it: it names the VBA
    // editor's registration key (Addins or Addins64).
    int bitness = static_cast<int>(sizeof(void*) * 8);
};

struct AddInModule {
    std::u16string AppPath;  // ends in "\"
    float ScreenTwipsX = 15;
    float ScreenTwipsY = 15;
    float ScaleX = 1;
    float ScaleY = 1;
};

// The directory of a file, ending in "\".
std::u16string DirectoryOf(const std::u16string& libraryPath);

// Rescales a form laid out for 15 twips per pixel, and its controls, to the display.
void ScaleFormToScreen(ui::Form& form, const AddInModule& module);

}  // namespace qm
