// Number and list replies: the driver's own conversions, the formatter's
// tokens of every type, and the streaming list parser fed in two pieces.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/io_provider.h"
#include "platform/text/number_codec.h"
#include "platform/visa/number_text.h"
#include "platform/visa/real_list_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t split = data[0] % size;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ztv::ReplyToDouble(text);
    ztv::ReplyToLong(text);
    double real = 0;
    codec::ParseReal(text, &real);
    for (visa::IEEEASCIIType type : {visa::ASCIIType_I2, visa::ASCIIType_I4, visa::ASCIIType_R4, visa::ASCIIType_R8,
                                     visa::ASCIIType_BSTR, visa::ASCIIType_Any}) {
        VARIANT value;
        VariantInit(&value);
        visa::TokenToVariant(text, type, &value);
        VariantClear(&value);
    }
    visa::RealListParser parser(",;");
    parser.Feed(text.substr(0, split));
    parser.Feed(text.substr(std::min(split, text.size())));
    parser.Finish();
    return 0;
}
