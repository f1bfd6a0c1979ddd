#pragma once
// Owner of one COM reference: AddRef on copy, Release on reset, put() for
// out-parameters (releasing the old reference first), explicit queries.

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace kalvera {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference of its own to p.
    static ComPtr Share(T* p) noexcept {
        ComPtr result;
        result.ptr_ = p;
        if (p)
            p->AddRef();
        return result;
    }
    // Adopts a reference the caller already holds.
    static ComPtr Attach(T* p) noexcept {
        ComPtr result;
        result.ptr_ = p;
        return result;
    }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) {
        if (ptr_)
            ptr_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    void reset() noexcept {
        if (T* p = std::exchange(ptr_, nullptr))
            p->Release();
    }
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    template <typename U> ComPtr<U> as() const noexcept {
        ComPtr<U> result;
        if (ptr_)
            ptr_->QueryInterface(__uuidof(U), result.put_void());
        return result;
    }

private:
    T* ptr_ = nullptr;
};

} // namespace kalvera
