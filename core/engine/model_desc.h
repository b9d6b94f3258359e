// Static descriptions of the object model, generated from model/*.model: the
// interfaces each kind of object carries, every member's command texts,
// simulated value and model restriction, and the enumeration token tables.
// All of them are constant tables; the engine only reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "zentrava/com.h"

namespace ztv::engine {

class CObjectNode;
class CFacet;

enum class ObjectKind : std::uint8_t { Root, Measurement, Marker };

struct InterfaceDesc {
    const char* name;  // "IZentravaTriggerOutput"
    const IID* iid;
    ObjectKind kind;
    const char* className;  // the object that carries it: "Zentrava", "ZentravaPNMarker"
};

// The instrument models a member or enumeration value is accepted on: bit i
// stands for kModelNames[i] of the model data (core/engine/model_tables.h). The
// empty set restricts nothing, so it accepts any model, named or not.
struct ModelSet {
    std::uint8_t bits;

    bool Contains(std::string_view model) const;
};

struct EnumValueDesc {
    LONG number;
    const char* name;   // "ZentravaTriggerSlopePositive"
    const char* token;  // SCPI token, or nullptr for a value without one
    ModelSet models;
};

struct EnumDesc {
    const char* name;
    const EnumValueDesc* values;
    std::uint16_t count;
    std::uint8_t replyLength;  // characters read for a reply
    bool hasRestrictedValues;
};

// How a member runs: the generic kinds, or a hand-written body.
enum class MemberKind : std::uint8_t {
    Getter,      // plain property read
    Setter,      // plain property write
    Command,     // method sending fixed command(s) or formatting its arguments
    ArrayRead,   // method returning Double[]
    ArrayWrite,  // method taking Double[]
    Child,       // property handing out another interface of the same object
    Item,        // collection's Item: an instance by name
    Custom,      // hand-written body (ztv::custom::NAME)
};

enum class ValueType : std::uint8_t { None, Boolean, Int32, Double, String, Enum, DoubleArray, ByteArray, Interface };

enum class SimMode : std::uint8_t { None, LastValue, Fixed };

// One parameter name that the prologue checks: an output pointer, or an
// enumeration input whose values may be restricted to one model.
struct ParamCheck {
    const char* name;
    const EnumDesc* enumType;  // for restricted inputs
};

// Written by the generator with designated initializers; fields a member does
// not use keep their defaults.
struct MemberDesc {
    const InterfaceDesc* iface = nullptr;
    const char* name = nullptr;   // as COM sees it: "get_Enabled", "Search"
    const char* param = nullptr;  // the value or result parameter ("val", "pVal"), or the first parameter
    MemberKind kind = MemberKind::Getter;
    ValueType type = ValueType::None;
    const EnumDesc* enumType = nullptr;  // of the value (properties) or of the switch argument
    ModelSet models = {};
    // Simulation: the cache key of a LastValue property and the value read
    // when nothing was written (number for scalars and enums, text for strings).
    SimMode sim = SimMode::None;
    const char* key = nullptr;
    double simNumber = 0.0;
    const char* simText = nullptr;
    // Command texts in the order they are sent (alternatives for switches).
    std::span<const char* const> commands = {};
    std::uint8_t items = 0;  // array values per counted item (limit segments: 4)
    // Children: the interface handed out, the collection for Item, and the
    // shared selector a child getter sets ("LO1", "Bias2").
    const IID* target = nullptr;
    const char* collection = nullptr;
    const char* select = nullptr;
    // Hand-written bodies: the outputs and restricted enumeration inputs that
    // the prologue checks, and simulated results.
    std::span<const ParamCheck> outputs = {};
    std::span<const ParamCheck> restricted = {};
    std::span<const double> simResults = {};
};

// The interface implementation objects of one node. Each facet answers its
// interface's members through the node it belongs to.
class CFacet {
public:
    virtual ~CFacet() = default;
    virtual void* Interface() = 0;
};

using FacetFactory = CFacet* (*)(CObjectNode& node);

struct FacetEntry {
    const IID* iid;
    FacetFactory create;
};

// A kind of node: its class name and identity, its interfaces (the first is
// the default one) and the collections of instances it owns.
struct NodeClassDesc;

struct CollectionDesc {
    const NodeClassDesc* instanceClass;
    LONG count;
};

struct NodeClassDesc {
    const char* className;
    const CLSID* clsid;  // nullptr for the root, whose class the server owns
    ObjectKind kind;
    const FacetEntry* facets;
    std::size_t facetCount;
    const CollectionDesc* collections;
    std::size_t collectionCount;
};

}  // namespace ztv::engine
