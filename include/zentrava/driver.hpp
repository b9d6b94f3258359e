// The native C++ API: the driver's object tree as plain C++ values, named
// as the Python package names it.
//
//     zentrava::Driver d("TCPIP0::10.0.0.7::hislip0::INSTR", {.options = "QueryInstrStatus=true"});
//     d.set_attenuation(10.5);
//     auto pn = d.application().phase_noise();
//     pn.measurements().initiate();
//     d.system().wait_for_operation_complete(60000);
//     std::vector<double> y = pn.measurements()[1].data().get_formatted();
//
// Nodes (what application(), measurements()[1] and the like return) are
// cheap values holding their COM interface, which keeps the driver object
// alive: a node used after its Driver was closed or destroyed throws Error.
// Failed calls throw zentrava::Error or one of its subclasses
// (zentrava/errors.hpp). A Driver may be used from several threads at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "zentrava/native_tree.hpp"
#include "zentrava/zentrava.hpp"

namespace zentrava {

namespace detail {
// Direct I/O on the message session under System.IO (the library's).
HRESULT write_direct(IZentrava* root, const char* text);
HRESULT read_direct(IZentrava* root, LONG count, BSTR* reply);
HRESULT snapshot(IZentrava* root, BSTR* json);
}  // namespace detail

struct OpenOptions {
    bool id_query = true;   // check that the instrument is one the driver supports
    bool reset = false;     // reset the instrument after connecting
    bool simulate = false;  // no instrument: the resource may be empty
    std::string options{};  // the option string, e.g. "QueryInstrStatus=true, Cache=false"
};

// The outputs of error_query(), self_test() and revision_query().
struct ErrorQueryResult {
    std::int32_t error_code = 0;
    std::string error_message;
};
struct SelfTestResult {
    std::int32_t test_result = 0;
    std::string test_message;
};
struct RevisionQueryResult {
    std::string driver_rev;
    std::string instr_rev;
};

// One session with an instrument (or a simulated one): the root of the tree
// (nodes::Root: attenuation(), application(), system(), identity(), ...)
// and the IVI utility functions. Move-only; the destructor closes.
class Driver : public nodes::Root {
public:
    explicit Driver(std::string_view resource, OpenOptions options = {})
        : Root(open(resource, option_string(options), options.id_query, options.reset)), utility_(utility_of(com())) {}
    Driver(Driver&& other) noexcept
        : Root(std::move(other)), utility_(std::move(other.utility_)), closed_(other.closed_.exchange(true)) {}
    Driver& operator=(Driver&& other) noexcept {
        if (this != &other) {
            close_quietly();
            Root::operator=(std::move(other));
            utility_ = std::move(other.utility_);
            closed_ = other.closed_.exchange(true);
        }
        return *this;
    }
    ~Driver() { close_quietly(); }

    // Ends the session; once only, later calls do nothing. Nodes taken from
    // this driver throw Error from then on.
    void close() {
        if (closed_.exchange(true)) return;
        ComPtr<IIviDriver> driver;
        check(com_->QueryInterface(IID_IIviDriver, driver.ReceiveVoid()));
        check(driver->Close());
    }

    // ---- IVI utility functions ---------------------------------------------------------------
    /// Ztv_reset: IIviDriverUtility.Reset
    void reset() const { check(utility_->Reset()); }
    /// Ztv_ResetWithDefaults: IIviDriverUtility.ResetWithDefaults
    void reset_with_defaults() const { check(utility_->ResetWithDefaults()); }
    /// Ztv_Disable: IIviDriverUtility.Disable
    void disable() const { check(utility_->Disable()); }
    /// Ztv_error_query: IIviDriverUtility.ErrorQuery, the instrument's oldest error
    ErrorQueryResult error_query() const {
        LONG code = 0;
        Bstr message;
        check(utility_->ErrorQuery(&code, message.Receive()));
        return {code, message.Utf8()};
    }
    /// Ztv_self_test: IIviDriverUtility.SelfTest
    SelfTestResult self_test() const {
        LONG result = 0;
        Bstr message;
        check(utility_->SelfTest(&result, message.Receive()));
        return {result, message.Utf8()};
    }
    /// Ztv_revision_query: the driver's revision and the instrument's firmware revision
    RevisionQueryResult revision_query() const {
        const auto identity = this->identity();
        return {identity.revision(), identity.instrument_firmware_revision()};
    }
    /// Ztv_InvalidateAllAttributes: IIviDriverOperation.InvalidateAllAttributes
    void invalidate_all_attributes() const { check(driver_operation().com()->InvalidateAllAttributes()); }
    /// Ztv_ClearInterchangeWarnings: IIviDriverOperation.ClearInterchangeWarnings
    void clear_interchange_warnings() const { check(driver_operation().com()->ClearInterchangeWarnings()); }
    /// Ztv_ResetInterchangeCheck: IIviDriverOperation.ResetInterchangeCheck
    void reset_interchange_check() const { check(driver_operation().com()->ResetInterchangeCheck()); }
    /// Ztv_GetNextCoercionRecord: IIviDriverOperation.GetNextCoercionRecord; empty when there is none
    std::string get_next_coercion_record() const {
        Bstr record;
        check(driver_operation().com()->GetNextCoercionRecord(record.Receive()));
        return record.Utf8();
    }
    /// Ztv_GetNextInterchangeWarning: IIviDriverOperation.GetNextInterchangeWarning; empty when there is none
    std::string get_next_interchange_warning() const {
        Bstr warning;
        check(driver_operation().com()->GetNextInterchangeWarning(warning.Receive()));
        return warning.Utf8();
    }
    /// Ztv_WaitForServiceRequest: waits until the instrument requests service
    /// and returns its status byte; timeout_ms -1 waits forever.
    std::uint8_t wait_for_srq(std::int32_t timeout_ms) const { return zentrava::wait_for_srq(com(), timeout_ms); }

    // ---- members beyond the object model, written by hand ------------------------------------
    /// Ztv_Snapshot: every readable setting of the connected model as one JSON
    /// document ("identity", "resource", "time", "settings", "unreadable"), as ztv snapshot writes it
    std::string snapshot() const {
        Bstr json;
        check(detail::snapshot(com().get(), json.Receive()));
        return json.Utf8();
    }
    /// Ztv_SystemWrite: sends the text to the instrument exactly as given (end it with "\n")
    void write_string(std::string_view text) const {
        check(detail::write_direct(com().get(), std::string(text).c_str()));
    }
    /// Ztv_SystemRead: the instrument's reply, at most count characters
    std::string read_string(std::int32_t count = 1 << 20) const {
        Bstr reply;
        check(detail::read_direct(com().get(), count, reply.Receive()));
        return reply.Utf8();
    }

private:
    static std::string option_string(const OpenOptions& options) {
        if (!options.simulate) return options.options;
        return options.options.empty() ? "Simulate=true" : "Simulate=true, " + options.options;
    }
    static ComPtr<IIviDriverUtility> utility_of(const ComPtr<IZentrava>& root) {
        ComPtr<IIviDriverUtility> utility;
        check(query<IIviDriver>(root, IID_IIviDriver)->get_Utility(utility.Receive()));
        return utility;
    }
    void close_quietly() noexcept {
        try {
            close();
        } catch (const Error&) {
            // A destructor cannot report it; the session is gone either way.
        }
    }

    ComPtr<IIviDriverUtility> utility_;
    std::atomic<bool> closed_{false};
};

}  // namespace zentrava
