#include "apps/ztv/session.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <pugixml.hpp>

namespace ztv_tool {

namespace {

// IVI-C status of an error the instrument itself reported.
constexpr ViStatus kInstrumentStatus = static_cast<ViStatus>(0xBFFA0001u);
// More entries than any instrument queue holds: a guard against a queue that never empties.
constexpr int kMaxQueueEntries = 100;

std::string Lower(const std::string& text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool ContainsDriverSetup(const std::string& options) { return Lower(options).find("driversetup") != std::string::npos; }

// The options with the status query off: an explicit setting turned to false,
// else one added in front. Sessions open without it and switch it on
// afterwards: the driver then starts from a clear status (*CLS), so an error
// left by an earlier command does not fail this one.
std::string WithoutStatusQuery(std::string options) {
    const std::string key = "queryinstrstatus=true";
    const std::size_t at = Lower(options).find(key);
    if (at != std::string::npos) return options.replace(at, key.size(), "QueryInstrStatus=false");
    if (Lower(options).find("queryinstrstatus") != std::string::npos) return options;
    return "QueryInstrStatus=false" + (options.empty() ? "" : ", " + options);
}

// The option string: the user's, simulation first, the trace last (the
// driver settings part must end the string).
std::string OptionString(const Globals& globals, const std::string& tracePath) {
    std::string options = WithoutStatusQuery(globals.options);
    if (globals.simulate) options = "Simulate=true" + (options.empty() ? "" : ", " + options);
    std::string driverSetup;
    if (!tracePath.empty()) driverSetup = "Trace=true, TraceName=" + tracePath;
    if (!globals.recordPath.empty()) driverSetup += (driverSetup.empty() ? "Record=" : ", Record=") + globals.recordPath;
    if (!driverSetup.empty()) {
        // An existing DriverSetup part ends the string, so these settings join it.
        if (ContainsDriverSetup(options)) options += ", " + driverSetup;
        else options += (options.empty() ? "DriverSetup=" : ", DriverSetup=") + driverSetup;
    }
    return options;
}

// Prints the instrument I/O of a trace file: "> command" and "< reply".
void PrintExchanges(const std::string& path) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str())) return;
    for (pugi::xml_node method : document.child("TraceRecords").children("Method")) {
        if (std::string(method.attribute("Interface").value()) != "CDriverIOManager") continue;
        for (pugi::xml_node parameter : method.children("Parameter")) {
            const std::string name = parameter.attribute("Name").value();
            const bool command = name == "strCmd" || name == "strCommand";
            const bool reply = std::string(parameter.attribute("Direction").value()) != "In";
            if (command || reply) {
                std::fprintf(stderr, "%s %s\n", command ? ">" : "<", parameter.attribute("Value").value());
            }
        }
    }
}

}  // namespace

int UsageError(const std::string& text) {
    std::fprintf(stderr, "ztv: %s\n", text.c_str());
    return kExitUsage;
}

bool Session::Check(ViStatus status, const std::string& what) {
    if (status >= 0) return true;
    ViStatus code = status;
    char text[1024] = "";
    Ztv_GetError(vi_, &code, sizeof text, text);
    std::fprintf(stderr, "ztv: %s failed (0x%08X): %s\n", what.c_str(), static_cast<unsigned>(status), text);
    if (status == kInstrumentStatus) PrintErrorQueue();
    return false;
}

void Session::PrintErrorQueue() {
    for (int i = 0; i < kMaxQueueEntries; ++i) {
        ViInt32 code = 0;
        char message[256] = "";
        if (Ztv_error_query(vi_, &code, message) < 0 || code == 0) return;
        std::fprintf(stderr, "instrument error %d: %s\n", static_cast<int>(code), message);
    }
}

int WithSession(const Globals& globals, const std::function<int(Session&)>& body, StatusQuery statusQuery,
                bool checkModel) {
    std::string resource = globals.resource;
    if (resource.empty()) {
        const char* fromEnvironment = std::getenv("ZTV_RESOURCE");
        resource = fromEnvironment ? fromEnvironment : "";
    }
    if (resource.empty() && !globals.simulate) {
        return UsageError("no instrument named: give -r/--resource or set ZTV_RESOURCE");
    }
    if (resource.empty()) resource = "TCPIP0::localhost::inst0::INSTR";  // simulation needs a name, not a device

    const std::string tracePath =
        globals.verbose ? (std::filesystem::temp_directory_path() / ("ztv-" + std::to_string(getpid()) + ".xml")).string()
                        : "";
    Session session;
    const std::string options = OptionString(globals, tracePath);
    int exit = kExitFailed;
    if (session.Check(Ztv_InitWithOptions(resource.data(), checkModel ? VI_TRUE : VI_FALSE, VI_FALSE, options.c_str(),
                                          &session.vi_),
                      "opening " + resource)) {
        exit = kExitOk;
        if (statusQuery == StatusQuery::AsOptioned && Lower(globals.options).find("queryinstrstatus=true") != std::string::npos) {
            if (!session.Check(Ztv_SetAttributeViBoolean(session.vi_, "", IVI_ATTR_QUERY_INSTRUMENT_STATUS, VI_TRUE),
                               "switching the status query on")) {
                exit = kExitFailed;
            }
        }
        if (exit == kExitOk && globals.timeoutMs > 0 &&
            !session.Check(Ztv_SetAttributeViInt32(session.vi_, "", ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS, globals.timeoutMs),
                           "setting the timeout")) {
            exit = kExitFailed;
        }
        if (exit == kExitOk) exit = body(session);
        const ViStatus closed = Ztv_close(session.vi_);
        session.vi_ = VI_NULL;
        if (!session.Check(closed, "closing the session") && exit == kExitOk) exit = kExitFailed;
    }
    if (!tracePath.empty()) {
        PrintExchanges(tracePath);
        std::remove(tracePath.c_str());
    }
    return exit;
}

}  // namespace ztv_tool
