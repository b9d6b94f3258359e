// The C face at the limit, against emulator socket servers on loopback that
// run in a child process, so that the memory measured here is the driver's.
// Every row is a ratio of medians (or a count) taken in one run, with its
// goal; the exit status says whether all goals held.
//   Attribute       Ztv_GetAttributeViReal64 of ZTV_ATTR_ATTENUATION against
//                   the bytes that call sends, on a plain TCP connection
//   Trace NR3       Ztv_Get_FormattedData of a 100 001-point trace served as
//                   "-6.000109999E+01,...", against the same bytes received whole
//   Trace short     the same, served as "-60.0011,..."
//   Repeated reads  resident memory and trace-sized allocations over 100
//                   trace reads after the first
//   8 sessions      aggregate queries/s of 8 sessions, one per thread, against
//                   one session alone
//   Tracing         a simulated attribute read traced, against untraced
// Arguments name the rows to run ("Attribute", "Trace", "Repeated", "8",
// "Tracing"); without any, all run.
// Driver and bare measurements take turns round by round (call by call for
// the attribute), so that a change in machine load does not tilt a ratio;
// the emulator keeps to one processor and the measured client to the others
// (bench/processors.h). The bare side receives into a buffer it keeps and
// neither clears nor copies.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/bare_client.h"
#include "bench/emulator_child.h"
#include "bench/processors.h"
#include "zentrava/Zentrava.h"

// Counts the calling thread's allocations of trace size while asked to:
// the read path must keep its buffers.
namespace {
constexpr std::size_t kTraceSizedBytes = 256 * 1024;
thread_local bool t_counting = false;
thread_local long t_traceSizedAllocations = 0;
void CountIfTraceSized(std::size_t size) {
    if (t_counting && size >= kTraceSizedBytes) ++t_traceSizedAllocations;
}
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* malloc(std::size_t size) {
    CountIfTraceSized(size);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    CountIfTraceSized(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
    CountIfTraceSized(size);
    return __libc_realloc(block, size);
}
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListPoints = 100001;
constexpr char kListQuery[] = "CALC:PN1:TRAC1:DATA:FDAT?";

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Nanoseconds per call of `call`, run `calls` times; negative when a call failed.
double NsPerCall(int calls, const std::function<bool()>& call) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i)
        if (!call()) return -1;
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls;
}

// Medians of driver and bare time per call over `rounds` rounds of `calls`
// calls each. They take turns, and which goes first alternates, so that
// neither a change in machine load nor the order tilts the ratio.
struct Pair {
    double driverNs = 0;
    double bareNs = 0;
};
std::optional<Pair> Compare(int rounds, int calls, const std::function<bool()>& driver,
                            const std::function<bool()>& bare) {
    std::vector<double> d, b;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) d.push_back(NsPerCall(calls, driver));
        b.push_back(NsPerCall(calls, bare));
        if (round % 2 == 1) d.push_back(NsPerCall(calls, driver));
        if (d.back() < 0 || b.back() < 0) return std::nullopt;
    }
    return Pair{Median(d), Median(b)};
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// One driver session on an emulator that serves its trace in one number form.
class Bench {
public:
    explicit Bench(bench::EmulatorChild* server) : server_(server) {}
    bool Start(std::string* error) {
        vi_ = Open(error);
        return vi_ != VI_NULL &&
               Record(
                   &attributeBytes_, [this] { return ReadAttribute(vi_); }, error) &&
               Record(
                   &listBytes_, [this] { return ReadTrace(); }, error);
    }
    ~Bench() {
        if (vi_ != VI_NULL) Ztv_close(vi_);
    }

    ViSession Open(std::string* error) {
        std::string resource = "TCPIP0::127.0.0.1::" + std::to_string(port()) + "::SOCKET";
        ViSession vi = VI_NULL;
        if (Ztv_InitWithOptions(resource.data(), VI_FALSE, VI_FALSE, "", &vi) < 0) {
            *error = "Ztv_InitWithOptions failed";
            return VI_NULL;
        }
        return vi;
    }
    static bool ReadAttribute(ViSession vi) {
        ViReal64 level = 0;
        return Ztv_GetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, &level) == 0;
    }
    bool ReadTrace() {
        ViInt32 actual = 0;
        return Ztv_Get_FormattedData(vi_, "Measurement1", kListPoints, trace_.data(), &actual) == 0 &&
               actual == kListPoints;
    }
    ViSession vi() const { return vi_; }
    int port() const { return server_->port(); }
    const std::string& attributeBytes() const { return attributeBytes_; }
    const std::string& listBytes() const { return listBytes_; }

private:
    template <typename Call>
    bool Record(std::string* bytes, Call call, std::string* error) {
        if (!server_->ClearReceived() || !call() || !server_->TakeReceived(bytes)) {
            *error = "the driver call failed";
            return false;
        }
        if (bytes->empty()) *error = "the driver call sent nothing";
        return !bytes->empty();
    }

    bench::EmulatorChild* server_;
    ViSession vi_ = VI_NULL;
    std::string attributeBytes_;
    std::string listBytes_;
    std::vector<ViReal64> trace_ = std::vector<ViReal64>(kListPoints);
};

// The bare replay of what one driver call sent: one reply per call.
std::function<bool()> BareReplay(bench::BareClient* client, const std::string* bytes, std::string_view* reply) {
    return [=] { return client->Send(*bytes) && client->ReceiveLine(reply); };
}

class Table {
public:
    void Row(const char* work, const char* measured, double value, const char* unit, bool atMost, double goal) {
        const bool met = atMost ? value <= goal : value >= goal;
        allMet_ = allMet_ && met;
        std::printf("  %-16s %-44s %9.2f%-4s goal %s %.2f%-4s %s\n", work, measured, value, unit,
                    atMost ? "<=" : ">=", goal, unit, met ? "met" : "MISSED");
        std::fflush(stdout);
    }
    void Missing(const char* work, const std::string& why) {
        allMet_ = false;
        std::printf("  %-16s not measured: %s\n", work, why.c_str());
        std::fflush(stdout);
    }
    bool allMet() const { return allMet_; }

private:
    bool allMet_ = true;
};

void AttributeRow(Bench& bench, Table& table) {
    bench::BareClient client("127.0.0.1", bench.port());
    std::string_view reply;
    const auto pair = Compare(
        20001, 1, [&] { return Bench::ReadAttribute(bench.vi()); },
        BareReplay(&client, &bench.attributeBytes(), &reply));
    if (!pair) return table.Missing("Attribute", "a call failed");
    char text[64];
    std::snprintf(text, sizeof text, "%.1f us / %.1f us bare", pair->driverNs / 1e3, pair->bareNs / 1e3);
    table.Row("Attribute", text, pair->driverNs / pair->bareNs, "x", true, 1.05);
}

void TraceRow(const char* work, Bench& bench, Table& table) {
    bench::BareClient client("127.0.0.1", bench.port());
    std::string_view reply;
    const auto pair = Compare(
        41, 2, [&] { return bench.ReadTrace(); }, BareReplay(&client, &bench.listBytes(), &reply));
    if (!pair) return table.Missing(work, "a call failed");
    char text[64];
    std::snprintf(text, sizeof text, "%.2f ms / %.2f ms bare (%zu bytes)", pair->driverNs / 1e6, pair->bareNs / 1e6,
                  reply.size());
    table.Row(work, text, pair->driverNs / pair->bareNs, "x", true, 3.0);
}

void RepeatedReadsRow(Bench& bench, Table& table) {
    if (!bench.ReadTrace()) return table.Missing("Repeated reads", "a call failed");
    const long before = ResidentKiB();
    t_traceSizedAllocations = 0;
    t_counting = true;
    bool ok = true;
    for (int i = 0; i < 100 && ok; ++i) ok = bench.ReadTrace();
    t_counting = false;
    if (!ok) return table.Missing("Repeated reads", "a call failed");
    const double allocationsPerCall = t_traceSizedAllocations / 100.0;
    table.Row("Repeated reads", "resident memory growth over 100 reads", static_cast<double>(ResidentKiB() - before),
              "KiB", true, 0);
    table.Row("Repeated reads", "trace-sized allocations per read", allocationsPerCall, "", true, 0);
}

// Queries per second of `sessions` sessions, one per thread, for a while.
double QueriesPerSecond(const std::vector<ViSession>& sessions) {
    constexpr auto kWhile = std::chrono::milliseconds(300);
    std::atomic<long> total{0};
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (ViSession vi : sessions) {
        threads.emplace_back([&, vi] {
            long count = 0;
            while (Clock::now() - start < kWhile) {
                if (!Bench::ReadAttribute(vi)) failed = true;
                ++count;
            }
            total += count;
        });
    }
    for (std::thread& thread : threads) thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return failed ? -1 : total / seconds;
}

void ScalingRow(Bench& bench, Table& table) {
    std::vector<ViSession> sessions;
    std::string error;
    for (int i = 0; i < 8; ++i) {
        const ViSession vi = bench.Open(&error);
        if (vi == VI_NULL) break;
        sessions.push_back(vi);
    }
    std::vector<double> one, eight;
    for (int round = 0; round < 5 && sessions.size() == 8; ++round) {
        one.push_back(QueriesPerSecond({sessions.front()}));
        eight.push_back(QueriesPerSecond(sessions));
    }
    for (ViSession vi : sessions) Ztv_close(vi);
    if (sessions.size() != 8) return table.Missing("8 sessions", error);
    if (*std::min_element(one.begin(), one.end()) < 0 || *std::min_element(eight.begin(), eight.end()) < 0)
        return table.Missing("8 sessions", "a query failed");
    char text[64];
    std::snprintf(text, sizeof text, "%.0f /s against %.0f /s of one", Median(eight), Median(one));
    table.Row("8 sessions", text, Median(eight) / Median(one), "x", false, 1.6);
}

void TracingRow(Table& table) {
    const std::string file =
        (std::filesystem::temp_directory_path() / ("ztv_ivic_bench_" + std::to_string(getpid()))).string();
    auto open = [](const std::string& options) {
        ViSession vi = VI_NULL;
        if (Ztv_InitWithOptions(const_cast<ViChar*>(""), VI_FALSE, VI_FALSE, options.c_str(), &vi) < 0 ||
            Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, 10.5) < 0)
            return ViSession{VI_NULL};
        return vi;
    };
    const ViSession plain = open("Simulate=true");
    const ViSession traced = open("Simulate=true, DriverSetup=Trace=true, TraceSaveInterval=60, TraceName=" + file);
    std::optional<Pair> pair;
    // Bounded: the whole trace stays in memory until it is saved.
    if (plain != VI_NULL && traced != VI_NULL)
        pair = Compare(
            15, 5000, [&] { return Bench::ReadAttribute(traced); }, [&] { return Bench::ReadAttribute(plain); });
    if (plain != VI_NULL) Ztv_close(plain);
    if (traced != VI_NULL) Ztv_close(traced);
    std::filesystem::remove(file + ".xml");
    if (!pair) return table.Missing("Tracing", "cannot open simulated sessions");
    char text[64];
    std::snprintf(text, sizeof text, "%.2f us traced / %.2f us untraced", pair->driverNs / 1e3, pair->bareNs / 1e3);
    table.Row("Tracing", text, (pair->driverNs - pair->bareNs) / 1e3, "us", true, 2.0);
}

}  // namespace

// With arguments, only the rows whose first word is named run (for profiling one path).
bool Wanted(int argc, char** argv, std::string_view row) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i)
        if (row == argv[i]) return true;
    return false;
}

int main(int argc, char** argv) {
    // No machine configuration store: the resource is used as it stands.
    setenv("IVI_CONFIG_STORE", "/nonexistent/zentrava-bench-store.xml", 1);
    std::string error;
    // The servers first: they are forked while this process has no thread.
    bench::EmulatorChild nr3Server, shortServer;
    if (!nr3Server.Start(kListPoints, false, kListQuery, &error) ||
        !shortServer.Start(kListPoints, true, kListQuery, &error)) {
        std::fprintf(stderr, "ztv_ivic_bench: %s\n", error.c_str());
        return 2;
    }
    Bench nr3(&nr3Server), shortForm(&shortServer);
    if (!nr3.Start(&error) || !shortForm.Start(&error)) {
        std::fprintf(stderr, "ztv_ivic_bench: %s\n", error.c_str());
        return 2;
    }
    std::printf("The C face against the bare transport (medians of rounds taken in turns):\n");
    Table table;
    {
        const bench::AwayFromLastProcessor clientSide;
        if (Wanted(argc, argv, "Attribute")) AttributeRow(nr3, table);
        if (Wanted(argc, argv, "Trace")) {
            TraceRow("Trace NR3", nr3, table);
            TraceRow("Trace short", shortForm, table);
        }
        if (Wanted(argc, argv, "Repeated")) RepeatedReadsRow(nr3, table);
    }
    // Sessions in parallel may use every processor.
    if (Wanted(argc, argv, "8")) ScalingRow(nr3, table);
    if (Wanted(argc, argv, "Tracing")) TracingRow(table);
    return table.allMet() ? 0 : 1;
}
