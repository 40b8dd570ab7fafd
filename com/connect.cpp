#include "com/connect.h"

#include <oaidl.h>

#include <memory>

#include "addin/shell/addin_class.h"
#include "com/vbe_dispatch.h"
#include "platform/clock.h"
#include "platform/win32/boundary.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/ui_win32.h"

namespace qm::com {

LONG g_objects = 0;
HINSTANCE g_instance = nullptr;

namespace {

// IDTExtensibility of the environment's extensibility library, and IDTExtensibility2 of the add-in
// designer: the same first four methods in the same order.
constexpr IID kIidExtensibility = {0x0002E151, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

struct IExtensibility : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* VBInst, long ConnectMode, IDispatch* AddInInst, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(long RemoveMode, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

std::u16string LibraryPath() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(g_instance, path, static_cast<DWORD>(std::size(path)));
    return std::u16string(path, path + wcslen(path));
}

// What the add-in runs on, owned together: the add-in holds it for the length of every command, so
// that a release of the connect object inside a command frees none of it while it is on the stack.
struct Runtime {
    SystemClock clock;
    std::unique_ptr<Codepage> codepage = MakeCp932Codepage();
    std::unique_ptr<Registry> registry = std::make_unique<Win32Registry>(*codepage);
    std::unique_ptr<Win32Ui> ui = std::make_unique<Win32Ui>(g_instance);
    std::shared_ptr<AddInClass> addIn;  // declared last: it goes first
};

class Connect final : public IExtensibility {
public:
    Connect() { InterlockedIncrement(&g_objects); }
    ~Connect() {
        runtime_.reset();
        InterlockedDecrement(&g_objects);
    }
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidExtensibility || riid == kIidExtensibility2) {
            *out = static_cast<IExtensibility*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const wchar_t* known[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate", L"OnStartupComplete", L"OnBeginShutdown"};
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (int k = 0; k < 5; ++k) {
                if (lstrcmpiW(names[i], known[k]) == 0) ids[i] = k + 1;
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        return win32::Guarded(E_UNEXPECTED, [&] { return Dispatch(id, params); });
    }

    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* VBInst, long ConnectMode, IDispatch* AddInInst, SAFEARRAY**) override {
        // The environment may release this object inside a call into it; it lives until the call returns.
        const auto self = win32::ComPtr<Connect>::Copy(this);
        return win32::Guarded(E_FAIL, [&] {
            if (!runtime_) {
                runtime_ = std::make_shared<Runtime>();
                runtime_->addIn = std::make_shared<AddInClass>(
                    AddInServices{*runtime_->registry, *runtime_->codepage, runtime_->clock, *runtime_->ui, LibraryPath(), runtime_});
            }
            const std::shared_ptr<Runtime> hold = runtime_;
            hold->addIn->OnConnection(WrapVbe(VBInst), ConnectMode, WrapAddIn(AddInInst));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(long RemoveMode, SAFEARRAY**) override {
        const auto self = win32::ComPtr<Connect>::Copy(this);
        return win32::Guarded(E_FAIL, [&] {
            if (const std::shared_ptr<Runtime> hold = runtime_) hold->addIn->OnDisconnection(RemoveMode);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override { return S_OK; }

private:
    HRESULT Dispatch(DISPID id, DISPPARAMS* params) {
        // Arguments arrive last first.
        const auto arg = [&](UINT natural) -> VARIANT* {
            if (params == nullptr || natural >= params->cArgs) return nullptr;
            return &params->rgvarg[params->cArgs - 1 - natural];
        };
        const auto object = [&](UINT natural) -> IDispatch* {
            VARIANT* v = arg(natural);
            if (v == nullptr) return nullptr;
            if (v->vt == VT_DISPATCH) return v->pdispVal;
            if (v->vt == (VT_DISPATCH | VT_BYREF) && v->ppdispVal != nullptr) return *v->ppdispVal;
            return nullptr;
        };
        const auto number = [&](UINT natural) -> long {
            VARIANT* v = arg(natural);
            VARIANT out;
            VariantInit(&out);
            if (v == nullptr || FAILED(VariantChangeType(&out, v, 0, VT_I4))) return 0;
            return out.lVal;
        };
        switch (id) {
            case 1:
                return OnConnection(object(0), number(1), object(2), nullptr);
            case 2:
                return OnDisconnection(number(0), nullptr);
            case 3:
                return OnAddInsUpdate(nullptr);
            case 4:
                return OnStartupComplete(nullptr);
            case 5:
                return OnBeginShutdown(nullptr);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    LONG refs_ = 1;
    std::shared_ptr<Runtime> runtime_;
};

}  // namespace

HRESULT CreateConnect(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    win32::ComPtr<Connect> connect;
    try {
        connect = win32::ComPtr<Connect>::Attach(new Connect());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return connect->QueryInterface(riid, out);
}

}  // namespace qm::com
