#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "emulator/faults/faults.h"
#include "emulator/instrument/scpi_parser.h"
#include "emulator/instrument/traces.h"
#include "emulator/instrument/waker.h"
#include "emulator/replay/replay.h"

namespace emulator {

struct InstrumentOptions {
    std::string manufacturer = "Orvane Technologies";
    std::string model = "Q7310B";
    std::string serial = "0123456789";
    std::string firmware = "1.0.9";
    std::string options = "QVX-BBM";  // "*OPT?" reply
    int tracePoints = 1001;
    int measurementDelayMs = 0;  // how long "INIT:...:IMM" keeps "*OPC?" waiting
    bool shortReals = false;     // measured reals as "-60.0011" rather than "-6.000110000E+01"
    std::size_t errorQueueCapacity = 30;
};

// Standard event status register bits.
enum EventStatus : int {
    kOperationComplete = 0x01,
    kQueryError = 0x04,
    kDeviceError = 0x08,
    kExecutionError = 0x10,
    kCommandError = 0x20,
    kPowerOn = 0x80,
};

// Status byte bits.
enum StatusByte : int {
    kErrorAvailable = 0x04,
    kMessageAvailable = 0x10,
    kEventSummary = 0x20,
    kServiceRequest = 0x40,
};

// The SCPI engine of a Q7310B: status and error reporting of IEEE 488.2,
// generic settable state, measurement data. All transports share one
// instance; every member is thread-safe.
class Instrument {
public:
    explicit Instrument(InstrumentOptions options = {});

    // Runs one program message (terminator optional). Returns the response
    // message without terminator, or nothing when the message held no query.
    std::optional<std::string> Execute(std::string_view message);

    // Status byte; `messageAvailable` is the asking session's MAV.
    std::uint8_t ReadStatusByte(bool messageAvailable);
    // Blocks until the service request bit rises: `*requesting` holds the bit
    // as the caller last saw it and is updated. Returns the status byte at the
    // rise, or nothing once halted or `stop()` holds (its setter must notify
    // the waker). An operation ending on its own counts as a change.
    std::optional<std::uint8_t> WaitForServiceRequest(bool* requesting, const std::function<bool()>& stop);
    // Adds an error to the queue and sets the event status bit of its class.
    void ReportError(int code, std::string_view detail = {});
    // Device clear: stops waiting for a running operation on behalf of clients.
    void DeviceClear();
    // How many device clears arrived over any transport, for tests.
    std::uint64_t DeviceClearCount() const { return clearGeneration_.load(); }

    // Stopping wakes everything that waits inside Execute.
    void Halt();
    void Resume();
    bool halted() const { return halted_.load(); }

    Faults& faults() { return faults_; }
    Waker& waker() { return waker_; }
    // Serves a recording instead of the instrument's own replies; the
    // instrument keeps its status registers and error queue.
    void SetReplay(std::unique_ptr<Replay> replay) { replay_ = std::move(replay); }

    // State inspection and preparation for tests.
    std::optional<std::string> Setting(std::string_view header) const;
    void SetSetting(std::string_view header, std::string value);
    int PeekEventStatus() const;
    std::vector<std::pair<int, std::string>> PendingErrors() const;
    void SetTracePoints(int points);
    int TracePoints() const;
    void SetMeasurementDelay(int milliseconds);
    std::string Identification() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Reply {
        std::string text;
        bool present = false;
    };
    // Nothing when the unit is read or stored as a plain setting.
    using ReplyOrSetting = std::optional<Reply>;

    static constexpr int kMaxTracePoints = 100001;

    // The command tables and their handlers, one file a family: each is a
    // table of header patterns searched once per unit (common_commands.cpp,
    // compound_commands.cpp, trace_analyses.cpp, emulator_commands.cpp).
    enum class Takes;
    struct CommonCommand;
    struct Command;
    struct Analysis;
    struct EmulatorArguments;
    struct EmulatorCommand;
    static const CommonCommand kCommonCommands[];
    static const Command kCommands[];
    static const Analysis kAnalyses[];
    static const EmulatorCommand kEmulatorCommands[];

    std::optional<std::string> ExecuteOwn(std::string_view message);
    std::optional<std::string> ExecuteReplayed(std::string_view message);
    Reply RunUnit(const scpi::Unit& unit);
    Reply RunCommon(const scpi::Unit& unit);
    // The byte a common command takes (0 when it takes none); nothing, the
    // error queued, when the parameters do not fit.
    std::optional<int> CommonParameterLocked(Takes takes, const scpi::Unit& unit);
    Reply RunCompound(const scpi::Unit& unit);
    ReplyOrSetting RunAnalysis(const scpi::Unit& unit);
    Reply RunEmulatorCommand(const scpi::Unit& unit);
    static Reply Answer(std::string text) { return {std::move(text), true}; }

    // Helpers that expect mutex_ held.
    void PushErrorLocked(int code, std::string_view detail);
    void SettleOperationLocked();
    int StatusByteLocked(bool messageAvailable) const;
    void ResetLocked();
    std::string ListReplyLocked(const std::vector<double>& values) const;
    RealForm realForm() const { return options_.shortReals ? RealForm::kShort : RealForm::kNr3; }
    // The numbers stored under `nodes` followed by `tail`; empty when unset.
    std::vector<double> StoredNumbers(std::vector<std::string> nodes, std::initializer_list<const char*> tail) const;
    // The X range and points a trace of the application spans: its written
    // settings, else the application's own range and the trace point count.
    Sweep SweepOf(Application app) const;
    std::string LearnStringLocked() const;
    void RestoreLocked(std::string_view state);

    // Blocks outside the lock until the running operation ends; false if halted.
    bool WaitForOperation();
    bool Sleep(int milliseconds);

    InstrumentOptions options_;
    Faults faults_;
    std::unique_ptr<Replay> replay_;
    Waker waker_;
    std::atomic<bool> halted_{false};
    std::atomic<std::uint64_t> clearGeneration_{0};
    std::atomic<std::uint64_t> statusGeneration_{0};  // counts executed messages, for SRQ waiters

    mutable std::mutex mutex_;
    std::map<std::string, std::string> settings_;
    std::deque<std::pair<int, std::string>> errors_;
    int esr_ = kPowerOn;
    int ese_ = 0;
    int sre_ = 0;
    bool opcArmed_ = false;             // "*OPC" waits for the operation to end
    Clock::time_point operationEnd_{};  // end of the running measurement
    int tracePoints_;
    int measurementDelayMs_;
};

}  // namespace emulator
