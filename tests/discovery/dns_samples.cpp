#include "tests/discovery/dns_samples.h"

#include <algorithm>

namespace ztv::test {
namespace {

constexpr unsigned kResponse = 0x8400;
constexpr unsigned kA = 1, kPtr = 12, kTxt = 16, kAaaa = 28, kSrv = 33;
constexpr unsigned kIn = 1, kChaos = 3, kCacheFlush = 0x8000;
// The first name of a message starts right after the header.
constexpr unsigned kFirstName = 12;

Bytes Label(const std::string& text) {
    Bytes out(1 + text.size(), static_cast<std::uint8_t>(text.size()));
    std::copy(text.begin(), text.end(), out.begin() + 1);
    return out;
}

Bytes Text(std::initializer_list<std::string> strings) {
    Bytes out;
    for (const std::string& s : strings) out = Cat({out, Label(s)});
    return out;
}

// A PTR answer whose owner is `owner` at the first name and whose data is `data`.
Bytes OneAnswer(const Bytes& owner, unsigned type, const Bytes& data) {
    return Cat({Header(kResponse, 0, 1, 0, 0), Record(owner, type, kIn, data)});
}

const Bytes kService = Name({"_hislip", "_tcp", "local"});

}  // namespace

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes U16(unsigned value) { return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)}; }

Bytes Name(std::initializer_list<std::string> labels) {
    Bytes out;
    for (const std::string& label : labels) out = Cat({out, Label(label)});
    out.push_back(0);
    return out;
}

Bytes Pointer(unsigned offset) { return U16(0xC000 | offset); }

Bytes Header(unsigned flags, unsigned questions, unsigned answers, unsigned authorities, unsigned additional) {
    return Cat({U16(0), U16(flags), U16(questions), U16(answers), U16(authorities), U16(additional)});
}

Bytes Record(const Bytes& name, unsigned type, unsigned recordClass, const Bytes& data) {
    return Cat({name, U16(type), U16(recordClass), U16(0), U16(120), U16(static_cast<unsigned>(data.size())), data});
}

Bytes SampleResponse() {
    // The PTR's data, the instance name, follows its owner (20 bytes) and the
    // record's fixed fields (10 bytes).
    const unsigned instance = kFirstName + static_cast<unsigned>(kService.size()) + 10;
    const Bytes host = Name({"q7310b-1", "local"});
    return Cat({Header(kResponse, 0, 1, 0, 5),
                Record(kService, kPtr, kIn, Cat({Label("Q7310B 1"), Pointer(kFirstName)})),
                Record(Pointer(instance), kSrv, kIn | kCacheFlush, Cat({U16(0), U16(0), U16(4880), host})),
                Record(Pointer(instance), kTxt, kIn | kCacheFlush, Text({"a=b", "txtvers=1"})),
                Record(host, kAaaa, kIn, Bytes(16, 0)), Record(host, kA, kChaos, {1, 2, 3, 4}),
                Record(host, kA, kIn, {10, 1, 2, 3})});
}

const std::vector<MalformedMessage>& MalformedMessages() {
    const std::string label63(63, 'x'), label60(60, 'y');
    const Bytes longOwner = Name({label60, label60, label60, label60});  // 245 bytes
    static const std::vector<MalformedMessage> messages = {
        {"shorter than a header", Bytes(11, 0)},
        {"a query, not a response", Cat({Header(0, 0, 1, 0, 0), Record(kService, kPtr, kIn, Pointer(kFirstName))})},
        {"more answers counted than present",
         Cat({Header(kResponse, 0, 2, 0, 0), Record(kService, kPtr, kIn, Pointer(kFirstName))})},
        {"record data past the end",
         Cat({Header(kResponse, 0, 1, 0, 0), kService, U16(kA), U16(kIn), U16(0), U16(120), U16(40), {1, 2, 3, 4}})},
        {"owner name pointing at itself", OneAnswer(Pointer(kFirstName), kA, {1, 2, 3, 4})},
        {"two pointers pointing at each other", Cat({Header(kResponse, 0, 1, 0, 0),
                                                     Pointer(kFirstName + 2),
                                                     Pointer(kFirstName),
                                                     U16(kA),
                                                     U16(kIn),
                                                     U16(0),
                                                     U16(120),
                                                     U16(4),
                                                     {1, 2, 3, 4}})},
        {"pointer past the end", OneAnswer(Pointer(0x3FF), kA, {1, 2, 3, 4})},
        {"label of a reserved kind", OneAnswer(Cat({{0x40, 'a'}, {0}}), kA, {1, 2, 3, 4})},
        {"owner name over 255 bytes", OneAnswer(Name({label63, label63, label63, label63, label63}), kA, {1, 2, 3, 4})},
        {"PTR target over 255 bytes through a pointer",
         OneAnswer(longOwner, kPtr, Cat({Label(std::string(30, 'z')), Pointer(kFirstName)}))},
        {"PTR target short of its data", OneAnswer(kService, kPtr, Cat({Pointer(kFirstName), {0}}))},
        {"SRV data shorter than its fields", OneAnswer(kService, kSrv, {0, 0, 0, 0, 0x13})},
        {"SRV target short of its data", OneAnswer(kService, kSrv, Cat({U16(0), U16(0), U16(4880), Name({"h"}), {0}}))},
        {"SRV target running past its data",
         Cat({Header(kResponse, 0, 1, 0, 0), kService, U16(kSrv), U16(kIn), U16(0), U16(120), U16(8), U16(0), U16(0),
              U16(4880), Name({"host", "local"})})},
        {"TXT string past its record", OneAnswer(kService, kTxt, {10, 'a', '=', 'b'})},
        {"A record of five bytes", OneAnswer(kService, kA, {1, 2, 3, 4, 5})},
    };
    return messages;
}

}  // namespace ztv::test
