/* IEEE special values as the IVI-C interface passes them: a quiet NaN marks
   "no value" in ViReal64 results, infinities mark unbounded limits. */
#ifndef ZENTRAVA_IVI_FLOAT_H
#define ZENTRAVA_IVI_FLOAT_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

double Ivi_GetViReal64NaN(void);
double Ivi_GetViReal64PosInf(void);
double Ivi_GetViReal64NegInf(void);
bool Ivi_IsNaN(double value);

#ifdef __cplusplus
}
#endif

#endif
