// The tables the build generates from model/*.model (see tools/modelgen).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "core/engine/model_desc.h"

namespace ztv::engine {

// The driver object: its interfaces and its seven measurement collections.
extern const NodeClassDesc kRootNodeClass;

// The instrument models the data names, in the order of ModelSet's bits.
extern const std::span<const std::string_view> kModelNames;

// Every enumeration type, in the order the data declares them.
extern const EnumDesc* const kEnumTypes[];
extern const std::size_t kEnumTypeCount;

// What the generator emitted: interfaces, properties (child objects
// included) and methods of the object model.
struct ModelSize {
    std::size_t interfaces;
    std::size_t properties;
    std::size_t methods;
};
extern const ModelSize kModelSize;

}  // namespace ztv::engine
