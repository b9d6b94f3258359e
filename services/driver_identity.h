// Fixed facts about the driver: its class identity and the values its
// identity members answer. Built once, kept for the life of the process.
#pragma once

#include <string_view>

#include "zentrava/com.h"

namespace ztv {

inline constexpr std::string_view kDriverDescription = "IVI Driver for OrvaneQ7310x family of QVX";
inline constexpr std::string_view kDriverRevision = "1.0.9.0";
inline constexpr std::string_view kDriverVendor = "Orvane Technologies";
inline constexpr std::string_view kGroupCapabilities = "";
inline constexpr std::string_view kDriverIdentifier = "Zentrava";
inline constexpr std::string_view kIviCPrefix = "Ztv";  // also the configuration store's software module
inline constexpr std::string_view kDefaultModel = "Q7310B";

inline constexpr std::string_view kClsidZentrava = "{4a62ca90-81d4-4a6d-91b8-8d2816874b05}";
inline constexpr std::string_view kProgId = "Zentrava.Zentrava.1";
inline constexpr std::string_view kVersionIndependentProgId = "Zentrava.Zentrava";
inline constexpr std::string_view kFriendlyName = "Zentrava Object";
inline constexpr std::string_view kAppId = "{361ff2e8-a895-462c-a27c-1bbcc07de9be}";
inline constexpr std::string_view kLibId = "{31f79f5e-74dc-4e9e-be0e-8612668e7863}";
inline constexpr std::string_view kHelpFile = "Zentrava.chm";

const CLSID& ClsidZentrava();

}  // namespace ztv
