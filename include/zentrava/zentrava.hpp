// C++ helpers for programs that drive the object model: interface and text
// owners, arrays as standard containers, failures as exceptions, and opening
// a session in one call.
//
//     auto root = zentrava::open("TCPIP0::10.0.0.7::inst0::INSTR", "QueryInstrStatus=true");
//     double attenuation = 0;
//     zentrava::check(root->get_Attenuation(&attenuation));
//
// Exceptions are the program's own: the driver's COM members return result
// codes, and check() turns a failed one into zentrava::Error (zentrava/errors.hpp).
// zentrava/driver.hpp is the native API over the same members.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zentrava/errors.hpp"
#include "zentrava/interfaces.h"
#include "zentrava/raii.h"
#include "zentrava/service_request.h"

namespace zentrava {

// Another interface of the same object.
template <typename To, typename From>
ComPtr<To> query(const ComPtr<From>& from, REFIID iid) {
    ComPtr<To> to;
    check(from->QueryInterface(iid, to.ReceiveVoid()));
    return to;
}

// Owns a SAFEARRAY that a member hands out, and reads it as a container.
class SafeArray {
public:
    SafeArray() = default;
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    ~SafeArray() { SafeArrayDestroy(array_); }

    // For out parameters; destroys what is held.
    SAFEARRAY** Receive() {
        SafeArrayDestroy(std::exchange(array_, nullptr));
        return &array_;
    }
    SAFEARRAY* get() const { return array_; }

    // Numbers (traces, offsets, results); throws Error for another element type.
    std::vector<double> doubles() const {
        com::SafeArrayView<double> view(array_);
        check(view.status());
        return {view.elements().begin(), view.elements().end()};
    }
    // Bytes (screen images, instrument states) as a string of bytes.
    std::string bytes() const {
        com::SafeArrayView<char> view(array_);
        check(view.status());
        return {view.elements().begin(), view.elements().end()};
    }

private:
    SAFEARRAY* array_ = nullptr;
};

// Joins the thread to the multithreaded apartment (once per thread; a thread
// already in an apartment stays in it), creates the driver, initializes it
// on the resource with the option string and returns its root interface.
// The identity query and the reset at opening are on unless turned off.
inline ComPtr<IZentrava> open(std::string_view resource, std::string_view options, bool idQuery = true,
                              bool reset = true) {
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (joined != RPC_E_CHANGED_MODE) check(joined);
    ComPtr<IIviDriver> driver;
    check(CoCreateInstance(CLSID_Zentrava, nullptr, CLSCTX_INPROC_SERVER, IID_IIviDriver, driver.ReceiveVoid()));
    check(driver->Initialize(Bstr(resource).get(), idQuery ? VARIANT_TRUE : VARIANT_FALSE,
                             reset ? VARIANT_TRUE : VARIANT_FALSE, Bstr(options).get()));
    return query<IZentrava>(driver, IID_IZentrava);
}

// Waits until the instrument requests service and returns its status byte
// (an extension: zentrava/service_request.h). timeoutMs -1 waits forever; a
// time-out, or Close from another thread, throws Error.
inline std::uint8_t wait_for_srq(const ComPtr<IZentrava>& root, std::int32_t timeoutMs) {
    const auto waiting = query<IZentravaServiceRequest>(root, IID_IZentravaServiceRequest);
    SHORT statusByte = 0;
    check(waiting->WaitForServiceRequest(timeoutMs, &statusByte));
    return static_cast<std::uint8_t>(statusByte);
}

}  // namespace zentrava
