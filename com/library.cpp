// The four entry points of the in-process server.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "com/connect.h"
#include "platform/win32/boundary.h"
#include "platform/win32/handles.h"

namespace {

using qm::com::g_instance;
using qm::com::g_objects;

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (out != nullptr) *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return qm::win32::Guarded(E_UNEXPECTED, [&] { return qm::com::CreateConnect(riid, out); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_objects);
        } else {
            InterlockedDecrement(&g_objects);
        }
        return S_OK;
    }
};

Factory g_factory;

std::wstring ClsidText() {
    wchar_t text[64] = {};
    StringFromGUID2(qm::com::kClsid, text, 64);
    return text;
}

bool SetKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    qm::win32::UniqueKey key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, qm::com::kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
    return qm::win32::Guarded(SELFREG_E_CLASS, [] {
        wchar_t path[MAX_PATH * 4] = {};
        if (GetModuleFileNameW(g_instance, path, MAX_PATH * 4) == 0) return SELFREG_E_CLASS;
        const std::wstring clsid = ClsidText();
        const std::wstring progId = qm::com::kProgId;
        const bool ok = SetKey(progId, nullptr, L"Wek Quillmark for VB6 Ver1.0") && SetKey(progId + L"\\CLSID", nullptr, clsid) &&
                        SetKey(L"CLSID\\" + clsid, nullptr, progId) && SetKey(L"CLSID\\" + clsid + L"\\ProgID", nullptr, progId) &&
                        SetKey(L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, path) &&
                        SetKey(L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        return ok ? S_OK : SELFREG_E_CLASS;
    });
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return qm::win32::Guarded(SELFREG_E_CLASS, [] {
        const std::wstring clsid = ClsidText();
        const std::wstring progId = qm::com::kProgId;
        for (const std::wstring& key : {L"CLSID\\" + clsid + L"\\InprocServer32", L"CLSID\\" + clsid + L"\\ProgID", L"CLSID\\" + clsid,
                                        progId + L"\\CLSID", progId}) {
            const LONG rc = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
        }
        return S_OK;
    });
}

}  // extern "C"
