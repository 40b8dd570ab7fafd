#pragma once
// The add-in as the development environment sees it: a COM object created by its ProgID and called
// through the add-in interface, with the object model served to it through IDispatch.
#include <windows.h>

#include <memory>

#include "platform/ide/vbe.h"
#include "tests/win32/vbe_server.h"

// The add-in's interface as the environment declares it. It lives outside an anonymous namespace:
// the object behind it comes from another module, and the compiler must not assume it knows every
// class that implements it.
namespace qm::standin {
inline constexpr IID kIidExtensibility = {0x0002E151, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// The add-in designer's IDTExtensibility2, through which Office's VBA editor drives an add-in.
inline constexpr IID kIidExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

struct IExtensibility : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch*, long, IDispatch*, SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(long, SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) = 0;
};

class ComAddIn final : public ide::Extensibility {
public:
    // Takes over the caller's reference.
    explicit ComAddIn(IExtensibility* object) : object_(object) {}
    ~ComAddIn() override { object_->Release(); }
    ComAddIn(const ComAddIn&) = delete;
    ComAddIn& operator=(const ComAddIn&) = delete;
    void OnConnection(std::shared_ptr<ide::VBE> vbe, std::int32_t mode, std::shared_ptr<ide::AddIn> addIn) override {
        IDispatch* v = ServeVbe(std::move(vbe));
        IDispatch* a = ServeAddIn(std::move(addIn));
        connected = SUCCEEDED(object_->OnConnection(v, mode, a, nullptr));
        v->Release();
        a->Release();
    }
    void OnDisconnection(std::int32_t mode) override { object_->OnDisconnection(mode, nullptr); }
    void OnStartupComplete() override { object_->OnStartupComplete(nullptr); }
    void OnAddInsUpdate() override { object_->OnAddInsUpdate(nullptr); }
    bool connected = false;

private:
    IExtensibility* object_;
};

}  // namespace qm::standin
