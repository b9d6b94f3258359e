#include "emulator/instrument/scpi_parser.h"

#include <strings.h>

#include <cctype>
#include <charconv>
#include <cstring>

#include "platform/protocol/ieee_block.h"

namespace emulator::scpi {

namespace {

constexpr int kSyntaxError = -102;
constexpr int kMnemonicTooLong = -112;
constexpr int kInvalidParameterData = -160;
constexpr std::size_t kMaxMnemonicLetters = 12;

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Returns the error of a malformed node, or 0.
int CheckNode(std::string_view node) {
    std::size_t letters = 0;
    while (letters < node.size() && std::isalpha(static_cast<unsigned char>(node[letters]))) ++letters;
    if (letters == 0) return kSyntaxError;
    for (std::size_t i = letters; i < node.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(node[i]))) return kSyntaxError;
    }
    return letters > kMaxMnemonicLetters ? kMnemonicTooLong : 0;
}

struct RawUnit {
    std::string_view text;
    std::size_t dataEnd = 0;  // offset just past the last byte of block data
};

// Splits at top-level ";". `unterminated` tells that the message ended inside
// a string or a block whose declared length exceeds the bytes present.
std::vector<RawUnit> SplitUnits(std::string_view message, bool& unterminated) {
    std::vector<RawUnit> units;
    Scanner scanner;
    std::size_t start = 0, dataEnd = 0;
    for (std::size_t i = 0; i < message.size(); ++i) {
        Scanner::Kind kind = scanner.Feed(static_cast<unsigned char>(message[i]));
        if (kind == Scanner::Kind::Block) dataEnd = i + 1 - start;
        if (kind == Scanner::Kind::Syntax && message[i] == ';') {
            units.push_back({message.substr(start, i - start), dataEnd});
            start = i + 1;
            dataEnd = 0;
        }
    }
    units.push_back({message.substr(start), dataEnd});
    unterminated = scanner.InsideParameterData();
    return units;
}

std::string_view TrimFront(std::string_view text) {
    while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    return text;
}

}  // namespace

Scanner::Kind Scanner::Feed(unsigned char byte) {
    switch (state_) {
        case State::Normal:
            if (byte == '"')
                state_ = State::Double;
            else if (byte == '\'')
                state_ = State::Single;
            else if (byte == '#')
                state_ = State::BlockCount;
            return byte == '"' || byte == '\'' ? Kind::Quoted : Kind::Syntax;
        case State::Double:
            if (byte == '"') state_ = State::Normal;
            return Kind::Quoted;
        case State::Single:
            if (byte == '\'') state_ = State::Normal;
            return Kind::Quoted;
        case State::BlockCount:
            if (byte == '0') {
                state_ = State::Indefinite;
            } else if (byte >= '1' && byte <= '9') {
                lengthDigits_ = byte - '0';
                remaining_ = 0;
                state_ = State::BlockLength;
            } else {
                state_ = State::Normal;  // "#H1F" style numbers are plain syntax
                return Feed(byte);
            }
            return Kind::Block;
        case State::BlockLength:
            if (byte < '0' || byte > '9') {
                state_ = State::Normal;
                return Kind::Syntax;
            }
            remaining_ = remaining_ * 10 + (byte - '0');
            if (--lengthDigits_ == 0) state_ = remaining_ ? State::BlockData : State::Normal;
            return Kind::Block;
        case State::BlockData:
            if (--remaining_ == 0) state_ = State::Normal;
            return Kind::Block;
        case State::Indefinite:
            // An indefinite block runs to the message terminator.
            if (byte == '\n') {
                state_ = State::Normal;
                return Kind::Syntax;
            }
            return Kind::Block;
    }
    return Kind::Syntax;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string NormalizeMnemonic(std::string_view mnemonic) {
    std::size_t letters = 0;
    while (letters < mnemonic.size() && std::isalpha(static_cast<unsigned char>(mnemonic[letters]))) ++letters;
    std::string word = Upper(mnemonic.substr(0, letters));
    // Short form: the first four letters, or three when the fourth is a vowel.
    if (word.size() > 4) word.resize(std::strchr("AEIOU", word[3]) ? 3 : 4);
    std::string_view suffix = mnemonic.substr(letters);
    while (suffix.size() > 1 && suffix.front() == '0') suffix.remove_prefix(1);
    if (!suffix.empty() && suffix != "1") word += suffix;
    return word;
}

std::string JoinNodes(const std::vector<std::string>& nodes, std::size_t count) {
    std::string key;
    for (std::size_t i = 0; i < count && i < nodes.size(); ++i) {
        if (i) key += ':';
        key += nodes[i];
    }
    return key;
}

namespace {

// Sets the unit's query and common marks and its nodes; a compound header
// continues the path the unit before left, which it updates.
void ResolveHeader(Unit& unit, std::vector<std::string>& path) {
    std::string_view header = unit.header;
    if (!header.empty() && header.back() == '?') {
        unit.query = true;
        header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
        unit.common = true;
        header.remove_prefix(1);
        std::size_t letters = 0;
        while (letters < header.size() && std::isalpha(static_cast<unsigned char>(header[letters]))) ++letters;
        if (letters == 0 || letters != header.size()) unit.error = kSyntaxError;
        unit.nodes.push_back(Upper(header));
        return;
    }
    bool absolute = !header.empty() && header.front() == ':';
    if (absolute) header.remove_prefix(1);
    std::vector<std::string> nodes = absolute ? std::vector<std::string>{} : path;
    std::size_t start = 0;
    while (unit.error == 0) {
        std::size_t colon = header.find(':', start);
        std::string_view node =
            header.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        unit.error = CheckNode(node);
        nodes.push_back(NormalizeMnemonic(node));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    path.assign(nodes.begin(), nodes.end() - (nodes.empty() ? 0 : 1));
    unit.nodes = std::move(nodes);
}

}  // namespace

std::vector<Unit> ParseMessage(std::string_view message) {
    std::vector<Unit> units;
    std::vector<std::string> path;
    bool unterminated = false;
    std::vector<RawUnit> raws = SplitUnits(message, unterminated);
    for (std::size_t index = 0; index < raws.size(); ++index) {
        const RawUnit& raw = raws[index];
        std::string_view text = TrimFront(raw.text);
        std::size_t leading = raw.text.size() - text.size();
        if (text.empty()) {
            // Empty units are tolerated only at the end of the message ("A;B;").
            if (index + 1 < raws.size()) {
                Unit empty;
                empty.error = kSyntaxError;
                units.push_back(std::move(empty));
            }
            continue;
        }
        Unit unit;
        std::size_t headerEnd = 0;
        while (headerEnd < text.size() && !IsBlank(static_cast<unsigned char>(text[headerEnd]))) ++headerEnd;
        unit.header = std::string(text.substr(0, headerEnd));
        std::string_view params = TrimFront(text.substr(headerEnd));
        std::size_t paramsOffset = leading + (text.size() - params.size());
        std::size_t keep = params.size();
        std::size_t dataEnd = raw.dataEnd > paramsOffset ? raw.dataEnd - paramsOffset : 0;
        while (keep > dataEnd && IsBlank(static_cast<unsigned char>(params[keep - 1]))) --keep;
        unit.params = std::string(params.substr(0, keep));

        ResolveHeader(unit, path);
        if (!unit.common && unit.error == 0 && unterminated && index + 1 == raws.size()) {
            unit.error = kInvalidParameterData;
        }
        units.push_back(std::move(unit));
    }
    return units;
}

std::vector<std::string> SplitParameters(std::string_view params) {
    std::vector<std::string> out;
    Scanner scanner;
    std::size_t start = 0;
    auto push = [&](std::size_t end) {
        std::string_view item = TrimFront(params.substr(start, end - start));
        bool block = !item.empty() && item.front() == '#';
        while (!block && !item.empty() && IsBlank(static_cast<unsigned char>(item.back()))) item.remove_suffix(1);
        out.emplace_back(item);
    };
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (scanner.Feed(static_cast<unsigned char>(params[i])) == Scanner::Kind::Syntax && params[i] == ',') {
            push(i);
            start = i + 1;
        }
    }
    push(params.size());
    return out;
}

std::string DefiniteBlock(std::string_view payload) {
    return protocol::DefiniteBlockHeader(payload.size()).append(payload);
}

std::optional<std::string> BlockPayload(std::string_view param) {
    const protocol::BlockHeader header = protocol::ParseBlockHeader(param, true);
    if (header.status != protocol::BlockHeaderStatus::kDefinite) return std::nullopt;
    if (param.size() - header.size < header.length) return std::nullopt;
    return std::string(param.substr(header.size, header.length));
}

std::optional<double> Number(std::string_view param) {
    if (param.empty()) return std::nullopt;
    std::string text(param);
    if (strcasecmp(text.c_str(), "ON") == 0) return 1.0;
    if (strcasecmp(text.c_str(), "OFF") == 0) return 0.0;
    // from_chars reads the C locale's form whatever locale the host program
    // set; it leaves SCPI's leading '+' to the caller.
    const char* first = param.data();
    const char* last = first + param.size();
    if (*first == '+' && last - first > 1 && first[1] != '-') ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

}  // namespace emulator::scpi
