// The generic member: every generated member body is one call of these
// functions with the member's static descriptor. Each runs the member's steps
// in order: locks, call context and error scope; initialization; output
// pointers; model; restricted enumeration values; simulation; the commands
// and the reply.
#pragma once

#include <initializer_list>
#include <new>
#include <string>

#include "core/engine/command_text.h"
#include "core/engine/member_call.h"
#include "core/engine/model_desc.h"

namespace ztv::engine {

// No exception leaves a member: lack of memory becomes E_OUTOFMEMORY.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Plain properties.
HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, VARIANT_BOOL* val);
HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, LONG* val);
HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, double* val);
HRESULT GetProperty(CObjectNode& node, const MemberDesc& d, BSTR* val);
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, VARIANT_BOOL val);
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, LONG val);
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, double val);
HRESULT PutProperty(CObjectNode& node, const MemberDesc& d, BSTR val);

// Enumeration properties travel as their 32-bit numbers.
HRESULT GetEnumNumber(CObjectNode& node, const MemberDesc& d, LONG* val, bool hasOutput);
HRESULT PutEnumNumber(CObjectNode& node, const MemberDesc& d, LONG val);

template <class E>
HRESULT GetEnumProperty(CObjectNode& node, const MemberDesc& d, E* val) {
    // The number starts as the caller's value, so that an output the member
    // never reached stays as it was.
    LONG number = val ? static_cast<LONG>(*val) : 0;
    const HRESULT hr = GetEnumNumber(node, d, &number, val != nullptr);
    if (val) *val = static_cast<E>(number);
    return hr;
}

template <class E>
HRESULT PutEnumProperty(CObjectNode& node, const MemberDesc& d, E val) {
    return PutEnumNumber(node, d, static_cast<LONG>(val));
}

// Methods: fixed commands, or one command formatted with the arguments in
// declared order.
HRESULT InvokeCommand(CObjectNode& node, const MemberDesc& d, std::initializer_list<CommandArg> args = {});

// Arguments as methods write them: booleans as "%d" of the VARIANT_BOOL, texts
// in the ANSI code page; the name is the parameter's, for the trace.
CommandArg Arg(const char* name, VARIANT_BOOL value);
CommandArg Arg(const char* name, LONG value);
CommandArg Arg(const char* name, double value);
CommandArg Arg(const char* name, BSTR value);

// Arrays of doubles.
HRESULT ReadArray(CObjectNode& node, const MemberDesc& d, SAFEARRAY** pVal);
HRESULT WriteArray(CObjectNode& node, const MemberDesc& d, SAFEARRAY* val);

// Child objects: another interface of the same object, or a collection's
// instance by name.
HRESULT GetChild(CObjectNode& node, const MemberDesc& d, void** val);
HRESULT GetItem(CObjectNode& node, const MemberDesc& d, BSTR name, void** val);

template <class I>
HRESULT GetChildInterface(CObjectNode& node, const MemberDesc& d, I** val) {
    return GetChild(node, d, reinterpret_cast<void**>(val));
}
template <class I>
HRESULT GetItemInterface(CObjectNode& node, const MemberDesc& d, BSTR name, I** val) {
    return GetItem(node, d, name, reinterpret_cast<void**>(val));
}

// Collections: Count and Name.
HRESULT GetCount(CObjectNode& node, const MemberDesc& d, LONG* val);
HRESULT GetName(CObjectNode& node, const MemberDesc& d, LONG index, BSTR* val);

// The generic bodies after their prologue, for hand-written members that
// differ from the generic ones in one direction only: simulation, the query
// of command 0 (an array reader: "FORM:DATA ASC" first when the member has it,
// then command `query`) and the reply's conversion.
HRESULT ReadBooleanBody(MemberCall& call, VARIANT_BOOL* val);
HRESULT ReadEnumBody(MemberCall& call, LONG* val);
HRESULT ReadArrayBody(MemberCall& call, std::size_t query, SAFEARRAY** pVal);

// Hand-written bodies: the prologue (initialization, the descriptor's output
// pointers in order, the trace of every parameter, model, restricted
// enumeration inputs), then the body.
template <class Body>
HRESULT RunCustom(CObjectNode& node, const MemberDesc& d, std::initializer_list<const void*> outputs,
                  std::initializer_list<LONG> restricted, std::initializer_list<TraceArg> traced, Body&& body) {
    return Guarded([&] {
        MemberCall call(node, d);
        HRESULT hr = call.RequireInitialized();
        if (FAILED(hr)) return hr;
        std::size_t i = 0;
        for (const void* output : outputs) {
            if (!output) return call.NullPointer(d.outputs[i].name);
            ++i;
        }
        call.Trace(traced);
        hr = call.CheckModel();
        if (FAILED(hr)) return hr;
        i = 0;
        for (LONG value : restricted) {
            const ParamCheck& check = d.restricted[i++];
            hr = call.CheckAccepted(*check.enumType, value, check.name);
            if (FAILED(hr)) return hr;
        }
        return body(call);
    });
}

}  // namespace ztv::engine
