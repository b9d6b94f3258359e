// C arguments of the function wrappers in their COM form, and the frame that
// calls one method: each argument object converts on construction, hands
// the COM argument to the call, stores its results afterwards and frees what
// it created.
#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "ivic/navigation.h"
#include "platform/visa/formatted/array_loan.h"

namespace ztv {

class TextIn {
public:
    explicit TextIn(ViConstString text) : text_(text ? text : "") {}
    BSTR com() const { return text_.get(); }
    ViStatus Store() const { return 0; }

private:
    com::Bstr text_;
};

// Element type and VARTYPE of the two array kinds.
template <class T>
constexpr VARTYPE kArrayVarType = std::is_same_v<T, double> ? VT_R8 : VT_UI1;

// A one-dimensional, zero-based SAFEARRAY holding count elements of data.
template <class T>
SAFEARRAY* ArrayOf(ViInt32 count, const T* data) {
    const ULONG n = data && count > 0 ? static_cast<ULONG>(count) : 0;
    SAFEARRAY* array = SafeArrayCreateVector(kArrayVarType<T>, 0, n);
    void* elements = nullptr;
    if (array && n > 0 && SUCCEEDED(SafeArrayAccessData(array, &elements))) {
        std::memcpy(elements, data, n * sizeof(T));
        SafeArrayUnaccessData(array);
    }
    return array;
}

template <class T>
class ArrayIn {
public:
    ArrayIn(ViInt32 count, const T* data) : array_(ArrayOf(count, data)) {}
    ArrayIn(const ArrayIn&) = delete;
    ArrayIn& operator=(const ArrayIn&) = delete;
    ~ArrayIn() { SafeArrayDestroy(array_); }
    SAFEARRAY* com() const { return array_; }
    ViStatus Store() const { return 0; }

private:
    SAFEARRAY* array_;
};

// (size, buffer, actual size): as many elements as fit are copied, the
// actual size is always the result's full length. The buffer is offered for
// the result itself, so a result that fits arrives there without a copy;
// any other array is only copied from and goes back on loan for the
// thread's next read.
template <class T>
class ArrayOut {
public:
    ArrayOut(ViInt32 bufferSize, T* data, ViInt32* actualSize)
        : bufferSize_(bufferSize),
          data_(data),
          actualSize_(actualSize),
          loan_(kArrayVarType<T>, data, static_cast<ULONG>(std::max<ViInt32>(bufferSize, 0))) {}
    ArrayOut(const ArrayOut&) = delete;
    ArrayOut& operator=(const ArrayOut&) = delete;
    ~ArrayOut() { loan_.GiveBack(array_); }
    SAFEARRAY** com() { return &array_; }

    ViStatus Store() const {
        const auto n = static_cast<ViInt32>(std::min<ULONG>(loan_.ResultLength(array_), 0x7FFFFFFF));
        ViStatus copied = 0;
        if (!data_) {
            copied = kIviCGenericFailure;
        } else if (n > 0 && bufferSize_ > 0) {
            const com::SafeArrayView<T> view(array_);
            const auto elements = view.elements().first(std::min<std::size_t>(view.elements().size(), bufferSize_));
            if (elements.data() != data_) std::copy(elements.begin(), elements.end(), data_);
        }
        ViStatus counted = kIviCGenericFailure;
        if (actualSize_) {
            *actualSize_ = n;
            counted = 0;
        }
        return copied != 0 ? copied : counted;
    }

protected:
    SAFEARRAY* array_ = nullptr;

private:
    ViInt32 bufferSize_;
    T* data_;
    ViInt32* actualSize_;
    visa::ArrayLoan loan_;
};

// The caller's first BufferSize bytes go in; the result comes back like an
// array result into the same buffer.
class BytesInOut : public ArrayOut<ViByte> {
public:
    BytesInOut(ViInt32 bufferSize, ViByte* data, ViInt32* actualSize) : ArrayOut(bufferSize, data, actualSize) {
        array_ = ArrayOf(bufferSize, data);
    }
};

// One number the COM call writes, copied to the caller's variable afterwards.
template <class CType, class ComType>
class NumberOut {
public:
    explicit NumberOut(CType* value, ComType initial = ComType{}) : target_(value), value_(initial) {}
    ComType* com() { return &value_; }
    ViStatus Store() const {
        if (!target_) return kIviCGenericFailure;
        *target_ = value_;
        return 0;
    }

private:
    CType* target_;
    ComType value_;
};

using IntegerOut = NumberOut<ViInt32, LONG>;

// The caller's value goes in, the call's comes back.
class RealInOut : public NumberOut<ViReal64, double> {
public:
    explicit RealInOut(ViReal64* value) : NumberOut(value, value ? *value : 0.0) {}
};

class TextOut {
public:
    TextOut(ViInt32 bufferSize, ViChar* buffer) : bufferSize_(bufferSize), buffer_(buffer) {}
    BSTR* com() { return text_.Receive(); }
    ViStatus Store() const { return StoreText(text_.get(), bufferSize_, buffer_); }

private:
    ViInt32 bufferSize_;
    ViChar* buffer_;
    com::Bstr text_;
};

inline ViStatus FirstNonZero(ViStatus first, ViStatus next) { return first != 0 ? first : next; }

// How a successful call's own warning combines with the status of storing
// its outputs.
enum class CallWarning { Kept, Replaced };

// In-out reals go back to the caller even when the call fails: a result
// query that breaks off has stored its first values, and keeps the rest.
inline void StoreAfterFailure(const RealInOut& value) { value.Store(); }
template <class Arg>
void StoreAfterFailure(const Arg&) {}

// call(IUnknown* owner) makes the COM call; after success every argument
// stores its results, all of them, and the first non-zero store status counts.
template <CallWarning warning = CallWarning::Kept, class Call, class... Args>
ViStatus InvokeMember(ViSession vi, ViConstString selector, const OwnerPath& path, Call&& call, Args&... args) {
    return OnOwner(vi, selector, path, [&](IUnknown* owner) {
        const HRESULT hr = call(owner);
        const ViStatus status = TranslateStatus(vi, hr);
        if (FAILED(hr)) {
            (StoreAfterFailure(args), ...);
            return status;
        }
        ViStatus stored = 0;
        ((stored = FirstNonZero(stored, args.Store())), ...);
        return warning == CallWarning::Kept ? CallOrStore(status, stored) : stored;
    });
}

}  // namespace ztv
