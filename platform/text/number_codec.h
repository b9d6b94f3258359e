// Numbers as text, the same in every locale: the host program may switch
// its locale (a comma as decimal mark, say) without changing one byte the
// driver sends, reads, stores or traces. Reading takes what the C library's
// strtod takes in the "C" locale; writing gives either the shortest text
// that reads back the same value or printf's "%.15g".
#pragma once

#include <string>
#include <string_view>

namespace codec {

// The C locale's white space, the blanks every reader skips.
constexpr bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
std::string_view TrimLeadingBlanks(std::string_view text);
std::string_view TrimTrailingBlanks(std::string_view text);
std::string_view TrimBlanks(std::string_view text);

// Reads the number at the start of [first, last) after any blanks, as strtod
// does: decimal and hexadecimal forms, a sign, "inf", "nan"; out-of-range
// values give infinity or the nearest tiny value. Returns the end of the
// number, or nullptr when the text does not start with one.
const char* ScanReal(const char* first, const char* last, double* value);
// The whole token must be a number; blanks around it are allowed.
bool ParseReal(std::string_view token, double* value);

// Shortest text that reads back the same value.
void AppendShortest(double value, std::string* out);
void AppendShortest(float value, std::string* out);
void AppendShortest(long long value, std::string* out);

// printf's "%.15g" in the C locale.
void AppendG15(double value, std::string* out);
std::string FormatG15(double value);

// Pins the calling thread to the C locale while it lives, for the printf
// directives the driver must honour as written (commands built from format
// strings); the thread's own locale comes back afterwards.
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    void* previous_;  // the thread's locale_t
};

}  // namespace codec
