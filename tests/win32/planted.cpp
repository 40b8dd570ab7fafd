// Stands in for a library or a program that someone put where Windows would find it by name (beside
// a program, in the current folder): loaded or started, it leaves a file "NAME.loaded" beside itself
// and does nothing else; as a library it refuses to load.
#include <windows.h>

#include "platform/win32/handles.h"

namespace {

void Record(HMODULE self) {
    wchar_t path[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcpyW(path + length, L".loaded");
    const qm::win32::UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

}  // namespace

#ifdef QM_PLANTED_LIBRARY
extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    Record(self);
    return FALSE;
}
#else
int wmain() {
    Record(nullptr);
    return 0;
}
#endif
