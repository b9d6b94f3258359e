// One argument of a traced call: its name, its direction and where its value
// lives. It is only a view; the record reads the value when it begins and
// reads outputs again when it ends, so output locations must outlive the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zentrava/com.h"

namespace ztv {

enum class TraceDirection : std::uint8_t { In, Out, InOut };

enum class TraceType : std::uint8_t {
    Boolean,      // VARIANT_BOOL
    LongBoolean,  // a VARIANT_BOOL widened to LONG
    Byte,         // BYTE
    Int16,        // SHORT
    Int32,        // LONG
    Float,        // float
    Double,       // double
    Text,         // std::string in the ANSI code page
    TextView,     // std::string_view in the ANSI code page
    Bstr,         // BSTR
    Array,        // SAFEARRAY*
    Variant,      // VARIANT
    Interface,    // any interface pointer
};

// The trace type of the value at a location; a type with no trace type does
// not compile. VARIANT_BOOL is the same C++ type as SHORT, so booleans are
// named explicitly (InBoolean, OutBoolean).
constexpr TraceType TraceTypeAt(const BYTE*) { return TraceType::Byte; }
constexpr TraceType TraceTypeAt(const SHORT*) { return TraceType::Int16; }
constexpr TraceType TraceTypeAt(const LONG*) { return TraceType::Int32; }
constexpr TraceType TraceTypeAt(const float*) { return TraceType::Float; }
constexpr TraceType TraceTypeAt(const double*) { return TraceType::Double; }
constexpr TraceType TraceTypeAt(const std::string*) { return TraceType::Text; }
constexpr TraceType TraceTypeAt(const std::string_view*) { return TraceType::TextView; }
constexpr TraceType TraceTypeAt(const BSTR*) { return TraceType::Bstr; }
constexpr TraceType TraceTypeAt(SAFEARRAY* const*) { return TraceType::Array; }
constexpr TraceType TraceTypeAt(const VARIANT*) { return TraceType::Variant; }

struct TraceArg {
    const char* name;
    TraceDirection direction;
    TraceType type;
    const void* value;  // the value itself (inputs) or the caller's output location

    // Inputs are read once, while the record begins.
    template <class T>
    static TraceArg In(const char* name, const T& v) {
        return {name, TraceDirection::In, TraceTypeAt(&v), &v};
    }
    static TraceArg InBoolean(const char* name, const VARIANT_BOOL& v) {
        return {name, TraceDirection::In, TraceType::Boolean, &v};
    }
    static TraceArg InBoolean(const char* name, const LONG& v) {
        return {name, TraceDirection::In, TraceType::LongBoolean, &v};
    }
    // Outputs and in-outs are read when the record begins (the preset value)
    // and again when it ends; a null location is traced as "<null>".
    template <class T>
    static TraceArg Out(const char* name, T* location) {
        return {name, TraceDirection::Out, TraceTypeAt(location), location};
    }
    template <class T>
    static TraceArg InOut(const char* name, T* location) {
        return {name, TraceDirection::InOut, TraceTypeAt(location), location};
    }
    static TraceArg OutBoolean(const char* name, VARIANT_BOOL* location) {
        return {name, TraceDirection::Out, TraceType::Boolean, location};
    }
    // A child object handed out: "<interface>" once set, "<null>" before.
    template <class I>
    static TraceArg OutInterface(const char* name, I** location) {
        return {name, TraceDirection::Out, TraceType::Interface, location};
    }
};

// The most arguments one record keeps; later ones are left out.
inline constexpr std::size_t kMaxTracedArguments = 25;

}  // namespace ztv
