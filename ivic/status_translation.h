// From COM result codes to IVI-C status codes, and the IVI-C error texts.
#pragma once

#include <string_view>

#include "zentrava/com.h"
#include "zentrava/visatype.h"

namespace ztv {

constexpr ViStatus kIviCGenericFailure = static_cast<ViStatus>(0x80000000u);

// CIviCErrorMap: codes outside the table give the generic failure when
// negative and 0 otherwise.
ViStatus IviCStatusOf(HRESULT code);

// Maps the code, then moves the calling thread's COM error object (if any)
// into the session's error record.
ViStatus TranslateStatus(ViSession vi, HRESULT code);

// CIviCErrorDescriptionMap: the message of an IVI-C status without the
// driver prefix; empty when the status has no row.
std::string_view IviCDescriptionOf(ViStatus status);

// The text-output rule for caller buffers of `size` bytes.
ViStatus StoreText(BSTR text, ViInt32 size, ViChar* buffer);
ViStatus StoreText(std::string_view text, ViInt32 size, ViChar* buffer);

}  // namespace ztv
