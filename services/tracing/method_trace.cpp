#include "services/tracing/method_trace.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <pugixml.hpp>
#include <utility>
#include <vector>

#include "services/tracing/trace_values.h"

namespace ztv {
namespace {

// Calls come many to a second; the text of the last second is kept.
const char* TimeOfDay(std::time_t when) {
    thread_local std::time_t last = -1;
    thread_local char text[16];
    if (when != last) {
        std::tm local{};
        localtime_r(&when, &local);
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
        last = when;
    }
    return text;
}

long long ThreadId() {
    thread_local const long long id = gettid();
    return id;
}

// Only the seconds field of the elapsed time is kept: 75 seconds read "15".
std::string SecondsField(std::time_t start, std::time_t end) {
    const long elapsed = end > start ? static_cast<long>(end - start) : 0;
    char text[8];
    std::snprintf(text, sizeof text, "%02ld", elapsed % 60);
    return text;
}

const char* DirectionText(TraceDirection direction) {
    switch (direction) {
        case TraceDirection::In:
            return "In";
        case TraceDirection::Out:
            return "Out";
        case TraceDirection::InOut:
            return "InOut";
    }
    return "In";
}

// Value, then for arrays NumDims and DimSizes and the listed elements.
void WriteValue(pugi::xml_node parameter, const TracedValue& value) {
    parameter.remove_attribute("NumDims");
    parameter.remove_attribute("DimSizes");
    while (pugi::xml_node element = parameter.child("Element")) parameter.remove_child(element);
    pugi::xml_attribute text = parameter.attribute("Value");
    if (!text) text = parameter.append_attribute("Value");
    text.set_value(value.text.c_str());
    if (!value.isArray) return;
    parameter.append_attribute("NumDims") = value.dimensions;
    parameter.append_attribute("DimSizes") = value.dimensionSizes.c_str();
    for (const std::string& element : value.elements) parameter.append_child("Element").text().set(element.c_str());
}

}  // namespace

struct CMethodTrace::Record {
    CTraceOwner* owner;
    std::uint64_t generation;
    pugi::xml_node method;
    std::time_t start;
    long elementLimit;
    std::vector<std::pair<pugi::xml_node, TraceArg>> outputs;
};

void CMethodTrace::Open(CTraceOwner& owner, const char* iface, const char* member, std::span<const TraceArg> args) {
    End();
    pugi::xml_node root = owner.Root();
    if (!root) return;
    auto record = std::make_unique<Record>();
    record->owner = &owner;
    record->generation = owner.Generation();
    record->start = owner.Now();
    record->elementLimit = owner.GetTraceArrays() ? owner.GetArraySizeMax() : 0;
    record->method = root.append_child("Method");
    record->method.append_attribute("Name") = member;
    record->method.append_attribute("Interface") = iface;
    record->method.append_attribute("StartTime") = TimeOfDay(record->start);
    record->method.append_attribute("Thread") = ThreadId();
    std::size_t count = 0;
    for (const TraceArg& arg : args) {
        if (count++ == kMaxTracedArguments) break;
        pugi::xml_node parameter = record->method.append_child("Parameter");
        parameter.append_attribute("Name") = arg.name;
        parameter.append_attribute("Direction") = DirectionText(arg.direction);
        WriteValue(parameter, DescribeValue(arg, record->elementLimit));
        if (arg.direction != TraceDirection::In) record->outputs.emplace_back(parameter, arg);
    }
    record_ = record.release();
}

void CMethodTrace::Close() {
    const std::unique_ptr<Record> record(std::exchange(record_, nullptr));
    CTraceOwner& owner = *record->owner;
    // The document may have been replaced while the call ran (tracing
    // switched off); the record then has nowhere to go.
    if (owner.Generation() != record->generation) return;
    for (const auto& [parameter, arg] : record->outputs)
        WriteValue(parameter, DescribeValue(arg, record->elementLimit));
    const std::time_t end = owner.Now();
    record->method.append_attribute("EndTime") = TimeOfDay(end);
    record->method.append_attribute("ExecutionTime") = SecondsField(record->start, end).c_str();
    owner.SaveIfDue();
}

}  // namespace ztv
