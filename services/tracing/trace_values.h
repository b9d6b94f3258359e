// The texts a trace records for one argument value: "%.15g" for floating
// point, decimal integers, "true"/"false", strings as they are, "<empty>",
// "<null>", "<interface>", "<variant>", "<unknown>"; arrays with their
// dimensions and, when asked for, their first elements in storage order.
#pragma once

#include <string>
#include <vector>

#include "services/tracing/trace_arg.h"

namespace ztv {

struct TracedValue {
    std::string text;  // the value, or "<array>" for an array
    bool isArray = false;
    unsigned dimensions = 0;
    std::string dimensionSizes;         // sizes separated by ","
    std::vector<std::string> elements;  // at most the element limit of them
};

// Reads the argument's value (through its location for outputs). Array
// elements are listed only up to elementLimit; 0 or less lists none.
TracedValue DescribeValue(const TraceArg& arg, long elementLimit);

std::string VariantText(const VARIANT& value);

}  // namespace ztv
