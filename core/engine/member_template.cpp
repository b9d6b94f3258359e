#include "core/engine/member_template.h"

#include <array>
#include <type_traits>

#include "core/driver.h"
#include "core/engine/shared_selectors.h"
#include "core/option_parsing.h"
#include "platform/text/number_codec.h"

namespace ztv::engine {
namespace {

// While simulating, an array reader answers five zeros.
constexpr ULONG kSimulatedArrayLength = 5;
// Array writers send the prefix and the values with this time-out.
constexpr LONG kArrayWriteTimeout = 5000;
constexpr std::string_view kAsciiFormat = "FORM:DATA ASC";

VARIANT_BOOL SimulatedBool(const MemberDesc& d) { return d.simNumber != 0 ? VARIANT_TRUE : VARIANT_FALSE; }

// Steps up to the simulation branch of a property getter: initialized, the
// output pointer (then preset), the trace, the model.
template <class T>
HRESULT GetterPrologue(MemberCall& call, T* val, T preset) {
    HRESULT hr = call.RequireInitialized();
    if (FAILED(hr)) return hr;
    if (!val) return call.NullPointer(call.Desc().param);
    *val = preset;
    if constexpr (std::is_same_v<T, VARIANT_BOOL>)
        call.Trace({TraceArg::OutBoolean(call.Desc().param, val)});
    else
        call.Trace({TraceArg::Out(call.Desc().param, val)});
    return call.CheckModel();
}

// The last value written while simulating, else the simulated value.
template <class T>
void SimulatedRead(MemberCall& call, T* val, T fallback) {
    const MemberDesc& d = call.Desc();
    if (d.sim == SimMode::LastValue && d.key && call.Cache().Get(d.key, val)) return;
    *val = fallback;
}

template <class T>
HRESULT SimulatedWrite(MemberCall& call, T val) {
    const MemberDesc& d = call.Desc();
    if (d.sim == SimMode::LastValue && d.key) call.Cache().Set(d.key, val);
    return S_OK;
}

HRESULT SetterPrologue(MemberCall& call, std::span<const TraceArg> traced) {
    const HRESULT hr = call.RequireInitialized();
    if (FAILED(hr)) return hr;
    call.Trace(traced);
    return call.CheckModel();
}

// A plain setter: the formatted command becomes the current one and is sent.
HRESULT SendSetting(MemberCall& call, CommandArg value) {
    const CommandArg args[] = {std::move(value)};
    CurrentCommand current(call.IO(), call.Command(0, args));
    return call.IO().InstrPrintCommand();
}

}  // namespace

// ---- getters ----------------------------------------------------------------------

HRESULT ReadBooleanBody(MemberCall& call, VARIANT_BOOL* val) {
    if (call.Simulating()) {
        SimulatedRead(call, val, SimulatedBool(call.Desc()));
        return S_OK;
    }
    CurrentCommand current(call.IO(), call.Command(0));
    return call.IO().InstrQueryCommandBool(val, kCurrentTimeout);
}

namespace {

// A number property's reading: the last value written or the simulated
// number while simulating, else the reply of its query.
template <class T>
HRESULT ReadNumberBody(MemberCall& call, T* val) {
    if (call.Simulating()) {
        SimulatedRead(call, val, static_cast<T>(call.Desc().simNumber));
        return S_OK;
    }
    CurrentCommand current(call.IO(), call.Command(0));
    return call.IO().InstrQueryCommand(val, kCurrentTimeout);
}

HRESULT ReadTextBody(MemberCall& call, BSTR* val) {
    const MemberDesc& d = call.Desc();
    if (call.Simulating()) {
        if (d.sim == SimMode::LastValue && d.key && call.Cache().Get(d.key, val)) return S_OK;
        *val = Utf8ToBstr(d.simText ? d.simText : "");
        return *val ? S_OK : E_OUTOFMEMORY;
    }
    CurrentCommand current(call.IO(), call.Command(0));
    return call.IO().InstrQueryCommand(val, kCurrentTimeout);
}

// Every property getter: the prologue with the type's preset output, then its body.
template <class T>
HRESULT GetValue(CObjectNode& node, const MemberDesc& d, T* val, T preset, HRESULT (*body)(MemberCall&, T*)) {
    return Guarded([&] {
        MemberCall call(node, d);
        const HRESULT hr = GetterPrologue<T>(call, val, preset);
        return FAILED(hr) ? hr : body(call, val);
    });
}

}  // namespace

HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, VARIANT_BOOL* val) {
    return GetValue<VARIANT_BOOL>(node, d, val, VARIANT_TRUE, ReadBooleanBody);
}

HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, LONG* val) {
    return GetValue<LONG>(node, d, val, 0, ReadNumberBody<LONG>);
}

HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, double* val) {
    return GetValue<double>(node, d, val, 0.0, ReadNumberBody<double>);
}

HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, BSTR* val) {
    return GetValue<BSTR>(node, d, val, nullptr, ReadTextBody);
}

HRESULT ReadEnumBody(MemberCall& call, LONG* val) {
    const MemberDesc& d = call.Desc();
    if (call.Simulating()) {
        SimulatedRead(call, val, static_cast<LONG>(d.simNumber));
        return S_OK;
    }
    std::string reply;
    const HRESULT hr = call.IO().InstrQuery(call.Command(0), &reply, d.enumType->replyLength, kCurrentTimeout);
    if (FAILED(hr)) return hr;
    const EnumValueDesc* value = ValueOfToken(*d.enumType, reply);
    if (!value) return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    *val = value->number;
    return hr;
}

HRESULT GetEnumNumber(CObjectNode& node, const MemberDesc& d, LONG* val, bool hasOutput) {
    return Guarded([&] {
        MemberCall call(node, d);
        const HRESULT hr = GetterPrologue<LONG>(call, hasOutput ? val : nullptr, 0);
        return FAILED(hr) ? hr : ReadEnumBody(call, val);
    });
}

// ---- setters ----------------------------------------------------------------------

namespace {

// How a setter of each value type traces its value and puts it in its command.
template <class T>
struct Setting;
template <>
struct Setting<VARIANT_BOOL> {
    static TraceArg Traced(const char* name, const VARIANT_BOOL& val) { return TraceArg::InBoolean(name, val); }
    static CommandArg Argument(VARIANT_BOOL val) { return CommandArg::Text(val ? "1" : "0"); }
};
template <>
struct Setting<LONG> {
    static TraceArg Traced(const char* name, const LONG& val) { return TraceArg::In(name, val); }
    static CommandArg Argument(LONG val) { return CommandArg::Integer(val); }
};
template <>
struct Setting<double> {
    static TraceArg Traced(const char* name, const double& val) { return TraceArg::In(name, val); }
    static CommandArg Argument(double val) { return CommandArg::Real(val); }
};
template <>
struct Setting<BSTR> {
    static TraceArg Traced(const char* name, const BSTR& val) { return TraceArg::In(name, val); }
    static CommandArg Argument(BSTR val) { return CommandArg::Text(WideToUtf8(val)); }
};

HRESULT SimulatedWrite(MemberCall& call, BSTR val) {
    const MemberDesc& d = call.Desc();
    if (d.sim == SimMode::LastValue && d.key) call.Cache().Set(d.key, val ? val : u"");
    return S_OK;
}

template <class T>
HRESULT PutValue(CObjectNode& node, const MemberDesc& d, T val) {
    return Guarded([&] {
        MemberCall call(node, d);
        const TraceArg traced[] = {Setting<T>::Traced(d.param, val)};
        const HRESULT hr = SetterPrologue(call, traced);
        if (FAILED(hr)) return hr;
        if (call.Simulating()) return SimulatedWrite(call, val);
        return SendSetting(call, Setting<T>::Argument(val));
    });
}

}  // namespace

HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, VARIANT_BOOL val) { return PutValue(node, d, val); }
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, LONG val) { return PutValue(node, d, val); }
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, double val) { return PutValue(node, d, val); }
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, BSTR val) { return PutValue(node, d, val); }

HRESULT PutEnumNumber(CObjectNode& node, const MemberDesc& d, LONG val) {
    return Guarded([&] {
        MemberCall call(node, d);
        const TraceArg traced[] = {TraceArg::In(d.param, val)};
        HRESULT hr = SetterPrologue(call, traced);
        if (FAILED(hr)) return hr;
        if (d.enumType->hasRestrictedValues) {
            hr = call.CheckAccepted(*d.enumType, val, d.param);
            if (FAILED(hr)) return hr;
        }
        if (call.Simulating()) return SimulatedWrite(call, val);
        const char* token = TokenOf(*d.enumType, val);
        if (!token) return S_OK;  // a value without a token has nothing to send
        return SendSetting(call, CommandArg::Text(token));
    });
}

// ---- methods ----------------------------------------------------------------------

namespace {
CommandArg Named(CommandArg arg, const char* name) {
    arg.name = name;
    return arg;
}

// How a method's argument is traced: under its name, with the value it had
// before conversion (a boolean as true/false).
TraceArg Traced(const CommandArg& arg) {
    switch (arg.kind) {
        case CommandArg::Kind::Integer:
            return arg.boolean ? TraceArg::InBoolean(arg.name, arg.integer) : TraceArg::In(arg.name, arg.integer);
        case CommandArg::Kind::Real:
            return TraceArg::In(arg.name, arg.real);
        case CommandArg::Kind::Text:
            break;
    }
    return TraceArg::In(arg.name, arg.text);
}
}  // namespace

CommandArg Arg(const char* name, VARIANT_BOOL value) {
    CommandArg arg = Named(CommandArg::Integer(value), name);
    arg.boolean = true;
    return arg;
}
CommandArg Arg(const char* name, LONG value) { return Named(CommandArg::Integer(value), name); }
CommandArg Arg(const char* name, double value) { return Named(CommandArg::Real(value), name); }
CommandArg Arg(const char* name, BSTR value) { return Named(CommandArg::Text(WideToUtf8(value)), name); }

HRESULT InvokeCommand(CObjectNode& node, const MemberDesc& d, std::initializer_list<CommandArg> args) {
    return Guarded([&] {
        MemberCall call(node, d);
        std::array<TraceArg, kMaxTracedArguments> traced{};
        std::size_t count = 0;
        for (const CommandArg& arg : args)
            if (count < traced.size()) traced[count++] = Traced(arg);
        HRESULT hr = SetterPrologue(call, std::span<const TraceArg>(traced.data(), count));
        if (FAILED(hr) || call.Simulating()) return hr;
        if (args.size() > 0) return call.IO().InstrWrite(call.Command(0, args), kCurrentTimeout);
        for (std::size_t i = 0; i < d.commands.size() && SUCCEEDED(hr); ++i) {
            CurrentCommand current(call.IO(), call.Command(i));
            hr = call.IO().InstrPrintCommand();
        }
        return hr;
    });
}

HRESULT ReadArrayBody(MemberCall& call, std::size_t query, SAFEARRAY** pVal) {
    const MemberDesc& d = call.Desc();
    if (d.commands.size() > 1 && kAsciiFormat == d.commands[0]) {
        const HRESULT hr = call.IO().InstrWrite(call.Command(0), kCurrentTimeout);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = call.IO().InstrWriteNoPoll(call.Command(query), kCurrentTimeout);
    if (FAILED(hr)) return hr;
    return call.IO().Provider().FormattedReadList(pVal, kCurrentTimeout);
}

HRESULT ReadArray(CObjectNode& node, const MemberDesc& d, SAFEARRAY** pVal) {
    return Guarded([&] {
        MemberCall call(node, d);
        HRESULT hr = GetterPrologue<SAFEARRAY*>(call, pVal, nullptr);
        if (FAILED(hr)) return hr;
        if (call.Simulating()) {
            SAFEARRAY* zeros = SafeArrayCreateVector(VT_R8, 0, kSimulatedArrayLength);
            if (!zeros) return E_OUTOFMEMORY;
            *pVal = zeros;
            return S_OK;
        }
        const bool ascii = d.commands.size() > 1 && kAsciiFormat == d.commands[0];
        return ReadArrayBody(call, ascii ? 1 : 0, pVal);
    });
}

HRESULT WriteArray(CObjectNode& node, const MemberDesc& d, SAFEARRAY* val) {
    return Guarded([&] {
        MemberCall call(node, d);
        const TraceArg traced[] = {TraceArg::In(d.param, val)};
        HRESULT hr = SetterPrologue(call, traced);
        if (FAILED(hr) || call.Simulating()) return hr;
        if (!val) return call.NullPointer(d.param);
        std::size_t next = 0;
        if (d.commands.size() > 1 && kAsciiFormat == d.commands[0]) {
            hr = call.IO().InstrWrite(call.Command(next++), kCurrentTimeout);
            if (FAILED(hr)) return hr;
        }
        if (d.items > 0) {
            // Tables the instrument counts in items of several values: the item
            // count goes first, and the values must fill whole items.
            LONG lower = 0, upper = -1;
            SafeArrayGetLBound(val, 1, &lower);
            SafeArrayGetUBound(val, 1, &upper);
            const LONG length = upper - lower + 1;
            if (length % d.items != 0) return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
            const CommandArg count[] = {CommandArg::Integer(length / d.items)};
            hr = call.IO().InstrWrite(call.Command(next++, count), kCurrentTimeout);
            if (FAILED(hr)) return hr;
        }
        CDriverIOProvider& io = call.IO().Provider();
        hr = io.FormattedWriteString(call.Command(next), false, kArrayWriteTimeout);
        if (FAILED(hr)) return hr;
        return io.FormattedWriteList(val, true, kArrayWriteTimeout);
    });
}

// ---- children and collections -----------------------------------------------------

HRESULT GetChild(CObjectNode& node, const MemberDesc& d, void** val) {
    return Guarded([&] {
        MemberCall call(node, d);
        if (!val) return call.NullPointer(d.param);
        *val = nullptr;
        call.Trace({TraceArg::OutInterface(d.param, val)});
        const HRESULT hr = call.CheckModel();
        if (FAILED(hr)) return hr;
        if (d.select) SelectShared(d.select);
        return node.QueryFacet(*d.target, val);
    });
}

HRESULT GetItem(CObjectNode& node, const MemberDesc& d, BSTR name, void** val) {
    return Guarded([&] {
        MemberCall call(node, d);
        HRESULT hr = call.CheckModel();
        if (FAILED(hr)) return hr;
        if (!val) return E_POINTER;
        *val = nullptr;
        call.Trace({TraceArg::In("Name", name), TraceArg::OutInterface(d.param, val)});
        const CObjectNode::Collection* collection = node.FindCollection(d.collection);
        if (!collection) return E_UNEXPECTED;
        const std::string wanted(codec::TrimBlanks(WideToUtf8(name)));
        CChildNode* found = nullptr;
        if (collection->instances.size() == 1 && wanted.empty()) found = collection->instances.front().get();
        for (const com::ComPtr<CChildNode>& child : collection->instances) {
            if (found) break;
            if (EqualsIgnoreCase(wanted, child->PhysicalName())) found = child.get();
        }
        if (!found) return call.Errors().ReportError(IDS_E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER);
        *val = found->DefaultInterface();
        found->AddRef();
        return S_OK;
    });
}

namespace {

// The steps the Count and Name getters share up to the collection they read:
// initialized, the model, the output pointer, the trace.
HRESULT CollectionOf(MemberCall& call, CObjectNode& node, const void* val, std::span<const TraceArg> traced,
                     const CObjectNode::Collection** collection) {
    HRESULT hr = call.RequireInitialized();
    if (SUCCEEDED(hr)) hr = call.CheckModel();
    if (FAILED(hr)) return hr;
    if (!val) return E_POINTER;
    call.Trace(traced);
    *collection = node.FindCollection(call.Desc().collection);
    return *collection ? S_OK : E_UNEXPECTED;
}

}  // namespace

HRESULT GetCount(CObjectNode& node, const MemberDesc& d, LONG* val) {
    return Guarded([&] {
        MemberCall call(node, d);
        const TraceArg traced[] = {TraceArg::Out(d.param, val)};
        const CObjectNode::Collection* collection = nullptr;
        if (HRESULT hr = CollectionOf(call, node, val, traced, &collection); FAILED(hr)) return hr;
        *val = static_cast<LONG>(collection->instances.size());
        return S_OK;
    });
}

HRESULT GetName(CObjectNode& node, const MemberDesc& d, LONG index, BSTR* val) {
    return Guarded([&] {
        MemberCall call(node, d);
        const TraceArg traced[] = {TraceArg::In("Index", index), TraceArg::Out(d.param, val)};
        const CObjectNode::Collection* collection = nullptr;
        if (HRESULT hr = CollectionOf(call, node, val, traced, &collection); FAILED(hr)) return hr;
        if (index < 1 || index > static_cast<LONG>(collection->instances.size()))
            return call.Errors().ReportInvalidValueError(d.name, "Index", index);
        *val = Utf8ToBstr(collection->instances[static_cast<std::size_t>(index - 1)]->PhysicalName());
        return *val ? S_OK : E_OUTOFMEMORY;
    });
}

}  // namespace ztv::engine
