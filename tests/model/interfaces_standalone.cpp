// The public interface header compiles on its own, before anything else.
#include "zentrava/enums.h"
#include "zentrava/interfaces.h"

static_assert(sizeof(ZentravaTriggerSlopeEnum) == sizeof(LONG), "enumerations travel as 32-bit numbers");
static_assert(ZentravaApplicationAM1 == 4 && ZentravaFrequencyRange_80MHz == 0 &&
              ZentravaStatusRegisterQuesLimitAM == 8);
