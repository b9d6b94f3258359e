// Global options, exit statuses and the driver session every instrument
// subcommand of ztv works in.
#pragma once

#include <functional>
#include <string>

#include "zentrava/Zentrava.h"

namespace ztv_tool {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;       // the instrument or the driver reported an error
constexpr int kExitUsage = 2;        // the command line is wrong
constexpr int kExitLimitFailed = 3;  // measure: the trace failed its limit test

// The exit statuses as --help lists them.
std::string ExitStatusHelp();

struct Globals {
    std::string resource;  // else $ZTV_RESOURCE
    std::string options;   // merged over QueryInstrStatus=true
    bool noStatusCheck = false;
    int timeoutMs = 0;  // 0: the driver's own I/O timeout
    bool simulate = false;
    bool verbose = false;    // print every SCPI exchange from the driver's trace
    std::string recordPath;  // record the session's I/O there (DriverSetup Record)
};

// Prints "ztv: <text>" on stderr; returns kExitUsage.
int UsageError(const std::string& text);

// Whether the session checks the instrument's status after each call, as
// the options say. The commands that read or clear errors, and raw SCPI,
// leave the status to the user, so they never check it.
enum class StatusQuery { AsOptioned, Off };

class Session {
public:
    ViSession vi() const { return vi_; }
    // True for success and warnings; otherwise prints what failed with the
    // driver's text, and the instrument's error queue when the instrument
    // reported an error.
    bool Check(ViStatus status, const std::string& what);
    // Drains the instrument's error queue onto stderr.
    void PrintErrorQueue();
    // With -v: an exchange of direct I/O, which the driver's trace does not
    // hold ('>' a command, '<' a reply).
    void PrintDirect(char direction, const std::string& text) const;

private:
    friend int WithSession(const Globals&, const std::function<int(Session&)>&, StatusQuery, bool);
    // With -v: the exchanges the trace file gained since the last call.
    void PrintNewExchanges();

    ViSession vi_ = VI_NULL;
    std::string tracePath_;  // empty without -v
    std::size_t printedRecords_ = 0;
    std::string pendingList_;  // the last list reply not yet shown
};

// Opens the instrument the globals name, runs `body` and closes it again.
// Returns body's exit status, kExitUsage without a resource and kExitFailed
// when the session cannot be opened.
// `checkModel` false opens an instrument of any model, for commands that
// report it rather than fail on it.
int WithSession(const Globals& globals, const std::function<int(Session&)>& body,
                StatusQuery statusQuery = StatusQuery::AsOptioned, bool checkModel = true);

}  // namespace ztv_tool
