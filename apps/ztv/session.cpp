#include "apps/ztv/session.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>
#include <string>

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

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The user's options without their QueryInstrStatus item, whose value goes
// to `statusQuery`. The DriverSetup part ends the string and is kept whole.
std::string WithoutStatusQuery(const std::string& options, bool* statusQuery) {
    std::string kept;
    std::size_t at = 0;
    while (at < options.size()) {
        const std::string rest = Trimmed(options.substr(at));
        if (Lower(rest).rfind("driversetup", 0) == 0) {
            kept += (kept.empty() ? "" : ", ") + rest;
            break;
        }
        const std::size_t comma = options.find(',', at);
        const std::string item =
            Trimmed(options.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        at = comma == std::string::npos ? options.size() : comma + 1;
        const std::size_t equals = item.find('=');
        if (Lower(Trimmed(item.substr(0, equals))) == "queryinstrstatus") {
            const std::string value = equals == std::string::npos ? "" : Lower(Trimmed(item.substr(equals + 1)));
            *statusQuery = value == "true" || value == "1";
        } else if (!item.empty()) {
            kept += (kept.empty() ? "" : ", ") + item;
        }
    }
    return kept;
}

// The option string: the user's options merged over the defaults, simulation
// first, the trace last (the driver settings part must end the string).
// Sessions open with the status query off and switch it on afterwards: the
// driver then starts from a clear status (*CLS), so an error left by an
// earlier command does not fail this one.
std::string OptionString(const Globals& globals, const std::string& tracePath, bool* statusQuery) {
    *statusQuery = true;
    std::string options = "QueryInstrStatus=false";
    const std::string user = WithoutStatusQuery(globals.options, statusQuery);
    if (globals.noStatusCheck) *statusQuery = false;
    if (!user.empty()) options += ", " + user;
    if (globals.simulate) options = "Simulate=true, " + options;
    std::string driverSetup;
    // Saved after every call and never cut off, so each exchange shows as it
    // happens; list replies with enough elements to show their start.
    if (!tracePath.empty())
        driverSetup = "Trace=true, TraceName=" + tracePath +
                      ", TraceSaveInterval=0, TraceSizeMax=2000000000, TraceArray=true, TraceArraySizeMax=40";
    if (!globals.recordPath.empty())
        driverSetup += (driverSetup.empty() ? "Record=" : ", Record=") + globals.recordPath;
    if (!driverSetup.empty()) {
        // An existing DriverSetup part ends the string, so these settings join it.
        if (ContainsDriverSetup(options))
            options += ", " + driverSetup;
        else
            options += ", DriverSetup=" + driverSetup;
    }
    return options;
}

// Longer replies show their start and their length.
constexpr std::size_t kShownReplyBytes = 200;

std::string Shortened(const std::string& reply, const std::string& length) {
    if (reply.size() <= kShownReplyBytes) return reply;
    return reply.substr(0, kShownReplyBytes) + "... (" + length + ")";
}

// A traced list reply: its first elements and how many there are.
std::string ArrayText(pugi::xml_node parameter) {
    std::string text;
    std::size_t shown = 0;
    for (pugi::xml_node element : parameter.children("Element")) {
        text += (shown++ == 0 ? "" : ",") + std::string(element.text().get());
    }
    const std::string count = parameter.attribute("DimSizes").value();
    if (text.size() <= kShownReplyBytes && std::to_string(shown) == count) return text;
    return text.substr(0, kShownReplyBytes) + "... (" + count + " values)";
}

}  // namespace

std::string ExitStatusHelp() {
    return "Exit status: 0 success, 1 the instrument or the driver reported an error, 2 usage error, "
           "3 measure: the trace failed its limit test.";
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "ztv: %s\n", text.c_str());
    return kExitUsage;
}

void Session::PrintNewExchanges() {
    if (tracePath_.empty()) return;
    pugi::xml_document document;
    if (!document.load_file(tracePath_.c_str())) return;
    std::size_t index = 0;
    for (pugi::xml_node method : document.child("TraceRecords").children("Method")) {
        if (index++ < printedRecords_) continue;
        std::string command, reply;
        bool replied = false, list = false;
        for (pugi::xml_node parameter : method.children("Parameter")) {
            const std::string name = parameter.attribute("Name").value();
            const std::string value = parameter.attribute("Value").value();
            if (name == "strCmd" || name == "strCommand") {
                command = value;
            } else if (std::string(parameter.attribute("Direction").value()) != "In") {
                replied = true;
                list = parameter.child("Element");
                reply = list ? ArrayText(parameter) : Shortened(value, std::to_string(value.size()) + " bytes");
            }
        }
        const bool io = std::string(method.attribute("Interface").value()) == "CDriverIOManager";
        // A list query's reply is read, and traced, by the member that sends
        // it, whose record comes before the query's.
        if (!io && list) pendingList_ = reply;
        if (!io || command.empty()) continue;
        std::fprintf(stderr, "> %s\n", command.c_str());
        if (replied) {
            std::fprintf(stderr, "< %s\n", reply.c_str());
        } else if (command.find('?') != std::string::npos && !pendingList_.empty()) {
            std::fprintf(stderr, "< %s\n", pendingList_.c_str());
            pendingList_.clear();
        }
    }
    printedRecords_ = index;
}

void Session::PrintDirect(char direction, const std::string& text) const {
    if (tracePath_.empty()) return;
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    line = Shortened(line, std::to_string(text.size()) + " bytes");
    // Bytes of a binary reply that would upset a terminal show as dots.
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '.';
    }
    std::fprintf(stderr, "%c %s\n", direction, line.c_str());
}

bool Session::Check(ViStatus status, const std::string& what) {
    PrintNewExchanges();
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
        globals.verbose
            ? (std::filesystem::temp_directory_path() / ("ztv-" + std::to_string(getpid()) + ".xml")).string()
            : "";
    Session session;
    session.tracePath_ = tracePath;
    bool statusQueryWanted = true;
    const std::string options = OptionString(globals, tracePath, &statusQueryWanted);
    int exit = kExitFailed;
    if (session.Check(Ztv_InitWithOptions(resource.data(), checkModel ? VI_TRUE : VI_FALSE, VI_FALSE, options.c_str(),
                                          &session.vi_),
                      "opening " + resource)) {
        exit = kExitOk;
        if (statusQuery == StatusQuery::AsOptioned && statusQueryWanted) {
            if (!session.Check(Ztv_SetAttributeViBoolean(session.vi_, "", IVI_ATTR_QUERY_INSTRUMENT_STATUS, VI_TRUE),
                               "switching the status query on")) {
                exit = kExitFailed;
            }
        }
        if (exit == kExitOk && globals.timeoutMs > 0 &&
            !session.Check(
                Ztv_SetAttributeViInt32(session.vi_, "", ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS, globals.timeoutMs),
                "setting the timeout")) {
            exit = kExitFailed;
        }
        if (exit == kExitOk) exit = body(session);
        const ViStatus closed = Ztv_close(session.vi_);
        session.vi_ = VI_NULL;
        if (!session.Check(closed, "closing the session") && exit == kExitOk) exit = kExitFailed;
    }
    if (!tracePath.empty()) {
        session.PrintNewExchanges();
        std::remove(tracePath.c_str());
    }
    return exit;
}

}  // namespace ztv_tool
