// What the driver object holds for one session with one instrument.
#pragma once

#include <map>
#include <string>
#include <variant>

#include "services/trace_settings.h"
#include "zentrava/com.h"

namespace ztv {

struct SessionFlags {
    bool cache = true;
    bool interchangeCheck = false;
    bool queryInstrumentStatus = false;
    bool rangeCheck = true;
    bool recordCoercions = false;
    bool simulate = false;
};

// A configurable initial setting: String, Integer, Real or Boolean.
using InitialSetting = std::variant<std::string, LONG, double, VARIANT_BOOL>;

using NameTable = std::map<std::string, std::string, std::less<>>;

struct SessionState {
    SessionFlags flags;
    SessionFlags initialFlags{false, false, false, false, false, false};
    bool initialized = false;
    bool identityRead = false;

    std::string optionString;
    std::string logicalName;
    std::string resourceDescriptor;
    std::string driverSetup;

    std::string manufacturer;
    std::string model;
    std::string serialNumber;
    std::string firmwareRevision;
    std::string identificationReply;

    NameTable optionTable;       // lower-case option name -> value
    NameTable driverSetupTable;  // lower-case DriverSetup name -> value
    std::map<std::string, InitialSetting, std::less<>> initialSettings;

    // Virtual names of the configuration store's session, all lower case:
    // virtual -> physical and virtual -> the store entry it came from, and the
    // same two keyed by the physical name.
    NameTable virtualToPhysical;
    NameTable virtualToEntry;
    NameTable physicalToVirtual;
    NameTable physicalToEntry;

    TraceSettings trace;
};

}  // namespace ztv
