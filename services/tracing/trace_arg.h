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

// The trace type of a C++ argument type. VARIANT_BOOL is the same C++ type as
// SHORT, so booleans are named explicitly (InBoolean, OutBoolean).
template <class T>
struct TraceTypeOf;
template <>
struct TraceTypeOf<BYTE> {
    static constexpr TraceType value = TraceType::Byte;
};
template <>
struct TraceTypeOf<SHORT> {
    static constexpr TraceType value = TraceType::Int16;
};
template <>
struct TraceTypeOf<LONG> {
    static constexpr TraceType value = TraceType::Int32;
};
template <>
struct TraceTypeOf<float> {
    static constexpr TraceType value = TraceType::Float;
};
template <>
struct TraceTypeOf<double> {
    static constexpr TraceType value = TraceType::Double;
};
template <>
struct TraceTypeOf<std::string> {
    static constexpr TraceType value = TraceType::Text;
};
template <>
struct TraceTypeOf<std::string_view> {
    static constexpr TraceType value = TraceType::TextView;
};
template <>
struct TraceTypeOf<BSTR> {
    static constexpr TraceType value = TraceType::Bstr;
};
template <>
struct TraceTypeOf<SAFEARRAY*> {
    static constexpr TraceType value = TraceType::Array;
};
template <>
struct TraceTypeOf<VARIANT> {
    static constexpr TraceType value = TraceType::Variant;
};

struct TraceArg {
    const char* name;
    TraceDirection direction;
    TraceType type;
    const void* value;  // the value itself (inputs) or the caller's output location

    // Inputs are read once, while the record begins.
    template <class T>
    static TraceArg In(const char* name, const T& v) {
        return {name, TraceDirection::In, TraceTypeOf<T>::value, &v};
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
        return {name, TraceDirection::Out, TraceTypeOf<T>::value, location};
    }
    template <class T>
    static TraceArg InOut(const char* name, T* location) {
        return {name, TraceDirection::InOut, TraceTypeOf<T>::value, location};
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
