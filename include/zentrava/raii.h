// Owners and views for COM resources: an interface reference, a BSTR, the
// elements of a locked SAFEARRAY, and the reference counting and interface
// lookup every hand-written COM class needs. Each releases what it holds
// when it goes out of scope, so no code path can forget to.
#pragma once

#include <atomic>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "zentrava/com.h"

namespace com {

// Holds one reference to a COM interface.
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
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    // Hands the reference to the caller.
    Interface* Detach() { return std::exchange(pointer_, nullptr); }

private:
    Interface* pointer_ = nullptr;
};

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    // Null only when out of memory.
    explicit Bstr(std::string_view utf8) : text_(Utf8ToBstr(utf8)) {}
    static Bstr Adopt(BSTR text) {
        Bstr owned;
        owned.text_ = text;
        return owned;
    }
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(text_, other.text_);
        return *this;
    }
    Bstr(const Bstr&) = delete;
    ~Bstr() { SysFreeString(text_); }

    BSTR get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }
    // For out parameters; frees what is held.
    BSTR* Receive() {
        *this = Bstr();
        return &text_;
    }
    BSTR Detach() { return std::exchange(text_, nullptr); }
    std::u16string_view view() const { return BstrView(text_); }
    std::string Utf8() const { return WideToUtf8(view()); }

private:
    BSTR text_ = nullptr;
};

// The elements of a one-dimensional SAFEARRAY, locked while the view lives.
// Empty, with a failed status(), when the array is null, has more
// dimensions, holds elements of another size, or cannot be locked.
template <typename Element>
class SafeArrayView {
public:
    explicit SafeArrayView(SAFEARRAY* array) {
        if (array == nullptr || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != sizeof(Element)) return;
        void* data = nullptr;
        status_ = SafeArrayAccessData(array, &data);
        if (FAILED(status_)) return;
        array_ = array;
        elements_ = {static_cast<const Element*>(data), array->rgsabound[0].cElements};
    }
    SafeArrayView(const SafeArrayView&) = delete;
    SafeArrayView& operator=(const SafeArrayView&) = delete;
    ~SafeArrayView() {
        if (array_ != nullptr) SafeArrayUnaccessData(array_);
    }

    HRESULT status() const { return status_; }
    std::span<const Element> elements() const { return elements_; }

private:
    HRESULT status_ = E_INVALIDARG;
    SAFEARRAY* array_ = nullptr;
    std::span<const Element> elements_;
};

// One interface a ComObject implements, with every IID that reaches it (its
// own and those of the interfaces it derives from, IUnknown aside).
template <typename Interface, const IID&... Ids>
struct Implements {
    using Type = Interface;
    static bool Answers(REFIID riid) { return ((riid == Ids) || ...); }
};

// QueryInterface, AddRef and Release for a class created on the heap with
// one reference held by its creator. IUnknown is answered through the first
// interface, so every view of the object gives the same identity pointer.
template <typename Impl, typename... Interfaces>
class ComObject : public Interfaces::Type... {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        } else {
            static_cast<void>(
                ((Interfaces::Answers(riid) ? (*ppv = static_cast<typename Interfaces::Type*>(this), true) : false) ||
                 ...));
        }
        if (*ppv == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    using FirstInterface = typename std::tuple_element_t<0, std::tuple<Interfaces...>>::Type;
    std::atomic<ULONG> references_{1};
};

}  // namespace com
