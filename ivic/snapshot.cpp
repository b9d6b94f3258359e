#include "ivic/snapshot.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "ivic/attribute_names.h"
#include "ivic/attribute_table.h"
#include "ivic/call_frame.h"
#include "zentrava/Zentrava.h"

namespace ztv {
namespace {

using Json = nlohmann::ordered_json;

constexpr ViStatus kNotASnapshot = static_cast<ViStatus>(0xBFFA0001u);  // IVI_ERROR_CANNOT_RECOVER

// The selectors an attribute exists under: none at the driver level, else
// every measurement (and every marker of each) the session holds. Names are
// tried in turn until one is missing.
class Selectors {
public:
    explicit Selectors(ViSession vi) {
        IUnknown* object = nullptr;
        ViStatus status = 0;
        if (SUCCEEDED(SessionObject(vi, &object, &status))) object_ = ComRef::Share(object);
    }

    const std::vector<std::string>& Of(const AttributeRecord& record) {
        static const std::vector<std::string> kDriverLevel{""};
        if (record.path.depth == 0) return kDriverLevel;
        std::vector<std::string>& found = known_[{record.path.route, record.path.depth}];
        if (found.empty() && object_) Expand(*record.path.route, record.path.depth, &found);
        return found;
    }

private:
    static ComRef Item(IUnknown* from, const IID& collectionIid, ItemGetter item, const std::string& name) {
        ComRef collection, found;
        if (FAILED(from->QueryInterface(collectionIid, collection.ReceiveVoid())) || !collection) return {};
        const com::Bstr bstr(name);
        if (FAILED(item(collection.get(), bstr.get(), found.Receive()))) return {};
        return found;
    }

    void Expand(const RepCapRoute& route, int depth, std::vector<std::string>* out) const {
        for (int m = 1;; ++m) {
            const std::string measurementName = "Measurement" + std::to_string(m);
            const ComRef measurement = Item(object_.get(), *route.measurements, route.measurementItem, measurementName);
            if (!measurement) return;
            if (depth == 1) {
                out->push_back(measurementName);
                continue;
            }
            for (int k = 1;; ++k) {
                const std::string markerName = "Marker" + std::to_string(k);
                if (!Item(measurement.get(), *route.markers, route.markerItem, markerName)) break;
                out->push_back(measurementName + ":" + markerName);
            }
        }
    }

    ComRef object_;
    std::map<std::pair<const RepCapRoute*, int>, std::vector<std::string>> known_;
};

std::string Key(const AttributeInfo& a, const std::string& selector) {
    return selector.empty() ? a.name : std::string(a.name) + "[" + selector + "]";
}

// The session's description of a failure, else the status's own text.
std::string LastError(ViSession vi, ViStatus status) {
    ViStatus code = status;
    char text[1024] = "";
    Ztv_GetError(vi, &code, sizeof text, text);
    if (!*text) Ztv_error_message(vi, status, text);
    if (!*text) std::snprintf(text, sizeof text, "status 0x%08X", static_cast<unsigned>(status));
    return text;
}

std::string EnumToken(const AttributeInfo& a, long value) {
    for (const EnumValueInfo& v : Enums()[static_cast<std::size_t>(a.enumIndex)].values) {
        if (v.value == value) return v.name;
    }
    return std::to_string(value);
}

// JSON has no not-a-number or infinities: they travel as text.
Json RealValue(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    return v;
}

ViStatus Read(ViSession vi, const AttributeInfo& a, const std::string& selector, Json* value) {
    const ViAttr id = static_cast<ViAttr>(a.id);
    const std::string type = a.type;
    ViStatus status;
    if (type == "Real64") {
        ViReal64 v = 0;
        status = Ztv_GetAttributeViReal64(vi, selector.c_str(), id, &v);
        *value = RealValue(v);
    } else if (type == "Boolean") {
        ViBoolean v = VI_FALSE;
        status = Ztv_GetAttributeViBoolean(vi, selector.c_str(), id, &v);
        *value = v != VI_FALSE;
    } else if (type == "String") {
        std::vector<ViChar> text(4096);
        status = Ztv_GetAttributeViString(vi, selector.c_str(), id, static_cast<ViInt32>(text.size()), text.data());
        if (status > 0 && static_cast<std::size_t>(status) > text.size()) {
            text.resize(static_cast<std::size_t>(status));
            status = Ztv_GetAttributeViString(vi, selector.c_str(), id, static_cast<ViInt32>(text.size()), text.data());
        }
        *value = std::string(text.data());
    } else {
        ViInt32 v = 0;
        status = Ztv_GetAttributeViInt32(vi, selector.c_str(), id, &v);
        *value = type == "Enum" ? Json(EnumToken(a, v)) : Json(v);
    }
    return status;
}

std::string IdentityText(ViSession vi, ViAttr id) {
    char text[512] = "";
    return Ztv_GetAttributeViString(vi, "", id, sizeof text, text) >= 0 ? text : "";
}

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

const AttributeInfo* ByName(std::string_view name) {
    for (const AttributeInfo& a : Attributes()) {
        if (name == a.name) return &a;
    }
    return nullptr;
}

// Restore order: instrument-wide settings, then each application's own,
// its measurements' and its markers'; last the switches that set an
// application sweeping, so that nothing is measured half-configured.
int Rank(const AttributeInfo& a, const AttributeRecord& record) {
    const std::string scpi = a.scpi;
    if (scpi.rfind("INIT:", 0) == 0) return 4;
    if (std::string_view(a.name).rfind("APPLICATION_", 0) != 0) return 0;
    return 1 + record.path.depth;
}

// The value a setting gets from its JSON form, or why not.
std::string Write(ViSession vi, const AttributeInfo& a, const std::string& selector, const Json& value) {
    const ViAttr id = static_cast<ViAttr>(a.id);
    const std::string type = a.type;
    const char* sel = selector.c_str();
    ViStatus status;
    if (type == "Real64" && value.is_number()) {
        status = Ztv_SetAttributeViReal64(vi, sel, id, value.get<double>());
    } else if (type == "Real64" && value.is_string()) {
        const std::string text = value.get<std::string>();
        if (text != "NaN" && text != "INF" && text != "-INF") return "not a number: " + text;
        status = Ztv_SetAttributeViReal64(vi, sel, id, text == "NaN" ? NAN : text == "INF" ? INFINITY : -INFINITY);
    } else if (type == "Boolean" && value.is_boolean()) {
        status = Ztv_SetAttributeViBoolean(vi, sel, id, value.get<bool>() ? VI_TRUE : VI_FALSE);
    } else if (type == "String" && value.is_string()) {
        // Text settings read back in the instrument's string form, quoted;
        // the driver quotes what it writes.
        std::string text = value.get<std::string>();
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        status = Ztv_SetAttributeViString(vi, sel, id, text.c_str());
    } else if (type == "Int32" && value.is_number_integer()) {
        status = Ztv_SetAttributeViInt32(vi, sel, id, value.get<ViInt32>());
    } else if (type == "Enum" && (value.is_string() || value.is_number_integer())) {
        long number = 0;
        if (value.is_number_integer()) {
            number = value.get<long>();
        } else {
            const auto& values = Enums()[static_cast<std::size_t>(a.enumIndex)].values;
            const auto it = std::find_if(values.begin(), values.end(),
                                         [&](const EnumValueInfo& v) { return value.get<std::string>() == v.name; });
            if (it == values.end()) return "no value " + value.get<std::string>() + " of this attribute";
            number = it->value;
        }
        status = Ztv_SetAttributeViInt32(vi, sel, id, static_cast<ViInt32>(number));
    } else {
        return std::string("a ") + a.type + " attribute cannot take " + value.dump();
    }
    return status < 0 ? LastError(vi, status) : "";
}

struct Setting {
    int rank;
    const AttributeInfo* attribute;
    std::string selector;
    std::string key;
    const Json* value;
};

}  // namespace

std::string TakeSnapshot(ViSession vi, std::string_view prefix) {
    Json settings = Json::object(), unreadable = Json::object();
    Selectors selectors(vi);
    for (const AttributeInfo& a : Attributes()) {
        const AttributeRecord* record = FindAttribute(static_cast<ViAttr>(a.id));
        if (!record || std::string_view(a.name).substr(0, prefix.size()) != prefix) continue;
        for (const std::string& selector : selectors.Of(*record)) {
            Json value;
            const ViStatus status = Read(vi, a, selector, &value);
            if (status < 0)
                unreadable[Key(a, selector)] = {{"status", status}, {"error", LastError(vi, status)}};
            else
                settings[Key(a, selector)] = std::move(value);
        }
    }
    Json snapshot = {{"identity",
                      {{"manufacturer", IdentityText(vi, IVI_ATTR_INSTRUMENT_MANUFACTURER)},
                       {"model", IdentityText(vi, IVI_ATTR_INSTRUMENT_MODEL)},
                       {"serial", IdentityText(vi, ZTV_ATTR_SYSTEM_SERIAL_NUMBER)},
                       {"firmware", IdentityText(vi, IVI_ATTR_INSTRUMENT_FIRMWARE_REVISION)},
                       {"driver revision", IdentityText(vi, IVI_ATTR_SPECIFIC_DRIVER_REVISION)}}},
                     {"resource", IdentityText(vi, IVI_ATTR_IO_RESOURCE_DESCRIPTOR)},
                     {"time", UtcNow()},
                     {"settings", std::move(settings)}};
    if (!unreadable.empty()) snapshot["unreadable"] = std::move(unreadable);
    return snapshot.dump(2) + "\n";
}

ViStatus RestoreSnapshot(ViSession vi, std::string_view json, std::string* report, int* refused) {
    *refused = 0;
    report->clear();
    const Json document = Json::parse(json, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("settings") ||
        !document["settings"].is_object()) {
        IviSession_SetError(vi, kNotASnapshot, "The text is no snapshot: a JSON object with \"settings\" is needed.");
        return kNotASnapshot;
    }
    std::vector<Setting> settings;
    auto refuse = [&](const std::string& key, const std::string& why) {
        *report += key + ": " + why + "\n";
        ++*refused;
    };
    for (const auto& [key, value] : document["settings"].items()) {
        const std::size_t bracket = key.find('[');
        const std::string name = key.substr(0, bracket);
        const std::string selector =
            bracket == std::string::npos || key.back() != ']' ? "" : key.substr(bracket + 1, key.size() - bracket - 2);
        const AttributeInfo* a = ByName(name);
        const AttributeRecord* record = a ? FindAttribute(static_cast<ViAttr>(a->id)) : nullptr;
        if (!record) {
            refuse(key, "no such attribute");
            continue;
        }
        // Read-only values and the driver's own session settings are taken
        // but not written back: only the instrument's settings are.
        if (!a->writable || !*a->scpi) continue;
        settings.push_back({Rank(*a, *record), a, selector, key, &value});
    }
    std::stable_sort(settings.begin(), settings.end(),
                     [](const Setting& x, const Setting& y) { return x.rank < y.rank; });
    for (const Setting& s : settings) {
        const std::string why = Write(vi, *s.attribute, s.selector, *s.value);
        if (!why.empty()) refuse(s.key, why);
    }
    return 0;
}

}  // namespace ztv

extern "C" {

ViStatus _VI_FUNC Ztv_Snapshot(ViSession Vi, ViConstString Prefix, ViInt32 BufferSize, ViChar Json[]) {
    ViAddr data = nullptr;
    if (const ViStatus status = IviSession_GetDataPtr(Vi, &data); status < 0) return status;
    return ztv::StoreText(std::string_view(ztv::TakeSnapshot(Vi, Prefix ? Prefix : "")), BufferSize, Json);
}

ViStatus _VI_FUNC Ztv_RestoreSnapshot(ViSession Vi, ViConstString Json, ViInt32 BufferSize, ViChar Report[],
                                      ViInt32* Refused) {
    if (Json == nullptr) return ztv::kIviCGenericFailure;
    std::string report;
    int refused = 0;
    const ViStatus status = ztv::RestoreSnapshot(Vi, Json, &report, &refused);
    if (Refused) *Refused = refused;
    if (status < 0) return status;
    return ztv::StoreText(std::string_view(report), BufferSize, Report);
}

}  // extern "C"
