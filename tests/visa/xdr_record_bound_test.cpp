// Decoding VXI-11 arguments from a record in memory: a string or opaque
// may claim no more than what is left of the record (the XDR library would
// allocate the claimed length before finding the record short), while what
// fits decodes as before.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "rpc/vxi11.h"

namespace {

// Appends by resize and copy: GCC 12's optimiser misreads a range insert
// into a small vector as an overflow.
void Append(std::vector<char>* record, const void* bytes, std::size_t count) {
    const std::size_t at = record->size();
    record->resize(at + count);
    if (count > 0) std::memcpy(record->data() + at, bytes, count);
}

void PutWord(std::vector<char>* record, std::uint32_t value) {
    const std::uint32_t big = htonl(value);
    Append(record, &big, sizeof big);
}

// create_link arguments: client id, lock flag, lock time-out, then the name's
// claimed length and as many bytes of it as `present` says.
std::vector<char> CreateLinkRecord(std::uint32_t claimed, const std::string& present) {
    std::vector<char> record;
    PutWord(&record, 7);
    PutWord(&record, 0);
    PutWord(&record, 1000);
    PutWord(&record, claimed);
    Append(&record, present.data(), present.size());
    record.resize((record.size() + 3) & ~std::size_t{3}, '\0');
    return record;
}

bool Decode(std::vector<char>& record, Create_LinkParms* parms) {
    XDR xdrs;
    xdrmem_create(&xdrs, record.data(), static_cast<u_int>(record.size()), XDR_DECODE);
    const bool decoded = xdr_Create_LinkParms(&xdrs, parms);
    xdr_destroy(&xdrs);
    return decoded;
}

TEST(XdrRecordBound, IsWhatIsLeftAfterTheLengthWhenDecodingFromMemory) {
    char record[16] = {};
    XDR xdrs;
    xdrmem_create(&xdrs, record, sizeof record, XDR_DECODE);
    EXPECT_EQ(ztv_xdr_record_bound(&xdrs), 12u);
    u_int word = 0;
    for (u_int left : {8u, 4u, 0u, 0u}) {
        ASSERT_TRUE(xdr_u_int(&xdrs, &word));
        EXPECT_EQ(ztv_xdr_record_bound(&xdrs), left);
    }
    xdr_destroy(&xdrs);
    // Encoding is bounded by nothing but the protocol.
    xdrmem_create(&xdrs, record, sizeof record, XDR_ENCODE);
    EXPECT_EQ(ztv_xdr_record_bound(&xdrs), ~0u);
    xdr_destroy(&xdrs);
}

TEST(XdrRecordBound, ClaimsBeyondTheRecordFail) {
    for (std::uint32_t claimed : {9u, 64u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::vector<char> record = CreateLinkRecord(claimed, "inst0");  // 8 bytes with padding
        Create_LinkParms parms{};
        EXPECT_FALSE(Decode(record, &parms)) << claimed;
        xdr_free(reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), reinterpret_cast<char*>(&parms));
    }
}

TEST(XdrRecordBound, WhatFitsDecodes) {
    for (const std::string name : {"", "inst0", "gpib0,12"}) {
        std::vector<char> record = CreateLinkRecord(static_cast<std::uint32_t>(name.size()), name);
        Create_LinkParms parms{};
        ASSERT_TRUE(Decode(record, &parms)) << name;
        EXPECT_EQ(parms.clientId, 7);
        EXPECT_EQ(parms.lock_timeout, 1000u);
        EXPECT_STREQ(parms.device == nullptr ? "" : parms.device, name.c_str());
        xdr_free(reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), reinterpret_cast<char*>(&parms));
    }
}

}  // namespace
