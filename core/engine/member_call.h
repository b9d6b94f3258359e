// One run of an object-model member: it holds the locks, the call context and
// the error scope for the member's whole run and offers the checks that every
// member makes, in the order members make them.
#pragma once

#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "core/engine/command_text.h"
#include "core/engine/model_desc.h"
#include "core/engine/object_node.h"
#include "services/tracing/method_trace.h"

namespace ztv::engine {

class MemberCall {
public:
    // Takes the root's lock (for a measurement or marker) and then the node's
    // own, enters the call context and opens the error scope of the member's
    // interface; the destructor undoes all of it.
    MemberCall(CObjectNode& node, const MemberDesc& desc);
    ~MemberCall();
    MemberCall(const MemberCall&) = delete;
    MemberCall& operator=(const MemberCall&) = delete;

    CObjectNode& Node() { return node_; }
    const MemberDesc& Desc() const { return desc_; }
    // The driver object of the session; null when the node has been cut off.
    Zentrava* Root() { return root_; }

    // Reports E_IVI_NOT_INITIALIZED unless the session is open, then clears
    // the thread's error object.
    HRESULT RequireInitialized();
    // E_ZENTRAVA_MODEL_NOT_SUPPORTED when the connected model is not in the
    // member's set.
    HRESULT CheckModel();
    // E_IVI_INVALID_VALUE for an enumeration value the current model refuses.
    HRESULT CheckAccepted(const EnumDesc& type, LONG value, const char* param);
    // E_IVI_NULL_POINTER naming this member and the parameter.
    HRESULT NullPointer(const char* param);
    // Opens the member's trace record with its parameters (a setter's new
    // value, a getter's preset output); the record is completed when the call
    // ends. Costs one flag test while the session does not trace.
    void Trace(std::initializer_list<TraceArg> args = {}) {
        trace_.Begin(tracer_, desc_.iface->name, desc_.name, args);
    }
    void Trace(std::span<const TraceArg> args) { trace_.Begin(tracer_, desc_.iface->name, desc_.name, args); }

    bool Simulating() const;
    // The instrument model the tables are consulted with.
    std::string_view Model() const;

    const CErrorManager& Errors() { return node_.Errors(); }
    CDriverIOManager& IO() { return node_.IO(); }
    CCacheManager& Cache() { return node_.Cache(); }

    CommandNumbers Numbers() const;
    // Command text i of the member with the trace and marker numbers filled in.
    std::string Command(std::size_t i, std::span<const CommandArg> args = {}) const;

private:
    CObjectNode& node_;
    const MemberDesc& desc_;
    Zentrava* root_ = nullptr;
    std::unique_lock<std::recursive_mutex> rootLock_;
    std::unique_lock<std::recursive_mutex> ownLock_;
    GUID savedScope_ = GUID_NULL;
    GUID savedRootScope_ = GUID_NULL;
    CTraceOwner* tracer_ = nullptr;
    CMethodTrace trace_;  // ends before the locks are released
};

// Pushes a command onto the node's command stack for the pipeline's command
// forms and pops it again when the scope ends.
class CurrentCommand {
public:
    CurrentCommand(CDriverIOManager& io, std::string text) : io_(io) { io_.PushCommand(std::move(text)); }
    ~CurrentCommand() { io_.PopCommand(); }
    CurrentCommand(const CurrentCommand&) = delete;
    CurrentCommand& operator=(const CurrentCommand&) = delete;

private:
    CDriverIOManager& io_;
};

// Enumeration tables (model-based rows: a value is accepted on every model
// unless it names one; tokens apply to every model).
bool IsValueAccepted(const EnumDesc& type, LONG value, std::string_view model);
const char* TokenOf(const EnumDesc& type, LONG value);
const EnumValueDesc* ValueOfToken(const EnumDesc& type, std::string_view token);
const EnumValueDesc* FindValue(const EnumDesc& type, LONG value);

}  // namespace ztv::engine
