// A transport that writes every exchange through it to a file as JSON
// lines, one event an object, for the record to be read or replayed:
//   {"event":"open","resource":R,"time":"2026-01-01T12:00:00Z","format":1}
//   {"t":S,"event":"write","text":T,"end":true}        a program message (part)
//   {"t":S,"event":"read","text":T,"end":"END"}        reply bytes; end is END,
//                                                      TERMCHAR or COUNT
//   {"t":S,"event":"stb","value":N}                    a status-byte read
//   {"t":S,"event":"srq","value":N}                    a service request seen
//   {"t":S,"event":"clear"} {"t":S,"event":"trigger"}
// S is seconds since the open; bytes that are not plain text come as
// "base64" instead of "text"; an operation that failed carries "error".
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/visa/transport/transport.h"

namespace visa {

class RecordingTransport final : public Transport {
public:
    // Opens (truncates) the file at `path` and writes its first line.
    static Status Wrap(std::unique_ptr<Transport> inner, const std::string& path, const std::string& resource,
                       std::unique_ptr<Transport>* transport);
    ~RecordingTransport() override;

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;
    bool CarriesEnd() const override { return inner_->CarriesEnd(); }
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) override;
    void Interrupt() override { inner_->Interrupt(); }

private:
    RecordingTransport(std::unique_ptr<Transport> inner, std::FILE* file);

    // Starts an event line: time and name.
    void Begin(const char* event);
    // Ends the line with the operation's error, if any, and writes it.
    void Finish(const Status& status);
    void AppendBytes(const std::uint8_t* data, std::size_t size);
    // Records an event without bytes, with the status byte `value` when given.
    Status RecordEvent(const char* event, const Status& status, const std::uint8_t* value);

    std::unique_ptr<Transport> inner_;
    std::FILE* file_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;  // a service-request wait may record from another thread
    std::string line_;
};

}  // namespace visa
