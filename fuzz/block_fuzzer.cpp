// Block headers and the replies read through the formatter from an in-memory
// session: blocks (definite and indefinite), lists and numbers. The header
// parser must agree with itself however the bytes are cut; then the first
// byte picks the read and the termination character setting, the rest is
// the reply.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/protocol/ieee_block.h"
#include "platform/visa/formatted/formatted_io.h"
#include "tests/visa/memory_message.h"

namespace {

void CheckHeader(std::string_view text) {
    using protocol::BlockHeaderStatus;
    const protocol::BlockHeader open = protocol::ParseBlockHeader(text);
    const protocol::BlockHeader whole = protocol::ParseBlockHeader(text, true);
    // Knowing that no more bytes follow only decides a header cut short.
    if (open.status != BlockHeaderStatus::kIncomplete && whole.status != open.status) __builtin_trap();
    if (whole.status == BlockHeaderStatus::kIncomplete) __builtin_trap();
    if (open.status == BlockHeaderStatus::kDefinite) {
        if (open.size < 3 || open.size > 11 || open.size > text.size()) __builtin_trap();
        // A header written for the length reads back as that length.
        const std::string written = protocol::DefiniteBlockHeader(open.length);
        const protocol::BlockHeader again = protocol::ParseBlockHeader(written, true);
        if (again.status != BlockHeaderStatus::kDefinite || again.length != open.length) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    CheckHeader(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    visa::test::MemoryMessage session;
    session.put_TerminationCharacterEnabled((data[0] & 0x10) ? VARIANT_TRUE : VARIANT_FALSE);
    session.replies.emplace_back(reinterpret_cast<const char*>(data) + 1, size - 1);
    session.replies.emplace_back("1\n");
    const auto io = com::ComPtr<visa::FormattedIO>::Adopt(visa::FormattedIO::Create());
    io->putref_IO(&session);
    VARIANT value;
    VariantInit(&value);
    const bool flag = (data[0] & 0x20) != 0;
    switch (data[0] % 5) {
        case 0:
            io->ReadIEEEBlock(visa::BinaryType_UI1, flag, VARIANT_TRUE, &value);
            break;
        case 1:
            io->ReadIEEEBlock(visa::BinaryType_R8, flag, VARIANT_FALSE, &value);
            break;
        case 2:
            io->ReadList(visa::ASCIIType_R8, nullptr, &value);
            break;
        case 3:
            io->ReadList(visa::ASCIIType_BSTR, nullptr, &value);
            break;
        default:
            io->ReadNumber(visa::ASCIIType_R8, VARIANT_TRUE, &value);
            break;
    }
    VariantClear(&value);
    // Whatever the first reply was, reading on must stay within the session.
    io->ReadNumber(visa::ASCIIType_I4, VARIANT_TRUE, &value);
    VariantClear(&value);
    io->putref_IO(nullptr);
    return 0;
}
