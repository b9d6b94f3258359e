// Holds one reference to a COM interface.
#pragma once

#include <utility>

namespace visa {

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already owns.
    static ComPtr Adopt(Interface* pointer) {
        ComPtr held;
        held.pointer_ = pointer;
        return held;
    }
    // Adds a reference of its own.
    static ComPtr Share(Interface* pointer) {
        if (pointer != nullptr) pointer->AddRef();
        return Adopt(pointer);
    }
    ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
        if (pointer_ != nullptr) pointer_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() {
        if (pointer_ != nullptr) pointer_->Release();
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For out parameters of QueryInterface and friends; releases what is held.
    Interface** Receive() {
        *this = ComPtr();
        return &pointer_;
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace visa
