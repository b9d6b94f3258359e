// Only a caller holding a loan may get the array it handed back, or have a
// result put straight into the storage it offers; every other read owns a
// fresh array.
#include "platform/visa/formatted/array_loan.h"

#include <gtest/gtest.h>

#include <optional>

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

// A result lands in the caller's storage only when the one loan open offers
// enough of its type, and only the first result of the call does.
TEST(ArrayLoan, OfferedStorageTakesOneResultThatFits) {
    struct Case {
        const char* name;
        VARTYPE offered;
        ULONG capacity;
        VARTYPE type;
        ULONG count;
        bool nested;
        bool second;  // the result is the call's second one
        bool inStorage;
    };
    const Case cases[] = {
        {"exactly the capacity", VT_R8, 5, VT_R8, 5, false, false, true},
        {"less than the capacity", VT_R8, 8, VT_R8, 5, false, false, true},
        {"more than the capacity", VT_R8, 4, VT_R8, 5, false, false, false},
        {"other type", VT_UI1, 64, VT_R8, 5, false, false, false},
        {"empty result", VT_R8, 8, VT_R8, 0, false, false, false},
        {"second result of the call", VT_R8, 8, VT_R8, 5, false, true, false},
        {"two loans open", VT_R8, 8, VT_R8, 5, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double storage[8] = {};
        ArrayLoan loan(c.offered, storage, c.capacity);
        std::optional<ArrayLoan> inner;
        if (c.nested) inner.emplace(c.offered, storage, c.capacity);
        SAFEARRAY* first = nullptr;
        if (c.second) first = ResultVector(c.type, c.count);
        SAFEARRAY* got = ResultVector(c.type, c.count);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->pvData == storage, c.inStorage);
        LONG upper = -1;
        EXPECT_EQ(SafeArrayGetUBound(got, 1, &upper), S_OK);
        EXPECT_EQ(upper + 1, static_cast<LONG>(c.count));
        if (c.count > 0) static_cast<double*>(got->pvData)[c.count - 1] = 7.5;
        // Handing the array back frees a description of the caller's storage, never the storage.
        loan.GiveBack(got);
        loan.GiveBack(first);
        if (c.inStorage) {
            EXPECT_EQ(storage[c.count - 1], 7.5);
        }
    }
}

}  // namespace
}  // namespace visa
