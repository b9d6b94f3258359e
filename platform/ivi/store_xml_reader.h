// Turns the XML text of a configuration store file into StoreContents.
#pragma once

#include <string>
#include <string_view>

#include "platform/ivi/config_store.h"

namespace ivi {

// Returns false with a message ("line N: ...") when the text is not a
// well-formed store; out is then unspecified.
bool ReadStoreXml(std::string_view xml, StoreContents& out, std::string& error);

}  // namespace ivi
