#pragma once
// Late-bound calls on the environment's objects: names resolved with GetIDsOfNames, every HRESULT
// checked and turned into the platform's failure.
#include <oaidl.h>
#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/handles.h"

namespace qm::com {

// A VARIANT that cleans up after itself.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(long value) : Variant() {
        v_.vt = VT_I4;
        v_.lVal = value;
    }
    explicit Variant(short value) : Variant() {
        v_.vt = VT_I2;
        v_.iVal = value;
    }
    explicit Variant(bool value) : Variant() {
        v_.vt = VT_BOOL;
        v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    explicit Variant(const std::u16string& text);
    explicit Variant(IDispatch* object);
    static Variant Missing();
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant& other) : Variant() { VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }
    Variant& operator=(const Variant& other) {
        if (this != &other) VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
        return *this;
    }
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    long AsLong() const;
    bool AsBool() const;
    std::u16string AsText() const;
    // The object held (AddRef'd for the caller); fails when it holds none.
    IDispatch* AsObject() const;
    // Nothing, as an object property answers when it has no object to give.
    bool IsNothing() const;

private:
    // The value converted to another type; fails with what when it cannot be.
    Variant As(VARTYPE type, const char* what) const;
    VARIANT v_;
};

// An object of the environment, reached through IDispatch.
class Disp {
public:
    Disp() = default;
    // addRef false: takes over the caller's reference.
    explicit Disp(IDispatch* object, bool addRef = true)
        : object_(addRef ? win32::ComPtr<IDispatch>::Copy(object) : win32::ComPtr<IDispatch>::Attach(object)) {}
    IDispatch* get() const { return object_.get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }

    Variant Get(const wchar_t* name, std::initializer_list<Variant> args = {}) const;
    void Put(const wchar_t* name, const Variant& value) const;
    Variant Call(const wchar_t* name, std::initializer_list<Variant> args = {}) const;
    Disp Object(const wchar_t* name, std::initializer_list<Variant> args = {}) const;
    // The raw call: arguments in natural order.
    Variant Invoke(const wchar_t* name, WORD flags, VARIANT* args, UINT count) const;

private:
    DISPID Id(const wchar_t* name) const;
    win32::ComPtr<IDispatch> object_;
    mutable std::vector<std::pair<std::wstring, DISPID>> ids_;
};

// description: what the called object said of its failure, if anything.
[[noreturn]] void Fail(const char* what, HRESULT hr, const std::u16string& description = {});

}  // namespace qm::com
