// The wire formats both the driver and the emulator speak: what one side
// encodes the other must decode unchanged, and what neither may accept is
// refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/protocol/byte_order.h"
#include "platform/protocol/hislip_message.h"
#include "platform/protocol/rpc_call.h"
#include "platform/protocol/rpc_record_mark.h"

namespace protocol {
namespace {

TEST(ByteOrder, EverySizeRoundTripsMostSignificantFirst) {
    constexpr std::uint64_t kValue = 0x0102030405060708ull;
    for (std::size_t size = 1; size <= 8; ++size) {
        std::uint8_t bytes[8] = {};
        PutBigEndian(kValue, size, bytes);
        const std::uint64_t low = size == 8 ? kValue : kValue & ((std::uint64_t{1} << (8 * size)) - 1);
        EXPECT_EQ(GetBigEndian(bytes, size), low) << size;
        EXPECT_EQ(bytes[size - 1], 0x08) << size;  // the least significant byte comes last
    }
    std::uint8_t word[4];
    PutBigEndian32(0x80000010u, word);
    EXPECT_EQ(std::vector<std::uint8_t>(word, word + 4), (std::vector<std::uint8_t>{0x80, 0x00, 0x00, 0x10}));
}

TEST(HislipMessage, HeadersRoundTripAndNonHislipBytesAreRefused) {
    const hislip::Header cases[] = {
        {hislip::Initialize, 0, 0x0100'5A54u, 7},
        {hislip::DataEnd, hislip::kRmtDelivered, 0xFFFFFF00u, 0},
        {hislip::AsyncMaximumMessageSizeResponse, 0, 0, 8},
        {hislip::AsyncLockInfoResponse, 255, 0xFFFFFFFFu, ~std::uint64_t{0}},
    };
    for (const hislip::Header& header : cases) {
        const auto bytes = hislip::EncodeHeader(header);
        EXPECT_EQ(bytes[0], 'H');
        EXPECT_EQ(bytes[1], 'S');
        const std::optional<hislip::Header> decoded = hislip::DecodeHeader(bytes.data());
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->type, header.type);
        EXPECT_EQ(decoded->control, header.control);
        EXPECT_EQ(decoded->parameter, header.parameter);
        EXPECT_EQ(decoded->payloadLength, header.payloadLength);
    }
    for (const char* prefix : {"hS", "Hs", "SH", "\0\0", "#0"}) {
        std::uint8_t bytes[hislip::kHeaderSize] = {};
        std::memcpy(bytes, prefix, 2);
        EXPECT_FALSE(hislip::DecodeHeader(bytes).has_value()) << prefix;
    }
}

TEST(HislipMessage, AMessageIsItsHeaderThenItsPayload) {
    const std::string message = hislip::EncodeMessage(hislip::Data, 0, 0xFFFFFF02u, "*IDN?\n");
    ASSERT_EQ(message.size(), hislip::kHeaderSize + 6);
    const auto header = hislip::DecodeHeader(reinterpret_cast<const std::uint8_t*>(message.data()));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->payloadLength, 6u);
    EXPECT_EQ(header->parameter, 0xFFFFFF02u);
    EXPECT_EQ(message.substr(hislip::kHeaderSize), "*IDN?\n");
}

TEST(RpcRecordMark, AMarkCarriesTheLengthAndWhetherTheFragmentIsLast) {
    std::uint8_t bytes[kRecordMarkSize] = {0x00, 0x00, 0x01, 0x2C};
    RecordMark mark = ReadRecordMark(bytes);
    EXPECT_EQ(mark.length, 300u);
    EXPECT_FALSE(mark.last);
    PutWholeRecordMark(70000, bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + kRecordMarkSize),
              (std::vector<std::uint8_t>{0x80, 0x01, 0x11, 0x70}));
    mark = ReadRecordMark(bytes);
    EXPECT_EQ(mark.length, 70000u);
    EXPECT_TRUE(mark.last);
}

TEST(RpcRecordMark, ARecordIsOneLastFragment) {
    for (std::size_t size : {0u, 1u, 300u, 70000u}) {
        const std::string record(size, 'x');
        const std::string framed = FrameRecord(record);
        ASSERT_EQ(framed.size(), kRecordMarkSize + size);
        const std::uint32_t mark = GetBigEndian32(reinterpret_cast<const std::uint8_t*>(framed.data()));
        EXPECT_NE(mark & kLastFragment, 0u);
        EXPECT_EQ(mark & ~kLastFragment, size);
    }
}

// A call message as a client encodes it: header, then one unsigned argument.
// Written here with the RPC library alone, not with the driver's client: an
// oracle the decoder is checked against must not share its code.
std::string EncodeCall(std::uint32_t xid, unsigned long program, unsigned long version, unsigned long procedure,
                       opaque_auth credentials) {
    std::string bytes(1024, '\0');
    XDR xdrs;
    xdrmem_create(&xdrs, bytes.data(), static_cast<u_int>(bytes.size()), XDR_ENCODE);
    rpc_msg call{};
    call.rm_xid = xid;
    call.rm_direction = CALL;
    call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    call.rm_call.cb_prog = program;
    call.rm_call.cb_vers = version;
    call.rm_call.cb_proc = procedure;
    call.rm_call.cb_cred = credentials;
    call.rm_call.cb_verf = opaque_auth{AUTH_NONE, nullptr, 0};
    u_int argument = 0xC0FFEE;
    EXPECT_TRUE(xdr_callmsg(&xdrs, &call) && xdr_u_int(&xdrs, &argument));
    bytes.resize(xdr_getpos(&xdrs));
    xdr_destroy(&xdrs);
    return bytes;
}

TEST(RpcCall, DecodesTheHeaderAndLeavesTheArguments) {
    char machine[] = "bench";
    const std::string bytes = EncodeCall(42, 0x0607AF, 1, 11, opaque_auth{AUTH_NONE, nullptr, 0});
    RpcCall call(bytes.data(), bytes.size());
    ASSERT_TRUE(call.valid());
    EXPECT_EQ(call.xid(), 42u);
    EXPECT_EQ(call.program(), 0x0607AFu);
    EXPECT_EQ(call.version(), 1u);
    EXPECT_EQ(call.procedure(), 11u);
    u_int argument = 0;
    ASSERT_TRUE(xdr_u_int(call.arguments(), &argument));
    EXPECT_EQ(argument, 0xC0FFEEu);

    // Credentials are kept in the call's own storage.
    const std::string withCredentials = EncodeCall(7, 100000, 2, 3, opaque_auth{AUTH_SYS, machine, sizeof machine});
    RpcCall credentialed(withCredentials.data(), withCredentials.size());
    ASSERT_TRUE(credentialed.valid());
    EXPECT_EQ(credentialed.credentials().oa_flavor, static_cast<enum_t>(AUTH_SYS));
    ASSERT_EQ(credentialed.credentials().oa_length, sizeof machine);
    EXPECT_EQ(std::memcmp(credentialed.credentials().oa_base, machine, sizeof machine), 0);
}

TEST(RpcCall, RefusesWhatIsNotACall) {
    const std::string good = EncodeCall(1, 100000, 2, 3, opaque_auth{AUTH_NONE, nullptr, 0});
    std::string reply = good;  // the direction word says REPLY
    PutBigEndian32(REPLY, reinterpret_cast<std::uint8_t*>(reply.data()) + 4);
    std::string oversized = good;  // credentials claiming more than any flavour may carry
    const std::uint32_t tooLong = MAX_AUTH_BYTES + 1;
    PutBigEndian32(tooLong, reinterpret_cast<std::uint8_t*>(oversized.data()) + 28);
    const std::string cases[] = {
        good.substr(0, 4),        // the transaction id alone
        good.substr(0, 20),       // cut inside the header
        reply,                    // a reply, not a call
        std::string(40, '\xA5'),  // garbage
        oversized,
    };
    for (const std::string& bytes : cases) {
        RpcCall call(bytes.data(), bytes.size());
        EXPECT_FALSE(call.valid()) << bytes.size();
    }
}

}  // namespace
}  // namespace protocol
