#pragma once
#include <windows.h>
#include <atomic>

namespace pb {

// IUnknown's reference count for our own COM objects: the count owns the object, and
// Release deletes it at zero. The object starts with one reference, the creator's.
template <typename Interface> class RefCounted : public Interface {
  public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

  protected:
    virtual ~RefCounted() = default;

  private:
    std::atomic<ULONG> refs_{1};
};

} // namespace pb
