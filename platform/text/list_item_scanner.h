// Reads the items of a long list of reals, as instruments send traces
// ("-6.000109999E+01,-6.000219998E+01,..."), with 16-byte vector
// instructions. Items of one list mostly share a shape: where the sign, the
// digits, the point and the exponent are. An item is checked against the
// shapes of the last items in a few instructions, and its digits are then
// gathered from known places and turned into one integer all at once, so no
// item waits for the one before. An item it does not take (blanks, more
// than 16 characters, more digits or a larger power than exact arithmetic
// allows, anything malformed) is left to the general reader; one it takes
// reads as strtod reads it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace codec {

class ListItemScanner {
public:
    // Takes one or two separators that cannot be part of a number; with
    // others, or on a processor without the vector instructions, it takes
    // no item.
    explicit ListItemScanner(std::string_view separators = {});

    // Reads the items at p, each up to its separator, onto `values`, until
    // one it does not take or until fewer than 24 characters are left before
    // `end`; returns where it stopped.
    const char* ScanItems(const char* p, const char* end, std::vector<double>* values);

private:
    struct Shape {
        // The item, every digit made '0'. At first a text that no item
        // matches, since none keeps a '1'.
        char normalized[16] = {'1'};
        // Where each digit of the mantissa is, placed so that the last digit
        // lands in the last byte; -1 (the byte becomes zero) before the first.
        std::int8_t gather[16] = {};
        std::uint32_t compared = 1;  // the characters the item is checked at
        char separator = 0;
        unsigned length = 0;
        int power = 0;           // of the last digit of the mantissa, before any exponent
        unsigned powerSign = 0;  // where '-' would make the exponent negative
        unsigned powerStart = 0;
        unsigned powerDigits = 0;  // none: no exponent
    };
    // The shape of the item at p, kept in place of the oldest; nullptr when
    // the item is not of a form taken.
    const Shape* Learn(const char* p);

    // A few shapes: where a number's last digits are zeros, "%g" leaves them
    // out, so a list of such numbers alternates between a few shapes.
    static constexpr unsigned kShapes = 4;
    char first_ = 0;
    char second_ = 0;
    bool usable_ = false;
    Shape shapes_[kShapes];
    unsigned last_ = 0;    // the shape the last item had
    unsigned oldest_ = 0;  // the shape the next one learnt replaces
};

}  // namespace codec
