#include "tests/win32/vbe_server.h"

#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace qm::standin {
namespace {

long g_activeWindowReads = 0;
long g_servedCalls = 0;  // GetIDsOfNames and Invoke, on every object served

// The click events of a command bar control: {0002E198-…} in VB6, {0002E131-…} in the VBA editor.
constexpr IID kIidClickEventsVb6 = {0x0002E198, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidClickEventsVba = {0x0002E131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// The VBA editor's root object: only it answers this.
constexpr IID kIidVbaVbe = {0x0002E166, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Which editor is served (one per stand-in process).
ide::HostKind g_host = ide::HostKind::Vb6;
const IID& ClickEventsIid() { return g_host == ide::HostKind::Vba ? kIidClickEventsVba : kIidClickEventsVb6; }

// The members the add-in calls in the VBA editor, with the DISPIDs that the editor's type library
// (VBE6EXT.OLB, VBIDE 5.3) gives them: the VBA stand-in answers GetIDsOfNames with these and takes
// Invoke by them alone, so a call by any other number fails as it would in Office. The command bar
// objects belong to Office's own library and keep the stand-in's numbers.
struct ContractMember {
    const wchar_t* object;
    const wchar_t* name;
    DISPID id;
};
constexpr ContractMember kVbaContract[] = {
    {L"VBE", L"CommandBars", 0x6C},
    {L"VBE", L"Events", 0x6F},
    {L"VBE", L"MainWindow", 0xCC},
    {L"VBE", L"ActiveWindow", 0xCD},
    {L"VBE", L"ActiveCodePane", 0xCE},
    {L"Events", L"CommandBarEvents", 0xCD},
    {L"Window", L"Caption", 0x64},
    {L"Window", L"HWnd", 0x78},
    {L"CodePane", L"Window", 0x60020002},
    {L"CodePane", L"GetSelection", 0x60020003},
    {L"CodePane", L"SetSelection", 0x60020004},
    {L"CodePane", L"TopLine", 0x60020005},
    {L"CodePane", L"CodeModule", 0x60020008},
    {L"CodeModule", L"Parent", 0x60020000},
    {L"CodeModule", L"Lines", 0x60020006},
    {L"CodeModule", L"CountOfLines", 0x60020007},
    {L"CodeModule", L"InsertLines", 0x60020008},
    {L"CodeModule", L"ProcStartLine", 0x6002000B},
    {L"CodeModule", L"ProcBodyLine", 0x6002000D},
    {L"CodeModule", L"ProcOfLine", 0x6002000E},
    {L"CodeModule", L"CountOfDeclarationLines", 0x6002000F},
    {L"VBComponent", L"Name", 0x30},
};

const ContractMember* ContractByName(const wchar_t* object, const wchar_t* name) {
    if (g_host != ide::HostKind::Vba || object == nullptr) return nullptr;
    for (const auto& m : kVbaContract) {
        if (lstrcmpW(m.object, object) == 0 && lstrcmpiW(m.name, name) == 0) return &m;
    }
    return nullptr;
}
// The stand-in's own interface for finding the control behind an IDispatch it served.
constexpr IID kIidServedControl = {0x8d1c44a2, 0x5b7e, 0x4f0a, {0x9c, 0x61, 0x2e, 0x3f, 0x10, 0x77, 0xa4, 0xd5}};

// The arguments of one call, in their natural order.
class Args {
public:
    explicit Args(DISPPARAMS* p) : p_(p) {}
    UINT Count() const {
        if (p_ == nullptr) return 0;
        UINT named = 0;
        for (UINT i = 0; i < p_->cNamedArgs; ++i) {
            if (p_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) ++named;
        }
        return p_->cArgs - named;
    }
    // The value of a property put.
    VARIANT* PutValue() const {
        for (UINT i = 0; p_ != nullptr && i < p_->cNamedArgs; ++i) {
            if (p_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) return &p_->rgvarg[i];
        }
        return nullptr;
    }
    VARIANT* At(UINT natural) const {
        if (natural >= Count()) return nullptr;
        return &p_->rgvarg[p_->cArgs - 1 - natural];
    }
    bool Missing(UINT natural) const {
        const VARIANT* v = At(natural);
        return v == nullptr || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
    }
    long Long(UINT natural) const { return Convert(At(natural), VT_I4).lVal; }
    // An out parameter (long*): a reference to a long, and nothing else, as a type library's Invoke
    // takes it; no conversion can write back through another kind.
    VARIANT* Out(UINT natural) const {
        VARIANT* v = At(natural);
        if (v == nullptr || v->vt != (VT_I4 | VT_BYREF) || v->plVal == nullptr) throw PlatformError("an out parameter that is not a long*");
        return v;
    }
    std::u16string Text(UINT natural) const { return TextOf(At(natural)); }
    bool Bool(const VARIANT* v) const { return Convert(v, VT_BOOL).boolVal != VARIANT_FALSE; }
    static std::u16string TextOf(const VARIANT* v) {
        VARIANT t = Convert(v, VT_BSTR);
        std::u16string out(reinterpret_cast<const char16_t*>(t.bstrVal), SysStringLen(t.bstrVal));
        VariantClear(&t);
        return out;
    }
    static VARIANT Convert(const VARIANT* v, VARTYPE type) {
        if (v == nullptr) throw PlatformError("an argument is missing");
        VARIANT out;
        VariantInit(&out);
        if (FAILED(VariantChangeType(&out, const_cast<VARIANT*>(v), 0, type))) throw PlatformError("an argument of the wrong kind");
        return out;
    }

private:
    DISPPARAMS* p_;
};

void SetLong(VARIANT* r, long v) {
    if (r == nullptr) return;
    r->vt = VT_I4;
    r->lVal = v;
}
void SetBool(VARIANT* r, bool v) {
    if (r == nullptr) return;
    r->vt = VT_BOOL;
    r->boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}
void SetText(VARIANT* r, const std::u16string& v) {
    if (r == nullptr) return;
    r->vt = VT_BSTR;
    r->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(v.data()), static_cast<UINT>(v.size()));
}
void SetObject(VARIANT* r, IDispatch* object) {
    if (r == nullptr) {
        if (object != nullptr) object->Release();
        return;
    }
    r->vt = VT_DISPATCH;
    r->pdispVal = object;
}

// An object of the model: a table of member names, and one handler for them all.
class Served : public IDispatch {
public:
    // object: the interface's name in the VBA library, where the contract gives its members' numbers.
    explicit Served(std::vector<std::wstring> names, const wchar_t* object = nullptr) : names_(std::move(names)), object_(object) {}
    virtual ~Served() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return Other(riid, out);
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ++g_servedCalls;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (std::size_t k = 0; k < names_.size(); ++k) {
                if (lstrcmpiW(names[i], names_[k].c_str()) != 0) continue;
                const ContractMember* m = ContractByName(object_, names_[k].c_str());
                ids[i] = m != nullptr ? m->id : static_cast<DISPID>(k + 1);
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT*) override {
        ++g_servedCalls;
        const std::wstring* member = Member(id);
        if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
        if (result != nullptr) VariantInit(result);
        // A call may release the caller's last reference to this object (Connect = False).
        AddRef();
        struct Drop {
            Served* self;
            ~Drop() { self->Release(); }
        } drop{this};
        try {
            Call(*member, flags, Args(params), result);
            return S_OK;
        } catch (const PlatformError& e) {
            // As the environment does, the refusal is described.
            if (exception != nullptr) {
                *exception = EXCEPINFO{};
                exception->scode = E_FAIL;
                const std::string what = e.what();
                exception->bstrDescription = SysAllocString(std::wstring(what.begin(), what.end()).c_str());
            }
            return DISP_E_EXCEPTION;
        } catch (...) {
            return E_FAIL;
        }
    }

protected:
    virtual void Call(const std::wstring& name, WORD flags, const Args& args, VARIANT* result) = 0;
    virtual HRESULT Other(REFIID, void** out) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    static bool Putting(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

private:
    // The member a DISPID stands for: the contract's number for a member it lists, the position for the others.
    const std::wstring* Member(DISPID id) const {
        for (std::size_t k = 0; k < names_.size(); ++k) {
            const ContractMember* m = ContractByName(object_, names_[k].c_str());
            if (m != nullptr ? m->id == id : static_cast<DISPID>(k + 1) == id) return &names_[k];
        }
        return nullptr;
    }
    std::vector<std::wstring> names_;
    const wchar_t* object_;
    LONG refs_ = 1;
};

IDispatch* ServeControls(std::shared_ptr<ide::CommandBarControls> controls);

class ControlObj final : public Served {
public:
    explicit ControlObj(std::shared_ptr<ide::CommandBarControl> c)
        : Served({L"Type", L"Caption", L"BeginGroup", L"Enabled", L"PasteFace", L"Tag", L"Delete", L"Controls"}), c_(std::move(c)) {}
    std::shared_ptr<ide::CommandBarControl> Control() const { return c_; }

protected:
    void Call(const std::wstring& n, WORD flags, const Args& a, VARIANT* r) override {
        if (n == L"Type") return SetLong(r, static_cast<long>(c_->Type()));
        if (n == L"Caption") return Putting(flags) ? c_->SetCaption(Args::TextOf(a.PutValue())) : SetText(r, c_->Caption());
        if (n == L"BeginGroup") return Putting(flags) ? c_->SetBeginGroup(a.Bool(a.PutValue())) : SetBool(r, c_->BeginGroup());
        if (n == L"Enabled") return Putting(flags) ? c_->SetEnabled(a.Bool(a.PutValue())) : SetBool(r, c_->Enabled());
        if (n == L"PasteFace") return c_->PasteFace();
        if (n == L"Tag") {
            if (!Putting(flags)) throw PlatformError("the stand-in reads no tags");
            return c_->SetTag(Args::TextOf(a.PutValue()));
        }
        if (n == L"Delete") return c_->Delete();
        if (n == L"Controls") return SetObject(r, ServeControls(c_->Controls()));
    }
    HRESULT Other(REFIID riid, void** out) override {
        if (riid == kIidServedControl) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::shared_ptr<ide::CommandBarControl> c_;
};

class ControlsObj final : public Served {
public:
    explicit ControlsObj(std::shared_ptr<ide::CommandBarControls> c) : Served({L"Count", L"Item", L"Add"}), c_(std::move(c)) {}

protected:
    void Call(const std::wstring& n, WORD, const Args& a, VARIANT* r) override {
        if (n == L"Count") return SetLong(r, c_->Count());
        if (n == L"Item") return SetObject(r, new ControlObj(c_->Item(a.Long(0))));
        if (n == L"Add") {
            const auto type = a.Missing(0) ? ide::ControlType::Button : static_cast<ide::ControlType>(a.Long(0));
            const auto before = a.Missing(3) ? std::optional<std::int32_t>() : std::optional<std::int32_t>(a.Long(3));
            return SetObject(r, new ControlObj(c_->Add(type, before)));
        }
    }

private:
    std::shared_ptr<ide::CommandBarControls> c_;
};

IDispatch* ServeControls(std::shared_ptr<ide::CommandBarControls> controls) { return new ControlsObj(std::move(controls)); }

class BarObj final : public Served {
public:
    explicit BarObj(std::shared_ptr<ide::CommandBar> b) : Served({L"Name", L"Controls", L"Visible", L"Delete"}), b_(std::move(b)) {}

protected:
    void Call(const std::wstring& n, WORD flags, const Args& a, VARIANT* r) override {
        if (n == L"Name") return SetText(r, b_->Name());
        if (n == L"Controls") return SetObject(r, ServeControls(b_->Controls()));
        if (n == L"Visible") return Putting(flags) ? b_->SetVisible(a.Bool(a.PutValue())) : SetBool(r, b_->Visible());
        if (n == L"Delete") return b_->Delete();
    }

private:
    std::shared_ptr<ide::CommandBar> b_;
};

class BarsObj final : public Served {
public:
    explicit BarsObj(std::shared_ptr<ide::CommandBars> b) : Served({L"Item", L"Add", L"FindControl"}), b_(std::move(b)) {}

protected:
    void Call(const std::wstring& n, WORD, const Args& a, VARIANT* r) override {
        if (n == L"Item") return SetObject(r, new BarObj(b_->Item(a.Text(0))));
        if (n == L"Add") return SetObject(r, new BarObj(b_->Add(a.Text(0), a.Missing(1) ? 0 : a.Long(1))));
        if (n == L"FindControl") {
            // FindControl(Type, Id, Tag, Visible): the first match, or Nothing.
            if (a.Missing(0) || a.Missing(1)) throw PlatformError("the stand-in finds controls by Type and Id");
            const auto found = b_->FindControl(static_cast<ide::ControlType>(a.Long(0)), a.Long(1));
            return SetObject(r, found ? new ControlObj(found) : nullptr);
        }
    }

private:
    std::shared_ptr<ide::CommandBars> b_;
};

// One control's click events, offered through a connection point.
class ClickEventsObj final : public Served, public IConnectionPointContainer, public IConnectionPoint {
public:
    explicit ClickEventsObj(std::shared_ptr<ide::CommandBarEvents> events) : Served({}), events_(std::move(events)) {}
    ~ClickEventsObj() override {
        if (sink_ != nullptr) sink_->Release();
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Served::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Served::Release(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override { return Served::QueryInterface(riid, out); }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out == nullptr) return E_POINTER;
        *out = new OnePoint(this);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (riid != ClickEventsIid()) return CONNECT_E_NOCONNECTION;
        *out = this;
        AddRef();
        return S_OK;
    }
    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = ClickEventsIid();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
        *out = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink == nullptr || cookie == nullptr) return E_POINTER;
        if (sink_ != nullptr) return CONNECT_E_ADVISELIMIT;
        if (FAILED(sink->QueryInterface(ClickEventsIid(), reinterpret_cast<void**>(&sink_)))) {
            if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&sink_)))) return CONNECT_E_CANNOTCONNECT;
        }
        *cookie = 1;
        // The environment raises Click on the sink: the control, handled, CancelDefault, last first.
        events_->OnClick([this](ide::CommandBarControl& control, bool&, bool&) {
            if (sink_ == nullptr) return;
            VARIANT_BOOL handled = VARIANT_FALSE;
            VARIANT_BOOL cancel = VARIANT_FALSE;
            VARIANT args[3];
            for (auto& v : args) VariantInit(&v);
            args[0].vt = VT_BOOL | VT_BYREF;
            args[0].pboolVal = &cancel;
            args[1].vt = VT_BOOL | VT_BYREF;
            args[1].pboolVal = &handled;
            args[2].vt = VT_DISPATCH;
            args[2].pdispVal = new ControlObj(std::shared_ptr<ide::CommandBarControl>(&control, [](auto*) {}));
            DISPPARAMS params{args, nullptr, 3, 0};
            IDispatch* advised = sink_;
            advised->AddRef();
            advised->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
            advised->Release();
            args[2].pdispVal->Release();
        });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override {
        if (sink_ == nullptr) return CONNECT_E_NOCONNECTION;
        events_->OnClick(nullptr);
        sink_->Release();
        sink_ = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

protected:
    void Call(const std::wstring&, WORD, const Args&, VARIANT*) override {}
    HRESULT Other(REFIID riid, void** out) override {
        if (riid == IID_IConnectionPointContainer) {
            *out = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    class OnePoint final : public IEnumConnectionPoints {
    public:
        explicit OnePoint(ClickEventsObj* owner) : owner_(owner) { owner_->AddRef(); }
        virtual ~OnePoint() { owner_->Release(); }
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
            if (riid == IID_IUnknown || riid == IID_IEnumConnectionPoints) {
                *out = this;
                AddRef();
                return S_OK;
            }
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
        ULONG STDMETHODCALLTYPE Release() override {
            const LONG n = --refs_;
            if (n == 0) delete this;
            return static_cast<ULONG>(n);
        }
        HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
            if (count == 0 || out == nullptr) return E_INVALIDARG;
            if (done_) {
                if (fetched != nullptr) *fetched = 0;
                return S_FALSE;
            }
            done_ = true;
            out[0] = owner_;
            owner_->AddRef();
            if (fetched != nullptr) *fetched = 1;
            return count == 1 ? S_OK : S_FALSE;
        }
        HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Reset() override {
            done_ = false;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

    private:
        ClickEventsObj* owner_;
        LONG refs_ = 1;
        bool done_ = false;
    };

    std::shared_ptr<ide::CommandBarEvents> events_;
    IDispatch* sink_ = nullptr;
};

class EventsObj final : public Served {
public:
    explicit EventsObj(std::shared_ptr<ide::Events> e) : Served({L"CommandBarEvents"}, L"Events"), e_(std::move(e)) {}

protected:
    void Call(const std::wstring&, WORD, const Args& a, VARIANT* r) override {
        const VARIANT* v = a.At(0);
        if (v == nullptr || v->vt != VT_DISPATCH || v->pdispVal == nullptr) throw PlatformError("no control");
        ControlObj* served = nullptr;
        if (FAILED(v->pdispVal->QueryInterface(kIidServedControl, reinterpret_cast<void**>(&served)))) {
            throw PlatformError("not a control of this environment");
        }
        auto control = served->Control();
        served->Release();
        auto events = e_->GetCommandBarEvents(control);
        auto* object = new ClickEventsObj(events);
        SetObject(r, static_cast<Served*>(object));
    }

private:
    std::shared_ptr<ide::Events> e_;
};

class WindowObj final : public Served {
public:
    explicit WindowObj(std::shared_ptr<ide::Window> w) : Served({L"Caption"}, L"Window"), w_(std::move(w)) {}

protected:
    void Call(const std::wstring&, WORD, const Args&, VARIANT* r) override { SetText(r, w_->Caption()); }

private:
    std::shared_ptr<ide::Window> w_;
};

class ComponentObj final : public Served {
public:
    // The VBA editor's component has no FileNames: its modules live in the Office document.
    ComponentObj(std::shared_ptr<ide::CodePane> keep, ide::VBComponent& c)
        : Served(g_host == ide::HostKind::Vba ? std::vector<std::wstring>{L"Name"} : std::vector<std::wstring>{L"FileNames"},
                 L"VBComponent"),
          keep_(std::move(keep)),
          c_(c) {}

protected:
    void Call(const std::wstring& n, WORD, const Args& a, VARIANT* r) override {
        if (n == L"FileNames") return SetText(r, c_.FileNames(static_cast<std::int16_t>(a.Long(0))));
        throw PlatformError("the stand-in knows no component names");
    }

private:
    std::shared_ptr<ide::CodePane> keep_;
    ide::VBComponent& c_;
};

class ModuleObj final : public Served {
public:
    ModuleObj(std::shared_ptr<ide::CodePane> pane)
        : Served({L"Lines", L"InsertLines", L"CountOfLines", L"CountOfDeclarationLines", L"ProcOfLine", L"ProcStartLine", L"ProcBodyLine",
                  L"Parent"},
                 L"CodeModule"),
          pane_(std::move(pane)) {}

protected:
    void Call(const std::wstring& n, WORD, const Args& a, VARIANT* r) override {
        ide::CodeModule& m = pane_->GetCodeModule();
        if (n == L"Lines") return SetText(r, m.Lines(a.Long(0), a.Long(1)));
        if (n == L"InsertLines") return m.InsertLines(a.Long(0), a.Text(1));
        if (n == L"CountOfLines") return SetLong(r, m.CountOfLines());
        if (n == L"CountOfDeclarationLines") return SetLong(r, m.CountOfDeclarationLines());
        if (n == L"ProcOfLine") {
            ide::vbext_ProcKind kind = ide::vbext_pk_Proc;
            const std::u16string name = m.ProcOfLine(a.Long(0), &kind);
            a.Out(1)->plVal[0] = kind;
            return SetText(r, name);
        }
        if (n == L"ProcStartLine") return SetLong(r, m.ProcStartLine(a.Text(0), static_cast<ide::vbext_ProcKind>(a.Long(1))));
        if (n == L"ProcBodyLine") return SetLong(r, m.ProcBodyLine(a.Text(0), static_cast<ide::vbext_ProcKind>(a.Long(1))));
        if (n == L"Parent") return SetObject(r, new ComponentObj(pane_, m.Parent()));
    }

private:
    std::shared_ptr<ide::CodePane> pane_;
};

class PaneObj final : public Served {
public:
    explicit PaneObj(std::shared_ptr<ide::CodePane> p)
        : Served({L"Window", L"GetSelection", L"SetSelection", L"TopLine", L"CodeModule"}, L"CodePane"), p_(std::move(p)) {}

protected:
    void Call(const std::wstring& n, WORD flags, const Args& a, VARIANT* r) override {
        if (n == L"Window") return SetObject(r, new WindowObj(p_->GetWindow()));
        if (n == L"GetSelection") {
            const ide::Selection s = p_->GetSelection();
            const long values[4] = {s.startLine, s.startColumn, s.endLine, s.endColumn};
            // The four out parameters are checked before any is written, as the library's Invoke does.
            for (UINT i = 0; i < 4; ++i) a.Out(i);
            for (UINT i = 0; i < 4; ++i) a.Out(i)->plVal[0] = values[i];
            return;
        }
        if (n == L"SetSelection") return p_->SetSelection({a.Long(0), a.Long(1), a.Long(2), a.Long(3)});
        if (n == L"TopLine") {
            if (Putting(flags)) return p_->SetTopLine(Args::Convert(a.PutValue(), VT_I4).lVal);
            throw PlatformError("TopLine is read by the environment only");
        }
        if (n == L"CodeModule") return SetObject(r, new ModuleObj(p_));
    }

private:
    std::shared_ptr<ide::CodePane> p_;
};

// The environment's main window: its handle, as the real object's HWnd.
class MainWindowObj final : public Served {
public:
    explicit MainWindowObj(std::uintptr_t hwnd) : Served({L"HWnd"}, L"Window"), hwnd_(hwnd) {}

protected:
    void Call(const std::wstring&, WORD, const Args&, VARIANT* r) override { SetLong(r, static_cast<long>(hwnd_)); }

private:
    std::uintptr_t hwnd_;
};

class VbeObj final : public Served {
public:
    explicit VbeObj(std::shared_ptr<ide::VBE> v)
        : Served({L"CommandBars", L"Events", L"ActiveWindow", L"ActiveCodePane", L"MainWindow"}, L"VBE"), v_(std::move(v)) {}

protected:
    void Call(const std::wstring& n, WORD, const Args&, VARIANT* r) override {
        if (n == L"MainWindow") return SetObject(r, new MainWindowObj(v_->MainWindow()));
        if (n == L"CommandBars") return SetObject(r, new BarsObj(v_->GetCommandBars()));
        if (n == L"Events") return SetObject(r, new EventsObj(v_->GetEvents()));
        if (n == L"ActiveWindow") {
            ++g_activeWindowReads;
            std::shared_ptr<ide::Window> window;
            if (!Attempt([&] { window = v_->ActiveWindow(); }) || !window) return SetObject(r, nullptr);
            return SetObject(r, new WindowObj(window));
        }
        if (n == L"ActiveCodePane") {
            // No code pane is Nothing, as in the environment.
            std::shared_ptr<ide::CodePane> pane;
            if (!Attempt([&] { pane = v_->ActiveCodePane(); }) || !pane) return SetObject(r, nullptr);
            return SetObject(r, new PaneObj(pane));
        }
    }
    HRESULT Other(REFIID riid, void** out) override {
        if (g_host == ide::HostKind::Vba && riid == kIidVbaVbe) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::shared_ptr<ide::VBE> v_;
};

class AddInObj final : public Served {
public:
    explicit AddInObj(std::shared_ptr<ide::AddIn> a) : Served({L"Connect"}), a_(std::move(a)) {}

protected:
    void Call(const std::wstring&, WORD flags, const Args& a, VARIANT* r) override {
        if (Putting(flags)) return a_->SetConnect(a.Bool(a.PutValue()));
        SetBool(r, a_->Connect());
    }

private:
    std::shared_ptr<ide::AddIn> a_;
};

}  // namespace

long ActiveWindowReads() { return g_activeWindowReads; }
long ServedCalls() { return g_servedCalls; }

IDispatch* ServeVbe(std::shared_ptr<ide::VBE> vbe) {
    g_host = vbe->Host();
    return new VbeObj(std::move(vbe));
}
IDispatch* ServeAddIn(std::shared_ptr<ide::AddIn> addIn) { return new AddInObj(std::move(addIn)); }

}  // namespace qm::standin
