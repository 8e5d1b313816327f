#pragma once
// Small owning wrappers for Win32 handles: copying deleted, moving defined.
#include <objbase.h>
#include <wrl/client.h>
#include <utility>
#include <windows.h>

namespace pb {

template <typename T, typename Traits> class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o)
            reset(std::exchange(o.h_, Traits::invalid()));
        return *this;
    }
    T get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    T release() { return std::exchange(h_, Traits::invalid()); }
    void reset(T h = Traits::invalid()) {
        if (h_ != Traits::invalid())
            Traits::close(h_);
        h_ = h;
    }

  private:
    T h_ = Traits::invalid();
};

template <typename T, BOOL(WINAPI* Close)(T)> struct NullTraits {
    static T invalid() { return nullptr; }
    static void close(T h) { Close(h); }
};

template <typename T> struct GdiObjTraits {
    static T invalid() { return nullptr; }
    static void close(T h) { DeleteObject(h); }
};
struct FileTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct RegKeyTraits {
    static HKEY invalid() { return nullptr; }
    static void close(HKEY k) { RegCloseKey(k); }
};
struct TaskMemTraits {
    static void* invalid() { return nullptr; }
    static void close(void* p) { CoTaskMemFree(p); }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, NullTraits<HANDLE, CloseHandle>>;
using UniqueFile = UniqueHandle<HANDLE, FileTraits>; // from CreateFile
using UniqueFont = UniqueHandle<HFONT, GdiObjTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjTraits<HBRUSH>>;
using UniqueDC = UniqueHandle<HDC, NullTraits<HDC, DeleteDC>>; // from CreateCompatibleDC
using UniqueIcon = UniqueHandle<HICON, NullTraits<HICON, DestroyIcon>>;
using UniqueMenu = UniqueHandle<HMENU, NullTraits<HMENU, DestroyMenu>>;
using UniqueWindow = UniqueHandle<HWND, NullTraits<HWND, DestroyWindow>>;
using UniqueModule = UniqueHandle<HMODULE, NullTraits<HMODULE, FreeLibrary>>;
using UniqueRegKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueTaskMem = UniqueHandle<void*, TaskMemTraits>;

// A function of a DLL looked up at run time, as the pointer type T; null when it is missing.
template <typename T> T ProcAddress(HMODULE dll, const char* name) {
    return dll ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
}

// COM interface pointers: the SDK's own.
using Microsoft::WRL::ComPtr;

// Takes over a reference the caller already owns, such as a new object's first.
template <typename T> ComPtr<T> Adopt(T* p) {
    ComPtr<T> owner;
    // Not Attach: MinGW's adds a reference of its own, and every object so adopted leaked.
    *owner.GetAddressOf() = p;
    return owner;
}

// Keeps COM initialised on this thread for the object's lifetime.
class ComApartment {
  public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT hr_;
};

// Holds a slim reader/writer lock for a scope. Unlike a mutex made of a kernel object, it waits
// without a call to Wine's server.
class SrwHold {
  public:
    enum Mode { Shared, Exclusive };
    SrwHold(SRWLOCK& lock, Mode mode) : lock_(lock), mode_(mode) {
        if (mode_ == Shared)
            AcquireSRWLockShared(&lock_);
        else
            AcquireSRWLockExclusive(&lock_);
    }
    ~SrwHold() {
        if (mode_ == Shared)
            ReleaseSRWLockShared(&lock_);
        else
            ReleaseSRWLockExclusive(&lock_);
    }
    SrwHold(const SrwHold&) = delete;
    SrwHold& operator=(const SrwHold&) = delete;

  private:
    SRWLOCK& lock_;
    const Mode mode_;
};

} // namespace pb
