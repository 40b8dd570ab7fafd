#pragma once
// The connect object the environment creates by the ProgID "WekQM417.AddInClass".
#include <windows.h>

namespace qm::com {

// {6F1E2B7C-3D4A-4E55-9A21-5C0D7B8E9F41}
inline constexpr CLSID kClsid = {0x6f1e2b7c, 0x3d4a, 0x4e55, {0x9a, 0x21, 0x5c, 0x0d, 0x7b, 0x8e, 0x9f, 0x41}};
inline constexpr wchar_t kProgId[] = L"WekQM417.AddInClass";

// Creates a connect object and asks it for riid.
HRESULT CreateConnect(REFIID riid, void** out);
// Objects and locks alive in the library.
extern LONG g_objects;
extern HINSTANCE g_instance;

}  // namespace qm::com
