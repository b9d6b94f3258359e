// Number and list replies: the driver's own conversions, the formatter's
// tokens of every type, and the streaming list parser fed in two pieces.
// Reading a number must also agree with the C library in the C locale: where
// the number ends, and its value bit for bit; so must every list item the
// list item scanner takes.
#include <locale.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/reply_parsing.h"
#include "platform/text/list_item_scanner.h"
#include "platform/text/number_codec.h"
#include "platform/visa/formatted/number_text.h"
#include "platform/visa/formatted/real_list_parser.h"

namespace {

// strtod in the C locale: the reference every reading is held to.
double ReadWithCLibrary(const std::string& text, char** end) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text.c_str(), end, c);
}

bool SameDouble(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

void ReadsAsTheCLibrary(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return;  // strtod would stop there
    const std::string token(text);
    char* expectedEnd = nullptr;
    const double expected = ReadWithCLibrary(token, &expectedEnd);
    const bool expectedNumber = expectedEnd != token.c_str();
    double value = 0;
    const char* end = codec::ScanReal(token.data(), token.data() + token.size(), &value);
    if ((end != nullptr) != expectedNumber) __builtin_trap();
    if (end != nullptr && (end != expectedEnd || !SameDouble(value, expected))) __builtin_trap();
}

// Every item the scanner takes reads as the C library reads the whole item;
// past one it does not take, it starts again after the next separator. The
// input is scanned where it lies, so a read beyond it is caught.
void ScannedItemsReadAsTheCLibrary(std::string_view text) {
    codec::ListItemScanner scanner(",;");
    std::vector<double> values;
    const char* p = text.data();
    const char* const end = text.data() + text.size();
    while (p != end) {
        values.clear();
        const char* const stop = scanner.ScanItems(p, end, &values);
        for (const double value : values) {
            const char* separator = p;
            while (*separator != ',' && *separator != ';') ++separator;
            const std::string item(p, separator);
            char* itemEnd = nullptr;
            const double expected = ReadWithCLibrary(item, &itemEnd);
            if (item.empty() || *itemEnd != '\0' || !SameDouble(value, expected)) __builtin_trap();
            p = separator + 1;
        }
        if (p != stop) __builtin_trap();
        while (p != end && *p != ',' && *p != ';') ++p;
        if (p != end) ++p;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t split = data[0] % size;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ztv::ReplyToDouble(text);
    ztv::ReplyToLong(text);
    double real = 0;
    codec::ParseReal(text, &real);
    ReadsAsTheCLibrary(text);
    ScannedItemsReadAsTheCLibrary(text);
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
