#include "services/tracing/trace_values.h"

#include <algorithm>

#include "platform/text/number_codec.h"
#include "services/error_manager.h"

namespace ztv {
namespace {

constexpr const char* kNull = "<null>";

std::string BooleanText(VARIANT_BOOL value) { return value ? "true" : "false"; }

// One element of an array's storage, by its element type.
std::string ElementText(VARTYPE vt, const void* element) {
    switch (vt) {
        case VT_R8:
            return codec::FormatG15(*static_cast<const double*>(element));
        case VT_R4:
            return codec::FormatG15(*static_cast<const float*>(element));
        case VT_I4:
            return std::to_string(*static_cast<const LONG*>(element));
        case VT_I2:
            return std::to_string(*static_cast<const SHORT*>(element));
        case VT_UI1:
            return std::to_string(*static_cast<const BYTE*>(element));
        case VT_BOOL:
            return BooleanText(*static_cast<const VARIANT_BOOL*>(element));
        case VT_BSTR:
            return WideToUtf8(*static_cast<const BSTR*>(element));
        case VT_VARIANT:
            return VariantText(*static_cast<const VARIANT*>(element));
        default:
            return "<unknown>";
    }
}

void DescribeArray(SAFEARRAY* array, long elementLimit, TracedValue& out) {
    if (!array) {
        out.text = kNull;
        return;
    }
    out.text = "<array>";
    out.isArray = true;
    out.dimensions = SafeArrayGetDim(array);
    std::size_t total = out.dimensions > 0 ? 1 : 0;
    for (unsigned d = 1; d <= out.dimensions; ++d) {
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(array, d, &lower);
        SafeArrayGetUBound(array, d, &upper);
        const std::size_t size = upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0;
        if (d > 1) out.dimensionSizes += ',';
        out.dimensionSizes += std::to_string(size);
        total *= size;
    }
    if (elementLimit <= 0 || total == 0) return;
    const std::size_t listed = std::min(total, static_cast<std::size_t>(elementLimit));
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(array, &vt);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return;
    const std::size_t size = SafeArrayGetElemsize(array);
    out.elements.reserve(listed);
    for (std::size_t i = 0; i < listed; ++i)
        out.elements.push_back(ElementText(vt, static_cast<const char*>(data) + i * size));
    SafeArrayUnaccessData(array);
}

}  // namespace

std::string VariantText(const VARIANT& value) {
    if (value.vt & VT_ARRAY) return "<array>";
    switch (value.vt) {
        case VT_EMPTY:
            return "<empty>";
        case VT_NULL:
            return kNull;
        case VT_I1:
            return std::to_string(static_cast<signed char>(value.bVal));
        case VT_UI1:
            return std::to_string(value.bVal);
        case VT_I2:
            return std::to_string(value.iVal);
        case VT_UI2:
            return std::to_string(static_cast<USHORT>(value.iVal));
        case VT_I4:
        case VT_INT:
            return std::to_string(value.lVal);
        case VT_UI4:
        case VT_UINT:
            return std::to_string(static_cast<ULONG>(value.lVal));
        case VT_I8:
            return std::to_string(value.llVal);
        case VT_UI8:
            return std::to_string(static_cast<std::uint64_t>(value.llVal));
        case VT_R4:
            return codec::FormatG15(value.fltVal);
        case VT_R8:
            return codec::FormatG15(value.dblVal);
        case VT_BOOL:
            return BooleanText(value.boolVal);
        case VT_BSTR:
            return WideToUtf8(value.bstrVal);
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return "<interface>";
        case VT_VARIANT:
        case VT_VARIANT | VT_BYREF:
            return "<variant>";
        default:
            return "<unknown>";
    }
}

TracedValue DescribeValue(const TraceArg& arg, long elementLimit) {
    TracedValue out;
    if (!arg.value) {
        out.text = kNull;
        return out;
    }
    const void* v = arg.value;
    switch (arg.type) {
        case TraceType::Boolean:
            out.text = BooleanText(*static_cast<const VARIANT_BOOL*>(v));
            break;
        case TraceType::LongBoolean:
            out.text = BooleanText(*static_cast<const LONG*>(v) != 0);
            break;
        case TraceType::Byte:
            out.text = std::to_string(*static_cast<const BYTE*>(v));
            break;
        case TraceType::Int16:
            out.text = std::to_string(*static_cast<const SHORT*>(v));
            break;
        case TraceType::Int32:
            out.text = std::to_string(*static_cast<const LONG*>(v));
            break;
        case TraceType::Float:
            out.text = codec::FormatG15(*static_cast<const float*>(v));
            break;
        case TraceType::Double:
            out.text = codec::FormatG15(*static_cast<const double*>(v));
            break;
        case TraceType::Text:
            out.text = *static_cast<const std::string*>(v);
            break;
        case TraceType::TextView:
            out.text = *static_cast<const std::string_view*>(v);
            break;
        case TraceType::Bstr:
            out.text = WideToUtf8(*static_cast<const BSTR*>(v));
            break;
        case TraceType::Array:
            DescribeArray(*static_cast<SAFEARRAY* const*>(v), elementLimit, out);
            break;
        case TraceType::Variant: {
            const VARIANT& variant = *static_cast<const VARIANT*>(v);
            if (variant.vt & VT_ARRAY)
                DescribeArray(variant.parray, elementLimit, out);
            else
                out.text = VariantText(variant);
            break;
        }
        case TraceType::Interface:
            out.text = *static_cast<void* const*>(v) ? "<interface>" : kNull;
            break;
    }
    return out;
}

}  // namespace ztv
