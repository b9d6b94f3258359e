#include "platform/ivi/ivi_float.h"

#include <cmath>
#include <limits>

extern "C" {

double Ivi_GetViReal64NaN(void) { return std::numeric_limits<double>::quiet_NaN(); }
double Ivi_GetViReal64PosInf(void) { return std::numeric_limits<double>::infinity(); }
double Ivi_GetViReal64NegInf(void) { return -std::numeric_limits<double>::infinity(); }
bool Ivi_IsNaN(double value) { return std::isnan(value); }
}
