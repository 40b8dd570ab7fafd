#include "com/vbe_dispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include "com/connect.h"
#include "platform/failure.h"
#include "platform/win32/boundary.h"

namespace qm::com {
namespace {

class DispWindow final : public ide::Window {
public:
    explicit DispWindow(Disp d) : d_(std::move(d)) {}
    std::u16string Caption() override { return d_.Get(L"Caption").AsText(); }

private:
    Disp d_;
};

class DispComponent final : public ide::VBComponent {
public:
    explicit DispComponent(Disp d) : d_(std::move(d)) {}
    std::u16string FileNames(std::int16_t index) override { return d_.Get(L"FileNames", {Variant(static_cast<short>(index))}).AsText(); }

private:
    Disp d_;
};

class DispCodeModule final : public ide::CodeModule {
public:
    explicit DispCodeModule(Disp d) : d_(std::move(d)) {}
    std::u16string Lines(std::int32_t start, std::int32_t count) override {
        return d_.Get(L"Lines", {Variant(static_cast<long>(start)), Variant(static_cast<long>(count))}).AsText();
    }
    void InsertLines(std::int32_t line, const std::u16string& text) override {
        d_.Call(L"InsertLines", {Variant(static_cast<long>(line)), Variant(text)});
    }
    std::int32_t CountOfLines() override { return d_.Get(L"CountOfLines").AsLong(); }
    std::int32_t CountOfDeclarationLines() override { return d_.Get(L"CountOfDeclarationLines").AsLong(); }
    std::u16string ProcOfLine(std::int32_t line, ide::vbext_ProcKind* kind) override {
        long k = 0;
        VARIANT args[2];
        VariantInit(&args[0]);
        args[0].vt = VT_I4;
        args[0].lVal = line;
        VariantInit(&args[1]);
        args[1].vt = VT_I4 | VT_BYREF;
        args[1].plVal = &k;
        const Variant name = d_.Invoke(L"ProcOfLine", DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, 2);
        if (kind != nullptr) *kind = static_cast<ide::vbext_ProcKind>(k);
        return name.AsText();
    }
    std::int32_t ProcStartLine(const std::u16string& name, ide::vbext_ProcKind kind) override {
        return d_.Get(L"ProcStartLine", {Variant(name), Variant(static_cast<long>(kind))}).AsLong();
    }
    std::int32_t ProcBodyLine(const std::u16string& name, ide::vbext_ProcKind kind) override {
        return d_.Get(L"ProcBodyLine", {Variant(name), Variant(static_cast<long>(kind))}).AsLong();
    }
    ide::VBComponent& Parent() override {
        parent_ = std::make_unique<DispComponent>(d_.Object(L"Parent"));
        return *parent_;
    }

private:
    Disp d_;
    std::unique_ptr<DispComponent> parent_;
};

class DispCodePane final : public ide::CodePane {
public:
    explicit DispCodePane(Disp d) : d_(std::move(d)) {}
    ide::Selection GetSelection() override {
        long values[4] = {};
        VARIANT args[4];
        for (int i = 0; i < 4; ++i) {
            VariantInit(&args[i]);
            args[i].vt = VT_I4 | VT_BYREF;
            args[i].plVal = &values[i];
        }
        d_.Invoke(L"GetSelection", DISPATCH_METHOD, args, 4);
        return {values[0], values[1], values[2], values[3]};
    }
    void SetSelection(const ide::Selection& s) override {
        d_.Call(L"SetSelection", {Variant(static_cast<long>(s.startLine)), Variant(static_cast<long>(s.startColumn)),
                                  Variant(static_cast<long>(s.endLine)), Variant(static_cast<long>(s.endColumn))});
    }
    void SetTopLine(std::int32_t line) override { d_.Put(L"TopLine", Variant(static_cast<long>(line))); }
    ide::CodeModule& GetCodeModule() override {
        if (!module_) module_ = std::make_unique<DispCodeModule>(d_.Object(L"CodeModule"));
        return *module_;
    }
    std::shared_ptr<ide::Window> GetWindow() override { return std::make_shared<DispWindow>(d_.Object(L"Window")); }

private:
    Disp d_;
    std::unique_ptr<DispCodeModule> module_;
};

class DispControls;

class DispControl final : public ide::CommandBarControl {
public:
    explicit DispControl(Disp d) : d_(std::move(d)) {}
    ide::ControlType Type() override { return static_cast<ide::ControlType>(d_.Get(L"Type").AsLong()); }
    std::u16string Caption() override { return d_.Get(L"Caption").AsText(); }
    void SetCaption(const std::u16string& caption) override { d_.Put(L"Caption", Variant(caption)); }
    bool BeginGroup() override { return d_.Get(L"BeginGroup").AsBool(); }
    void SetBeginGroup(bool beginGroup) override { d_.Put(L"BeginGroup", Variant(beginGroup)); }
    bool Enabled() override { return d_.Get(L"Enabled").AsBool(); }
    void SetEnabled(bool enabled) override { d_.Put(L"Enabled", Variant(enabled)); }
    void PasteFace() override { d_.Call(L"PasteFace"); }
    void SetTag(const std::u16string& tag) override { d_.Put(L"Tag", Variant(tag)); }
    void Delete() override { d_.Call(L"Delete"); }
    std::shared_ptr<ide::CommandBarControls> Controls() override;
    IDispatch* Raw() const { return d_.get(); }

private:
    Disp d_;
};

class DispControls final : public ide::CommandBarControls {
public:
    explicit DispControls(Disp d) : d_(std::move(d)) {}
    std::int32_t Count() override { return d_.Get(L"Count").AsLong(); }
    std::shared_ptr<ide::CommandBarControl> Item(std::int32_t index) override {
        return std::make_shared<DispControl>(d_.Object(L"Item", {Variant(static_cast<long>(index))}));
    }
    std::shared_ptr<ide::CommandBarControl> Add(ide::ControlType type, std::optional<std::int32_t> before) override {
        const Variant b = before ? Variant(static_cast<long>(*before)) : Variant::Missing();
        return std::make_shared<DispControl>(Disp(
            d_.Call(L"Add", {Variant(static_cast<long>(type)), Variant::Missing(), Variant::Missing(), b, Variant::Missing()}).AsObject(),
            false));
    }

private:
    Disp d_;
};

std::shared_ptr<ide::CommandBarControls> DispControl::Controls() { return std::make_shared<DispControls>(d_.Object(L"Controls")); }

class DispBar final : public ide::CommandBar {
public:
    explicit DispBar(Disp d) : d_(std::move(d)) {}
    std::u16string Name() override { return d_.Get(L"Name").AsText(); }
    std::shared_ptr<ide::CommandBarControls> Controls() override { return std::make_shared<DispControls>(d_.Object(L"Controls")); }
    bool Visible() override { return d_.Get(L"Visible").AsBool(); }
    void SetVisible(bool visible) override { d_.Put(L"Visible", Variant(visible)); }
    void Delete() override { d_.Call(L"Delete"); }

private:
    Disp d_;
};

class DispBars final : public ide::CommandBars {
public:
    explicit DispBars(Disp d) : d_(std::move(d)) {}
    std::shared_ptr<ide::CommandBar> Item(const std::u16string& name) override {
        return std::make_shared<DispBar>(d_.Object(L"Item", {Variant(name)}));
    }
    std::shared_ptr<ide::CommandBar> Add(const std::u16string& name, std::int32_t position) override {
        return std::make_shared<DispBar>(Disp(d_.Call(L"Add", {Variant(name), Variant(static_cast<long>(position))}).AsObject(), false));
    }
    std::shared_ptr<ide::CommandBarControl> FindControl(ide::ControlType type, std::int32_t id) override {
        const Variant found = d_.Call(L"FindControl", {Variant(static_cast<long>(type)), Variant(static_cast<long>(id))});
        if (found.IsNothing()) return nullptr;
        return std::make_shared<DispControl>(Disp(found.AsObject(), false));
    }

private:
    Disp d_;
};

// Receives the click events of one control through its connection point.
class ClickSink final : public IDispatch {
public:
    ClickSink(IID events, ide::CommandBarEvents::ClickHandler handler) : events_(events), handler_(std::move(handler)) {
        InterlockedIncrement(&g_objects);
    }
    ~ClickSink() { InterlockedDecrement(&g_objects); }
    ClickSink(const ClickSink&) = delete;
    ClickSink& operator=(const ClickSink&) = delete;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events_) {
            *out = static_cast<IDispatch*>(this);
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
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != 1 || params == nullptr || params->cArgs < 1) return S_OK;
        // The handler may unadvise this sink (a disconnection inside the click): it lives until the
        // call has returned. Nothing may cross back into the environment.
        const auto self = win32::ComPtr<ClickSink>::Copy(this);
        return win32::Guarded(S_OK, [&] {
            // Arguments arrive last first: CancelDefault, handled, the control.
            const VARIANT& control = params->rgvarg[params->cArgs - 1];
            IDispatch* raw = control.vt == VT_DISPATCH                                                ? control.pdispVal
                             : control.vt == (VT_DISPATCH | VT_BYREF) && control.ppdispVal != nullptr ? *control.ppdispVal
                                                                                                      : nullptr;
            DispControl wrapped{Disp(raw)};
            bool handled = false;
            bool cancel = false;
            if (handler_) handler_(wrapped, handled, cancel);
            return S_OK;
        });
    }

private:
    IID events_;
    ide::CommandBarEvents::ClickHandler handler_;
    LONG refs_ = 1;
};

class DispCommandBarEvents final : public ide::CommandBarEvents {
public:
    explicit DispCommandBarEvents(Disp d) : d_(std::move(d)) {}
    void OnClick(ClickHandler handler) override {
        advise_.reset();
        win32::ComPtr<IConnectionPointContainer> container;
        HRESULT hr = d_.get()->QueryInterface(IID_IConnectionPointContainer, container.put_void());
        if (FAILED(hr)) Fail("IConnectionPointContainer", hr);
        win32::ComPtr<IEnumConnectionPoints> points;
        hr = container->EnumConnectionPoints(points.put());
        if (FAILED(hr)) Fail("EnumConnectionPoints", hr);
        win32::ComPtr<IConnectionPoint> point;
        ULONG fetched = 0;
        hr = points->Next(1, point.put(), &fetched);
        if (hr != S_OK || !point) Fail("the click event's connection point", hr == S_OK ? E_FAIL : hr);
        IID events{};
        point->GetConnectionInterface(&events);
        const auto sink = win32::ComPtr<ClickSink>::Attach(new ClickSink(events, std::move(handler)));
        hr = advise_.Connect(point, static_cast<IDispatch*>(sink.get()));
        if (FAILED(hr)) Fail("Advise", hr);
    }

private:
    Disp d_;
    win32::Advise advise_;  // unadvised when the source goes
};

class DispEvents final : public ide::Events {
public:
    explicit DispEvents(Disp d) : d_(std::move(d)) {}
    std::shared_ptr<ide::CommandBarEvents> GetCommandBarEvents(const std::shared_ptr<ide::CommandBarControl>& control) override {
        auto* wrapped = dynamic_cast<DispControl*>(control.get());
        if (wrapped == nullptr) throw PlatformError("not a control of the environment");
        return std::make_shared<DispCommandBarEvents>(d_.Object(L"CommandBarEvents", {Variant(wrapped->Raw())}));
    }

private:
    Disp d_;
};

// The root object of Office's VBA editor (VBE6EXT.OLB, VBIDE 5.3); the VB6 environment's has another.
constexpr IID kIidVbaVbe = {0x0002E166, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class DispVbe final : public ide::VBE {
public:
    explicit DispVbe(Disp d) : d_(std::move(d)) {
        win32::ComPtr<IUnknown> vba;
        if (d_.get() != nullptr && SUCCEEDED(d_.get()->QueryInterface(kIidVbaVbe, vba.put_void()))) host_ = ide::HostKind::Vba;
    }
    ide::HostKind Host() override { return host_; }
    std::shared_ptr<ide::CommandBars> GetCommandBars() override { return std::make_shared<DispBars>(d_.Object(L"CommandBars")); }
    std::shared_ptr<ide::Events> GetEvents() override { return std::make_shared<DispEvents>(d_.Object(L"Events")); }
    // Nothing active is an answer of its own, not a failure.
    std::shared_ptr<ide::Window> ActiveWindow() override {
        const Variant v = d_.Get(L"ActiveWindow");
        if (v.IsNothing()) return nullptr;
        return std::make_shared<DispWindow>(Disp(v.AsObject(), false));
    }
    std::shared_ptr<ide::CodePane> ActiveCodePane() override {
        const Variant v = d_.Get(L"ActiveCodePane");
        if (v.IsNothing()) return nullptr;
        return std::make_shared<DispCodePane>(Disp(v.AsObject(), false));
    }
    std::uintptr_t MainWindow() override {
        const long hwnd = d_.Object(L"MainWindow").Get(L"HWnd").AsLong();
        if (hwnd == 0) throw PlatformError("the environment has no main window");
        // Window handles are 32-bit values on every Windows, sign-extended on 64-bit.
        return reinterpret_cast<std::uintptr_t>(LongToHandle(hwnd));
    }

private:
    Disp d_;
    ide::HostKind host_ = ide::HostKind::Vb6;
};

class DispAddIn final : public ide::AddIn {
public:
    explicit DispAddIn(Disp d) : d_(std::move(d)) {}
    bool Connect() override { return d_.Get(L"Connect").AsBool(); }
    void SetConnect(bool connect) override { d_.Put(L"Connect", Variant(connect)); }

private:
    Disp d_;
};

}  // namespace

std::shared_ptr<ide::VBE> WrapVbe(IDispatch* vbe) { return std::make_shared<DispVbe>(Disp(vbe)); }
std::shared_ptr<ide::AddIn> WrapAddIn(IDispatch* addIn) { return std::make_shared<DispAddIn>(Disp(addIn)); }

}  // namespace qm::com
