// Static descriptions of the object model, generated from model/*.model: the
// interfaces each kind of object carries, every member's command texts,
// simulated value and model restriction, and the enumeration token tables.
// All of them are constant tables; the engine only reads them.
#pragma once

#include <cstddef>
#include <cstdint>
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
// stands for kModelNames[i] of the model data (core/model_tables.h). The
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
    Getter,     // plain property read
    Setter,     // plain property write
    Command,    // method sending fixed command(s) or formatting its arguments
    ArrayRead,  // method returning Double[]
    ArrayWrite, // method taking Double[]
    Child,      // property handing out another interface of the same object
    Item,       // collection's Item: an instance by name
    Custom,     // hand-written body (ztv::custom::NAME)
};

enum class ValueType : std::uint8_t { None, Boolean, Int32, Double, String, Enum, DoubleArray, ByteArray, Interface };

enum class SimMode : std::uint8_t { None, LastValue, Fixed };

// One parameter name that the prologue checks: an output pointer, or an
// enumeration input whose values may be restricted to one model.
struct ParamCheck {
    const char* name;
    const EnumDesc* enumType;  // for restricted inputs
};

struct MemberDesc {
    const InterfaceDesc* iface;
    const char* name;   // as COM sees it: "get_Enabled", "Search"
    const char* param;  // the value or result parameter ("val", "pVal"), or the first parameter
    MemberKind kind;
    ValueType type;
    const EnumDesc* enumType;  // of the value (properties) or of the switch argument
    ModelSet models;
    // Simulation: the cache key of a LastValue property and the value read
    // when nothing was written (number for scalars and enums, text for strings).
    SimMode sim;
    const char* key;
    double simNumber;
    const char* simText;
    // Command texts in the order they are sent (alternatives for switches).
    const char* const* commands;
    std::uint8_t commandCount;
    std::uint8_t items;  // array values per counted item (limit segments: 4)
    // Children: the interface handed out, the collection for Item, and the
    // shared selector a child getter sets ("LO1", "Bias2").
    const IID* target;
    const char* collection;
    const char* select;
    // Hand-written bodies: the outputs and restricted enumeration inputs that
    // the prologue checks, and simulated results.
    const ParamCheck* outputs;
    std::uint8_t outputCount;
    const ParamCheck* restricted;
    std::uint8_t restrictedCount;
    const double* simResults;
    std::uint8_t simResultCount;
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
