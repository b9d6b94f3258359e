#include "platform/visa/transport/recording_transport.h"

#include <cerrno>
#include <ctime>

namespace visa {
namespace {

bool IsText(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = data[i];
        if ((c < 0x20 || c > 0x7E) && c != '\n' && c != '\r' && c != '\t') return false;
    }
    return true;
}

void AppendEscaped(std::string* out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '"':
                *out += "\\\"";
                break;
            case '\\':
                *out += "\\\\";
                break;
            case '\n':
                *out += "\\n";
                break;
            case '\r':
                *out += "\\r";
                break;
            case '\t':
                *out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    *out += ' ';  // only in error texts: events' bytes are text or base64
                } else {
                    *out += c;
                }
        }
    }
}

void AppendBase64(std::string* out, const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        const char quad[4] = {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
        out->append(quad, 4);
    }
    if (i < size) {
        const unsigned v = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0);
        *out += kDigits[v >> 18];
        *out += kDigits[(v >> 12) & 63];
        *out += i + 1 < size ? kDigits[(v >> 6) & 63] : '=';
        *out += '=';
    }
}

const char* EndName(ReadEnd end) {
    switch (end) {
        case ReadEnd::End:
            return "END";
        case ReadEnd::TermChar:
            return "TERMCHAR";
        case ReadEnd::Count:
            break;
    }
    return "COUNT";
}

}  // namespace

Status RecordingTransport::Wrap(std::unique_ptr<Transport> inner, const std::string& path, const std::string& resource,
                                std::unique_ptr<Transport>* transport) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return Status::FromErrno(E_VISA_INV_SETUP, "Cannot open the recording " + path, errno);
    std::unique_ptr<RecordingTransport> recording(new RecordingTransport(std::move(inner), file));
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string& line = recording->line_;
    line = "{\"event\":\"open\",\"resource\":\"";
    AppendEscaped(&line, resource);
    line += "\",\"time\":\"" + std::string(time) + "\",\"format\":1}\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
    *transport = std::move(recording);
    return Status::Ok();
}

RecordingTransport::RecordingTransport(std::unique_ptr<Transport> inner, std::FILE* file)
    : inner_(std::move(inner)), file_(file) {}

RecordingTransport::~RecordingTransport() { std::fclose(file_); }

void RecordingTransport::Begin(const char* event) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_);
    char head[64];
    const auto us = elapsed.count();
    std::snprintf(head, sizeof head, "{\"t\":%lld.%06lld,\"event\":\"", static_cast<long long>(us / 1000000),
                  static_cast<long long>(us % 1000000));
    line_ = head;
    line_ += event;
    line_ += '"';
}

void RecordingTransport::AppendBytes(const std::uint8_t* data, std::size_t size) {
    if (IsText(data, size)) {
        line_ += ",\"text\":\"";
        AppendEscaped(&line_, std::string_view(reinterpret_cast<const char*>(data), size));
    } else {
        line_ += ",\"base64\":\"";
        AppendBase64(&line_, data, size);
    }
    line_ += '"';
}

void RecordingTransport::Finish(const Status& status) {
    if (!status.ok()) {
        line_ += ",\"error\":\"";
        AppendEscaped(&line_, status.text);
        line_ += '"';
    }
    line_ += "}\n";
    std::fwrite(line_.data(), 1, line_.size(), file_);
    std::fflush(file_);
}

Status RecordingTransport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    const Status status = inner_->Write(data, size, end, deadline);
    const std::lock_guard<std::mutex> lock(mutex_);
    Begin("write");
    AppendBytes(data, size);
    line_ += end ? ",\"end\":true" : ",\"end\":false";
    Finish(status);
    return status;
}

Status RecordingTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    const Status status = inner_->Read(request, deadline, result);
    const std::lock_guard<std::mutex> lock(mutex_);
    Begin("read");
    AppendBytes(request.buffer, result->count);
    line_ += ",\"end\":\"";
    line_ += EndName(result->end);
    line_ += '"';
    Finish(status);
    return status;
}

Status RecordingTransport::RecordEvent(const char* event, const Status& status, const std::uint8_t* value) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Begin(event);
    if (value) line_ += ",\"value\":" + std::to_string(status.ok() ? *value : 0);
    Finish(status);
    return status;
}

Status RecordingTransport::Clear(Deadline deadline) { return RecordEvent("clear", inner_->Clear(deadline), nullptr); }

Status RecordingTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    return RecordEvent("stb", inner_->ReadStatusByte(deadline, statusByte), statusByte);
}

Status RecordingTransport::Trigger(Deadline deadline) {
    return RecordEvent("trigger", inner_->Trigger(deadline), nullptr);
}

Status RecordingTransport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    return RecordEvent("srq", inner_->WaitForServiceRequest(deadline, statusByte), statusByte);
}

}  // namespace visa
