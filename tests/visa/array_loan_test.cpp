// Only a caller holding a loan may get the array it handed back; every other
// read owns a fresh one.
#include <gtest/gtest.h>

#include "platform/visa/array_loan.h"

namespace visa {
namespace {

TEST(ArrayLoan, SpareGoesOnlyToMatchingReadsUnderALoan) {
    struct Case {
        const char* name;
        bool underLoan;
        VARTYPE type;
        ULONG count;
        bool reused;
    };
    const Case cases[] = {
        {"same type and length", true, VT_R8, 5, true},
        {"no loan open", false, VT_R8, 5, false},
        {"other length", true, VT_R8, 6, false},
        {"other type", true, VT_UI1, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SAFEARRAY* lent = nullptr;
        {
            ArrayLoan loan;
            lent = ResultVector(VT_R8, 5);
            loan.GiveBack(lent);
        }
        SAFEARRAY* got = nullptr;
        if (c.underLoan) {
            ArrayLoan loan;
            got = ResultVector(c.type, c.count);
        } else {
            got = ResultVector(c.type, c.count);
        }
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got == lent, c.reused);
        LONG upper = -1;
        EXPECT_EQ(SafeArrayGetUBound(got, 1, &upper), S_OK);
        EXPECT_EQ(upper + 1, static_cast<LONG>(c.count));
        ArrayLoan done;
        done.GiveBack(got);  // the unused spare, if any, is freed
    }
}

}  // namespace
}  // namespace visa
