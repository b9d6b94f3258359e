// What recording a session costs an exchange (a program message and its
// reply) at the transport: an in-memory transport alone, and the same
// wrapped by the recorder writing to /dev/null, and the two line writes
// alone. Recorded less unrecorded less the writes is the recorder's own
// cost, which is to stay within 2 us an exchange.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/visa/transport/recording_transport.h"

namespace {

// Answers every read with one short reply and takes every write.
class MemoryTransport final : public visa::Transport {
public:
    visa::Status Write(const std::uint8_t*, std::size_t, bool, visa::Deadline) override { return visa::Status::Ok(); }
    visa::Status Read(const visa::ReadRequest& request, visa::Deadline, visa::ReadResult* result) override {
        static constexpr char kReply[] = "-6.012345678E+01\n";
        std::memcpy(request.buffer, kReply, sizeof kReply - 1);
        *result = {sizeof kReply - 1, visa::ReadEnd::TermChar};
        return visa::Status::Ok();
    }
    visa::Status Clear(visa::Deadline) override { return visa::Status::Ok(); }
    visa::Status ReadStatusByte(visa::Deadline, std::uint8_t* statusByte) override {
        *statusByte = 0;
        return visa::Status::Ok();
    }
    visa::Status Trigger(visa::Deadline) override { return visa::Status::Ok(); }
};

void Exchange(benchmark::State& state, visa::Transport& transport) {
    static constexpr char kQuery[] = "SENS:PN1:FREQ:STAR?\n";
    std::uint8_t buffer[256];
    for (auto _ : state) {
        transport.Write(reinterpret_cast<const std::uint8_t*>(kQuery), sizeof kQuery - 1, true,
                        visa::Deadline::After(1000));
        visa::ReadResult result;
        transport.Read({buffer, sizeof buffer, true, '\n'}, visa::Deadline::After(1000), &result);
        benchmark::DoNotOptimize(result);
    }
}

void BM_ExchangeUnrecorded(benchmark::State& state) {
    MemoryTransport transport;
    Exchange(state, transport);
}
BENCHMARK(BM_ExchangeUnrecorded);

void BM_ExchangeRecorded(benchmark::State& state) {
    std::unique_ptr<visa::Transport> recorded;
    if (!visa::RecordingTransport::Wrap(std::make_unique<MemoryTransport>(), "/dev/null", "TCPIP0::bench::SOCKET",
                                        &recorded)
             .ok()) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    Exchange(state, *recorded);
}
BENCHMARK(BM_ExchangeRecorded);

// The write alone: the two lines an exchange records, each written through.
void BM_TwoLineWrites(benchmark::State& state) {
    std::FILE* file = std::fopen("/dev/null", "w");
    static constexpr char kWrite[] =
        "{\"t\":0.012345,\"event\":\"write\",\"text\":\"SENS:PN1:FREQ:STAR?\\n\",\"end\":true}\n";
    static constexpr char kRead[] =
        "{\"t\":0.012399,\"event\":\"read\",\"text\":\"-6.012345678E+01\\n\",\"end\":\"TERMCHAR\"}\n";
    for (auto _ : state) {
        std::fwrite(kWrite, 1, sizeof kWrite - 1, file);
        std::fflush(file);
        std::fwrite(kRead, 1, sizeof kRead - 1, file);
        std::fflush(file);
    }
    std::fclose(file);
}
BENCHMARK(BM_TwoLineWrites);

}  // namespace

BENCHMARK_MAIN();
