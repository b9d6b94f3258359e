#include "platform/visa/formatted/number_text.h"

#include <charconv>
#include <cmath>

#include "platform/text/number_codec.h"
#include "platform/visa/com_error.h"

namespace visa {
namespace {

// Integers keep their exact value; anything else goes through the real parser
// and is truncated toward zero.
bool ParseInteger(std::string_view token, long long low, long long high, long long* value) {
    const std::string_view trimmed = codec::TrimBlanks(token);
    long long whole = 0;
    const char* first = trimmed.data() + (!trimmed.empty() && trimmed.front() == '+' ? 1 : 0);
    const char* last = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(first, last, whole);
    if (error == std::errc() && stop == last && first != last) {
        *value = whole;
        return whole >= low && whole <= high;
    }
    double real = 0;
    if (!codec::ParseReal(trimmed, &real) || !std::isfinite(real)) return false;
    real = std::trunc(real);
    if (real < static_cast<double>(low) || real > static_cast<double>(high)) return false;
    *value = static_cast<long long>(real);
    return true;
}

HRESULT BadNumber(std::string_view token, const char* kind) {
    return ReportHresult(E_VISA_INV_FMT, "Cannot read \"" + std::string(token) + "\" as " + kind + ".");
}

// A scalar VARIANT as a double or an integer, for writing.
bool VariantAsReal(const VARIANT& value, double* real) {
    switch (value.vt) {
        case VT_I2:
            *real = value.iVal;
            return true;
        case VT_I4:
        case VT_INT:
            *real = value.lVal;
            return true;
        case VT_UI1:
            *real = value.bVal;
            return true;
        case VT_R4:
            *real = value.fltVal;
            return true;
        case VT_R8:
            *real = value.dblVal;
            return true;
        case VT_I8:
            *real = static_cast<double>(value.llVal);
            return true;
        case VT_BOOL:
            *real = value.boolVal != VARIANT_FALSE ? 1 : 0;
            return true;
        default:
            return false;
    }
}

}  // namespace

HRESULT AppendNumber(const VARIANT& value, IEEEASCIIType type, std::string* out) {
    if (value.vt == VT_BSTR && (type == ASCIIType_BSTR || type == ASCIIType_Any)) {
        out->append(WideToUtf8(BstrView(value.bstrVal)));
        return S_OK;
    }
    double real = 0;
    if (!VariantAsReal(value, &real)) {
        return ReportHresult(DISP_E_TYPEMISMATCH, "The value to write is not a number.");
    }
    switch (type) {
        case ASCIIType_R8:
            codec::AppendShortest(real, out);
            return S_OK;
        case ASCIIType_R4:
            codec::AppendShortest(static_cast<float>(real), out);
            return S_OK;
        case ASCIIType_I2:
        case ASCIIType_I4:
        case ASCIIType_UI1: {
            const double rounded = std::nearbyint(real);
            const double low = type == ASCIIType_I2 ? -32768.0 : type == ASCIIType_UI1 ? 0.0 : -2147483648.0;
            const double high = type == ASCIIType_I2 ? 32767.0 : type == ASCIIType_UI1 ? 255.0 : 2147483647.0;
            if (!(rounded >= low && rounded <= high)) {
                return ReportHresult(DISP_E_OVERFLOW, "The value to write does not fit the integer type.");
            }
            codec::AppendShortest(static_cast<long long>(rounded), out);
            return S_OK;
        }
        case ASCIIType_Any:
            if (value.vt == VT_R4) {
                codec::AppendShortest(value.fltVal, out);
            } else if (value.vt == VT_R8) {
                codec::AppendShortest(real, out);
            } else {
                codec::AppendShortest(static_cast<long long>(real), out);
            }
            return S_OK;
        case ASCIIType_BSTR:
            codec::AppendShortest(real, out);
            return S_OK;
    }
    return ReportHresult(E_INVALIDARG, "Unknown number type.");
}

HRESULT TokenToVariant(std::string_view token, IEEEASCIIType type, VARIANT* value) {
    long long whole = 0;
    double real = 0;
    switch (type) {
        case ASCIIType_R8:
        case ASCIIType_Any:
            if (!codec::ParseReal(token, &real)) return BadNumber(token, "a number");
            value->vt = VT_R8;
            value->dblVal = real;
            return S_OK;
        case ASCIIType_R4:
            if (!codec::ParseReal(token, &real)) return BadNumber(token, "a number");
            value->vt = VT_R4;
            value->fltVal = static_cast<float>(real);
            return S_OK;
        case ASCIIType_I2:
            if (!ParseInteger(token, -32768, 32767, &whole)) return BadNumber(token, "a 16-bit integer");
            value->vt = VT_I2;
            value->iVal = static_cast<SHORT>(whole);
            return S_OK;
        case ASCIIType_I4:
            if (!ParseInteger(token, -2147483648LL, 2147483647LL, &whole)) return BadNumber(token, "a 32-bit integer");
            value->vt = VT_I4;
            value->lVal = static_cast<LONG>(whole);
            return S_OK;
        case ASCIIType_UI1:
            if (!ParseInteger(token, 0, 255, &whole)) return BadNumber(token, "a byte");
            value->vt = VT_UI1;
            value->bVal = static_cast<BYTE>(whole);
            return S_OK;
        case ASCIIType_BSTR:
            value->vt = VT_BSTR;
            value->bstrVal = Utf8ToBstr(codec::TrimBlanks(token));
            return value->bstrVal != nullptr ? S_OK : ReportHresult(E_OUTOFMEMORY, "Out of memory for the text read.");
    }
    return ReportHresult(E_INVALIDARG, "Unknown number type.");
}

VARTYPE ListElementType(IEEEASCIIType type) {
    switch (type) {
        case ASCIIType_I2:
            return VT_I2;
        case ASCIIType_I4:
            return VT_I4;
        case ASCIIType_R4:
            return VT_R4;
        case ASCIIType_UI1:
            return VT_UI1;
        case ASCIIType_BSTR:
            return VT_BSTR;
        case ASCIIType_R8:
        case ASCIIType_Any:
            return VT_R8;
    }
    return VT_EMPTY;
}

}  // namespace visa
