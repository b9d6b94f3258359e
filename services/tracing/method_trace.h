// One traced call: a "Method" record opened when the call begins and
// completed (outputs, end time) when it returns. A call made while the
// trace is not recording leaves no record and costs one flag test.
//
//     CMethodTrace trace;
//     trace.Begin(&owner, "IZentrava", "get_Attenuation", {TraceArg::Out("val", val)});
//     ...                    // the call's work; the destructor ends the record
#pragma once

#include <initializer_list>
#include <span>

#include "services/tracing/trace_arg.h"
#include "services/tracing/trace_owner.h"

namespace ztv {

class CMethodTrace {
public:
    CMethodTrace() = default;
    ~CMethodTrace() { End(); }
    CMethodTrace(const CMethodTrace&) = delete;
    CMethodTrace& operator=(const CMethodTrace&) = delete;

    // Arguments in declaration order; only the first 25 are recorded.
    void Begin(CTraceOwner* owner, const char* iface, const char* member, std::initializer_list<TraceArg> args = {}) {
        if (owner && owner->IsRecording()) Open(*owner, iface, member, {args.begin(), args.size()});
    }
    void Begin(CTraceOwner* owner, const char* iface, const char* member, std::span<const TraceArg> args) {
        if (owner && owner->IsRecording()) Open(*owner, iface, member, args);
    }
    bool Active() const { return record_ != nullptr; }
    // Fills in the outputs and the end time, then lets the owner save when its
    // interval has passed. The destructor ends a record that is still open.
    void End() {
        if (record_) Close();
    }

private:
    struct Record;
    void Open(CTraceOwner& owner, const char* iface, const char* member, std::span<const TraceArg> args);
    void Close();

    // Owned; a plain pointer so that an idle trace needs nothing of Record.
    Record* record_ = nullptr;
};

}  // namespace ztv
