#pragma once
// The owners of Windows handles and COM references. Every handle the Windows code opens is held by
// one of these from the moment it is had, and released by its destructor on every path.
#include <ocidl.h>
#include <shlobj.h>
#include <windows.h>

#include <type_traits>
#include <utility>

namespace qm::win32 {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // For functions that hand out a handle through a pointer; whatever was held is released first.
    Handle* put() {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Invalid();
};

template <class H, auto CloseFunction, auto InvalidValue = nullptr>
struct HandleTraits {
    using Handle = H;
    static Handle Invalid() {
        if constexpr (std::is_same_v<decltype(InvalidValue), std::nullptr_t>) {
            return nullptr;
        } else {
            return InvalidValue();
        }
    }
    static void Close(Handle handle) { CloseFunction(handle); }
};

inline HANDLE InvalidFileHandle() { return INVALID_HANDLE_VALUE; }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseFind(HANDLE handle) { FindClose(handle); }
inline void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
inline void DestroyWindowHandle(HWND hwnd) {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
}
inline void FreeIdList(LPITEMIDLIST list) { CoTaskMemFree(list); }
inline void FreeGlobal(HGLOBAL memory) { GlobalFree(memory); }

using UniqueKey = UniqueHandle<HandleTraits<HKEY, CloseKey>>;
using UniqueFont = UniqueHandle<HandleTraits<HFONT, DeleteGdiObject>>;
using UniqueBitmap = UniqueHandle<HandleTraits<HBITMAP, DeleteGdiObject>>;
using UniqueBrush = UniqueHandle<HandleTraits<HBRUSH, DeleteGdiObject>>;
using UniqueMemoryDc = UniqueHandle<HandleTraits<HDC, DeleteMemoryDc>>;
using UniqueKernelHandle = UniqueHandle<HandleTraits<HANDLE, CloseKernelHandle>>;
using UniqueFind = UniqueHandle<HandleTraits<HANDLE, CloseFind, InvalidFileHandle>>;
using UniqueFile = UniqueHandle<HandleTraits<HANDLE, CloseKernelHandle, InvalidFileHandle>>;
using UniqueWindow = UniqueHandle<HandleTraits<HWND, DestroyWindowHandle>>;
using UniqueIdList = UniqueHandle<HandleTraits<LPITEMIDLIST, FreeIdList>>;
// Global memory until the clipboard takes it over (release() then).
using UniqueGlobal = UniqueHandle<HandleTraits<HGLOBAL, FreeGlobal>>;

// The screen's device context, borrowed for as long as the object lives.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A process started with CreateProcess: both of its handles.
struct ProcessHandles {
    UniqueKernelHandle process;
    UniqueKernelHandle thread;
    explicit ProcessHandles(const PROCESS_INFORMATION& info) : process(info.hProcess), thread(info.hThread) {}
};

// One COM reference. Attach takes over a reference the caller has; copying takes a new one.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    static ComPtr Attach(T* object) {
        ComPtr p;
        p.object_ = object;
        return p;
    }
    // A new reference to an object the caller only borrows.
    static ComPtr Copy(T* object) {
        if (object != nullptr) object->AddRef();
        return Attach(object);
    }
    ComPtr(const ComPtr& other) : object_(other.object_) {
        if (object_ != nullptr) object_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(object_, nullptr); }
    void reset() {
        if (T* old = std::exchange(object_, nullptr)) old->Release();
    }
    T** put() {
        reset();
        return &object_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (object_ == nullptr) return E_POINTER;
        return object_->QueryInterface(iid, out.put_void());
    }

private:
    T* object_ = nullptr;
};

// A sink advised on a connection point, unadvised when this goes.
class Advise {
public:
    Advise() = default;
    ~Advise() { reset(); }
    Advise(Advise&& other) noexcept : point_(std::move(other.point_)), cookie_(std::exchange(other.cookie_, 0)) {}
    Advise& operator=(Advise&& other) noexcept {
        if (this != &other) {
            reset();
            point_ = std::move(other.point_);
            cookie_ = std::exchange(other.cookie_, 0);
        }
        return *this;
    }
    Advise(const Advise&) = delete;
    Advise& operator=(const Advise&) = delete;

    HRESULT Connect(const ComPtr<IConnectionPoint>& point, IUnknown* sink) {
        reset();
        DWORD cookie = 0;
        const HRESULT hr = point->Advise(sink, &cookie);
        if (SUCCEEDED(hr)) {
            point_ = point;
            cookie_ = cookie;
        }
        return hr;
    }
    void reset() {
        if (point_) point_->Unadvise(cookie_);
        point_.reset();
        cookie_ = 0;
    }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// COM for the length of a scope, where the caller has not started it.
class ComInit {
public:
    ComInit() : hr_(CoInitialize(nullptr)) {}
    ~ComInit() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    HRESULT hr_;
};

}  // namespace qm::win32
