// Numbers as the programs print them: printf's "%g" and "%f" forms as the C
// locale writes them, whatever locale the program runs in, so that a comma
// decimal mark never reaches a CSV file, an SVG plot or a script reading the
// output.
#pragma once

#include <string>

namespace apptext {

// printf's "%.<precision>g".
std::string General(double value, int precision = 6);
// printf's "%.<precision>f".
std::string Fixed(double value, int precision);

}  // namespace apptext
