#include "com/dispatch.h"

#include <vector>

#include "platform/failure.h"
#include "platform/text.h"

namespace qm::com {

void Fail(const char* what, HRESULT hr, const std::u16string& description) {
    char code[16];
    wsprintfA(code, "%08lX", static_cast<unsigned long>(hr));
    std::string text = std::string(what) + " failed (HRESULT 0x" + code + ")";
    if (!description.empty()) {
        // Kept as UTF-8, so that a Japanese description survives into the message.
        text += ": " + Utf16ToUtf8(description);
    }
    throw PlatformError(text);
}

Variant::Variant(const std::u16string& text) : Variant() {
    v_.vt = VT_BSTR;
    v_.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

Variant::Variant(IDispatch* object) : Variant() {
    v_.vt = VT_DISPATCH;
    v_.pdispVal = object;
    if (object != nullptr) object->AddRef();
}

Variant Variant::Missing() {
    Variant v;
    v.v_.vt = VT_ERROR;
    v.v_.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

Variant Variant::As(VARTYPE type, const char* what) const {
    Variant out;
    const HRESULT hr = VariantChangeType(out.get(), const_cast<VARIANT*>(&v_), 0, type);
    if (FAILED(hr)) Fail(what, hr);
    return out;
}

long Variant::AsLong() const { return As(VT_I4, "a number was expected:").get()->lVal; }

bool Variant::AsBool() const { return As(VT_BOOL, "a truth value was expected:").get()->boolVal != VARIANT_FALSE; }

std::u16string Variant::AsText() const {
    const Variant out = As(VT_BSTR, "a text was expected:");
    const BSTR text = out.get()->bstrVal;
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

IDispatch* Variant::AsObject() const {
    const VARIANT* v = &v_;
    if (v->vt == (VT_DISPATCH | VT_BYREF)) {
        if (v->ppdispVal == nullptr || *v->ppdispVal == nullptr) throw PlatformError("no object");
        (*v->ppdispVal)->AddRef();
        return *v->ppdispVal;
    }
    if (v->vt == VT_DISPATCH && v->pdispVal != nullptr) {
        v->pdispVal->AddRef();
        return v->pdispVal;
    }
    if (v->vt == VT_UNKNOWN && v->punkVal != nullptr) {
        IDispatch* d = nullptr;
        const HRESULT hr = v->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
        if (FAILED(hr)) Fail("IDispatch of an object", hr);
        return d;
    }
    throw PlatformError("no object");
}

DISPID Disp::Id(const wchar_t* name) const {
    if (!object_) throw PlatformError("no object");
    // Looked up once per object and name: the poller asks the same members every millisecond.
    for (const auto& [known, id] : ids_) {
        if (known == name) return id;
    }
    DISPID id = DISPID_UNKNOWN;
    auto* n = const_cast<LPOLESTR>(name);
    const HRESULT hr = object_->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) Fail("GetIDsOfNames", hr);
    ids_.emplace_back(name, id);
    return id;
}

bool Variant::IsNothing() const {
    const VARIANT* v = &v_;
    if (v->vt == VT_EMPTY || v->vt == VT_NULL) return true;
    if (v->vt == (VT_DISPATCH | VT_BYREF)) return v->ppdispVal == nullptr || *v->ppdispVal == nullptr;
    if (v->vt == VT_DISPATCH) return v->pdispVal == nullptr;
    if (v->vt == VT_UNKNOWN) return v->punkVal == nullptr;
    return false;
}

Variant Disp::Invoke(const wchar_t* name, WORD flags, VARIANT* args, UINT count) const {
    const DISPID id = Id(name);
    // Arguments go in reverse order.
    std::vector<VARIANT> reversed(count);
    for (UINT i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, count, 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    Variant result;
    // The strings of the exception information are ours to free, on every path.
    struct Exception : EXCEPINFO {
        Exception() : EXCEPINFO{} {}
        ~Exception() {
            SysFreeString(bstrSource);
            SysFreeString(bstrDescription);
            SysFreeString(bstrHelpFile);
        }
        Exception(const Exception&) = delete;
        Exception& operator=(const Exception&) = delete;
    } exception;
    UINT badArgument = 0;
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &exception, &badArgument);
    if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    if (FAILED(hr)) {
        const std::u16string description =
            exception.bstrDescription == nullptr
                ? std::u16string()
                : std::u16string(reinterpret_cast<const char16_t*>(exception.bstrDescription), SysStringLen(exception.bstrDescription));
        const std::string call = "Invoke of " + std::string(name, name + wcslen(name));
        Fail(call.c_str(), hr == DISP_E_EXCEPTION && exception.scode != 0 ? exception.scode : hr, description);
    }
    return result;
}

Variant Disp::Get(const wchar_t* name, std::initializer_list<Variant> args) const {
    std::vector<VARIANT> raw;
    for (const Variant& a : args) raw.push_back(*a.get());
    return Invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, raw.data(), static_cast<UINT>(raw.size()));
}

void Disp::Put(const wchar_t* name, const Variant& value) const {
    VARIANT raw = *value.get();
    Invoke(name, DISPATCH_PROPERTYPUT, &raw, 1);
}

Variant Disp::Call(const wchar_t* name, std::initializer_list<Variant> args) const {
    std::vector<VARIANT> raw;
    for (const Variant& a : args) raw.push_back(*a.get());
    return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, raw.data(), static_cast<UINT>(raw.size()));
}

Disp Disp::Object(const wchar_t* name, std::initializer_list<Variant> args) const { return Disp(Get(name, args).AsObject(), false); }

}  // namespace qm::com
