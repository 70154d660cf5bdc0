// Owning pointers for COM interfaces, BSTRs and VARIANTs, so that every
// reference is released on every path.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace tarnwick::platform::win32 {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller owns.
    static ComPtr adopt(T* raw) {
        ComPtr p;
        p.ptr_ = raw;
        return p;
    }
    // Adds a reference of its own.
    static ComPtr share(T* raw) {
        if (raw) raw->AddRef();
        return adopt(raw);
    }
    ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (ptr_) std::exchange(ptr_, nullptr)->Release();
    }
    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // For out-parameters: releases the current reference first.
    T** put() {
        reset();
        return &ptr_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    // Hands the reference to the caller.
    T* detach() { return std::exchange(ptr_, nullptr); }

    template <class U>
    ComPtr<U> query(REFIID iid) const {
        ComPtr<U> result;
        if (ptr_) ptr_->QueryInterface(iid, result.putVoid());
        return result;
    }

private:
    T* ptr_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(bstr_); }

    BSTR get() const { return bstr_; }
    BSTR* put() {
        SysFreeString(bstr_);
        bstr_ = nullptr;
        return &bstr_;
    }
    BSTR detach() { return std::exchange(bstr_, nullptr); }
    std::wstring_view view() const { return {bstr_ ? bstr_ : L"", SysStringLen(bstr_)}; }

private:
    BSTR bstr_ = nullptr;
};

class VariantValue {
public:
    VariantValue() { VariantInit(&value_); }
    VariantValue(const VariantValue&) = delete;
    VariantValue& operator=(const VariantValue&) = delete;
    ~VariantValue() { VariantClear(&value_); }

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    // Moves the value into `target` (which must be empty or cleared).
    void moveTo(VARIANT* target) {
        *target = value_;
        VariantInit(&value_);
    }

private:
    VARIANT value_;
};

}  // namespace tarnwick::platform::win32
