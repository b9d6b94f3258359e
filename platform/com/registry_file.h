// Internal: the registry file as a pugixml document, read under a shared
// lock and changed under an exclusive one.
#pragma once

#include <functional>
#include <pugixml.hpp>

#include "zentrava/com.h"

namespace com_detail {

// Calls read with the current content (an empty document when there is no
// file yet). REGDB_E_READREGDB when the file cannot be read or parsed.
HRESULT ReadRegistryFile(const std::function<void(const pugi::xml_document&)>& read);

// Loads the content, lets change edit it and, when change returns S_OK,
// replaces the file with the result. S_FALSE from change means "nothing to
// write" and is passed back; a failure from change is passed back unwritten.
HRESULT UpdateRegistryFile(const std::function<HRESULT(pugi::xml_document&)>& change);

}  // namespace com_detail
