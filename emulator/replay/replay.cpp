#include "emulator/replay/replay.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

namespace emulator {

namespace {

using Json = nlohmann::json;

std::optional<std::string> DecodeBase64(const std::string& text) {
    std::string out;
    unsigned value = 0;
    int bits = 0;
    std::size_t padding = 0;
    for (char c : text) {
        int digit;
        if (c >= 'A' && c <= 'Z')
            digit = c - 'A';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            digit = c - '0' + 52;
        else if (c == '+')
            digit = 62;
        else if (c == '/')
            digit = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else {
            return std::nullopt;
        }
        if (padding) return std::nullopt;  // data after padding
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    if ((text.size() % 4) != 0 || padding > 2) return std::nullopt;
    return out;
}

std::string WithoutTerminator(std::string_view message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.remove_suffix(1);
    return std::string(message);
}

// The bytes of a write or read event: "text" or "base64".
bool Bytes(const Json& event, std::string* bytes, std::string* why) {
    if (event.contains("text") && event["text"].is_string()) {
        *bytes = event["text"].get<std::string>();
        return true;
    }
    if (event.contains("base64") && event["base64"].is_string()) {
        std::optional<std::string> decoded = DecodeBase64(event["base64"].get<std::string>());
        if (decoded) {
            *bytes = std::move(*decoded);
            return true;
        }
        *why = "\"base64\" is not base64";
        return false;
    }
    *why = "a " + event["event"].get<std::string>() + " event needs \"text\" or \"base64\"";
    return false;
}

}  // namespace

bool Replay::IsPoll(std::string_view message) { return message == "*STB?" || message == "*ESR?" || message == "*OPC?"; }

// Turns the recording's events, line by line, into items.
class Replay::Loader {
public:
    explicit Loader(std::vector<Item>& items) : items_(items) {}
    // Takes the event of one line; why it is damaged, if it is.
    std::optional<std::string> Take(const Json& event, int line);

private:
    std::optional<std::string> Write(const Json& event, double t, bool failed, int line);
    std::optional<std::string> Read(const Json& event, double t, bool failed);

    std::vector<Item>& items_;
    std::string pending_;     // a program message written in parts
    double writtenAt_ = 0;    // when its last part went out
    bool replyOpen_ = false;  // the last message's reply has not ended yet
};

std::optional<std::string> Replay::Loader::Take(const Json& event, int line) {
    if (event.is_discarded() || !event.is_object()) return "not a JSON object";
    if (!event.contains("event") || !event["event"].is_string()) return "no \"event\"";
    const std::string name = event["event"].get<std::string>();
    if (line == 1 && name != "open") return "a recording starts with an \"open\" event";
    if (name == "open") {
        if (line != 1) return "\"open\" after the first line";
        return std::nullopt;
    }
    if (!event.contains("t") || !event["t"].is_number()) return "no time \"t\"";
    const double t = event["t"].get<double>();
    // A failed operation left nothing to replay but the time it took.
    const bool failed = event.contains("error");
    if (name == "write") return Write(event, t, failed, line);
    if (name == "read") return Read(event, t, failed);
    if (name == "stb" || name == "srq") {
        if (failed) return std::nullopt;
        if (!event.contains("value") || !event["value"].is_number_integer()) {
            return "a " + name + " event needs \"value\"";
        }
        items_.push_back({name, "", std::nullopt, {}, event["value"].get<int>(), line});
        return std::nullopt;
    }
    if (name == "clear" || name == "trigger") {
        items_.push_back({name, "", std::nullopt, {}, 0, line});
        return std::nullopt;
    }
    return "unknown event \"" + name + "\"";
}

std::optional<std::string> Replay::Loader::Write(const Json& event, double t, bool failed, int line) {
    std::string bytes, why;
    if (!Bytes(event, &bytes, &why)) return why;
    pending_ += bytes;
    writtenAt_ = t;
    if (!event.contains("end") || !event["end"].is_boolean()) return "a write event needs \"end\": true or false";
    if (event["end"].get<bool>() && !failed) {
        items_.push_back({"write", WithoutTerminator(pending_), std::nullopt, {}, 0, line});
        pending_.clear();
        replyOpen_ = true;
    }
    return std::nullopt;
}

std::optional<std::string> Replay::Loader::Read(const Json& event, double t, bool failed) {
    std::string bytes, why;
    if (!Bytes(event, &bytes, &why)) return why;
    if (failed && bytes.empty()) return std::nullopt;
    if (!replyOpen_ || items_.empty() || items_.back().event != "write") {
        return "a reply with no program message before it";
    }
    Item& item = items_.back();
    if (!item.reply) {
        item.reply = std::string();
        item.delay = std::chrono::microseconds(std::llround((t - writtenAt_) * 1e6));
    }
    *item.reply += bytes;
    if (!event.contains("end") || !event["end"].is_string()) return "a read event needs \"end\"";
    if (event["end"].get<std::string>() != "COUNT") replyOpen_ = false;
    return std::nullopt;
}

std::unique_ptr<Replay> Replay::Load(const std::string& path, double speed, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = path + ": cannot be read";
        return nullptr;
    }
    std::unique_ptr<Replay> replay(new Replay);
    replay->speed_ = speed;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Loader loader(replay->items_);
    int number = 0;
    auto fail = [&](const std::string& why) {
        *error = path + ":" + std::to_string(number) + ": " + why;
        return nullptr;
    };
    for (std::size_t at = 0; at < text.size();) {
        ++number;
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return fail("truncated: the last line does not end");
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty()) continue;
        if (std::optional<std::string> why = loader.Take(Json::parse(line, nullptr, false), number)) return fail(*why);
    }
    if (number == 0) return fail("empty");
    // The transports terminate replies themselves.
    for (Item& item : replay->items_) {
        if (item.reply && !item.reply->empty() && item.reply->back() == '\n') item.reply->pop_back();
    }
    return replay;
}

Replay::Answer Replay::Next(std::string_view received) {
    const std::string message = WithoutTerminator(received);
    std::lock_guard<std::mutex> lock(mutex_);
    // Recorded polls the client does not make now are passed over, and so are
    // status-byte reads and service requests it does not wait for.
    std::size_t i = next_;
    while (i < items_.size() && (items_[i].event != "write" || IsPoll(items_[i].message)) &&
           !(items_[i].event == "write" && items_[i].message == message)) {
        ++i;
    }
    Answer answer;
    answer.runLocally = !message.empty() && message[0] == '*' && message.find('?') == std::string::npos;
    if (i < items_.size() && items_[i].event == "write" && items_[i].message == message) {
        const Item& item = items_[i];
        next_ = i + 1;
        answer.recorded = true;
        answer.reply = item.reply;
        answer.delay = std::chrono::microseconds(std::llround(static_cast<double>(item.delay.count()) * speed_));
        if (IsPoll(message) && item.reply) lastPollReply_[message] = *item.reply;
        return answer;
    }
    // A poll the client repeats more often than the recording did.
    if (IsPoll(message)) {
        if (auto last = lastPollReply_.find(message); last != lastPollReply_.end()) {
            answer.recorded = true;
            answer.reply = last->second;
        }
    }
    return answer;
}

std::optional<int> Replay::NextStatusByte() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = next_; i < items_.size() && items_[i].event != "write"; ++i) {
        if (items_[i].event == "stb" || items_[i].event == "srq") {
            next_ = i + 1;
            return items_[i].value;
        }
    }
    return std::nullopt;
}

void Replay::Pass(const char* event) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = next_; i < items_.size() && items_[i].event != "write"; ++i) {
        if (items_[i].event == event) {
            next_ = i + 1;
            return;
        }
    }
}

std::string Replay::Expected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = next_; i < items_.size(); ++i) {
        if (items_[i].event == "write")
            return "\"" + items_[i].message + "\" (line " + std::to_string(items_[i].line) + ")";
    }
    return "nothing: the recording has ended";
}

}  // namespace emulator
