// The building blocks of the native C++ API's generated tree
// (zentrava/native_tree.hpp): array and text conversions around the COM
// calls, and the collections of measurements and markers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "zentrava/array_loan.h"
#include "zentrava/errors.hpp"
#include "zentrava/interfaces.h"

namespace zentrava::detail {

template <typename T>
constexpr VARTYPE kElementType = std::is_same_v<T, double> ? VT_R8 : VT_UI1;

inline VARIANT_BOOL to_com(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// Owns a SAFEARRAY handed in or out of a member.
class OwnedArray {
public:
    explicit OwnedArray(SAFEARRAY* array = nullptr) : array_(array) {}
    OwnedArray(const OwnedArray&) = delete;
    OwnedArray& operator=(const OwnedArray&) = delete;
    ~OwnedArray() { SafeArrayDestroy(array_); }
    SAFEARRAY* get() const { return array_; }
    SAFEARRAY** address() { return &array_; }
    SAFEARRAY* release() { return std::exchange(array_, nullptr); }

private:
    SAFEARRAY* array_;
};

// A zero-based vector holding a copy of the caller's elements.
template <typename T>
SAFEARRAY* array_of(std::span<const T> values) {
    SAFEARRAY* array = SafeArrayCreateVector(kElementType<T>, 0, static_cast<ULONG>(values.size()));
    void* data = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        throw Error(E_OUTOFMEMORY, "no memory for an array of " + std::to_string(values.size()) + " elements");
    }
    std::copy(values.begin(), values.end(), static_cast<T*>(data));
    SafeArrayUnaccessData(array);
    return array;
}

// An array result as a vector. call(SAFEARRAY**) is the COM member.
template <typename T, typename Call>
std::vector<T> read_vector(Call call, SAFEARRAY* input = nullptr) {
    OwnedArray result(input);
    check(call(result.address()));
    const com::SafeArrayView<T> view(result.get());
    check(view.status());
    return {view.elements().begin(), view.elements().end()};
}

// An array result written into the caller's buffer: up to out.size()
// elements; returns how many the result has. Under the loan the member
// writes straight into out when the result fits, so nothing is allocated.
template <typename T, typename Call>
std::size_t read_into(std::span<T> out, Call call, SAFEARRAY* input = nullptr) {
    ArrayLoan loan(kElementType<T>, out.data(), static_cast<ULONG>(out.size()));
    SAFEARRAY* array = input;
    const HRESULT hr = call(&array);
    HRESULT viewed = S_OK;
    std::size_t count = 0;
    if (SUCCEEDED(hr)) {
        const com::SafeArrayView<T> view(array);
        viewed = view.status();
        const auto elements = view.elements();
        count = loan.ResultLength(array);
        if (elements.data() != out.data())
            std::copy_n(elements.begin(), std::min(elements.size(), out.size()), out.begin());
    }
    if (array != nullptr) loan.GiveBack(array);
    check(hr);
    check(viewed);
    return count;
}

// A text in-out argument: the caller's text goes in, the member's comes back.
template <typename Call>
std::string text_in_out(std::string_view in, Call call) {
    BSTR text = Utf8ToBstr(in);
    const HRESULT hr = call(&text);
    const Bstr owned = Bstr::Adopt(text);
    check(hr);
    return owned.Utf8();
}

// Measurements or markers: items by number from 1 or by name, in order.
// Item is the generated node of one item, Com the collection's interface.
template <typename Item, typename Com>
class Collection {
public:
    using value_type = Item;

    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Item;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(const Collection* items, std::int32_t number) : items_(items), number_(number) {}
        Item operator*() const { return (*items_)[number_]; }
        iterator& operator++() {
            ++number_;
            return *this;
        }
        iterator operator++(int) { return {items_, number_++}; }
        bool operator==(const iterator& other) const { return number_ == other.number_; }

    private:
        const Collection* items_ = nullptr;
        std::int32_t number_ = 0;
    };

    // The item of this number, counted from 1.
    Item operator[](std::int32_t number) const {
        if (number < 1 || static_cast<std::size_t>(number) > names_.size())
            throw_error(kInvalidRange, "There is no item " + std::to_string(number) + " here; the items are 1 to " +
                                           std::to_string(names_.size()) + " (" + names() + ").");
        return item(names_[static_cast<std::size_t>(number) - 1]);
    }
    // The item of this name; an unknown name throws SelectorError naming the valid ones.
    Item operator[](std::string_view name) const {
        if (std::find(names_.begin(), names_.end(), name) == names_.end())
            throw_error(kUnknownName,
                        "Unknown name in selector: \"" + std::string(name) + "\"; the names are " + names() + ".");
        return item(name);
    }
    std::size_t size() const { return names_.size(); }
    iterator begin() const { return {this, 1}; }
    iterator end() const { return {this, static_cast<std::int32_t>(names_.size()) + 1}; }

    const ComPtr<Com>& com() const { return com_; }

protected:
    Collection(ComPtr<Com> com, std::span<const std::string_view> names) : com_(std::move(com)), names_(names) {}

    ComPtr<Com> com_;

private:
    // The driver's results for a range or a name no collection has.
    static constexpr HRESULT kInvalidRange = static_cast<HRESULT>(0x80047064u);
    static constexpr HRESULT kUnknownName = static_cast<HRESULT>(0x80047065u);

    Item item(std::string_view name) const {
        ComPtr<typename Item::Interface> item;
        check(com_->get_Item(Bstr(name).get(), item.Receive()));
        return Item(std::move(item));
    }
    std::string names() const {
        std::string text;
        for (std::string_view name : names_) text += (text.empty() ? "" : ", ") + std::string(name);
        return text;
    }

    std::span<const std::string_view> names_;
};

}  // namespace zentrava::detail
