#include <gtest/gtest.h>

#include <cstring>

#include "tests/com/counted_unknown.h"
#include "zentrava/com.h"

namespace {

TEST(SafeArray, ElementSizesAndTypes) {
    struct Case {
        VARTYPE vt;
        unsigned int size;
    };
    const Case cases[] = {
        {VT_UI1, 1},
        {VT_I2, 2},
        {VT_BOOL, 2},
        {VT_I4, 4},
        {VT_R4, 4},
        {VT_R8, 8},
        {VT_BSTR, sizeof(BSTR)},
        {VT_UNKNOWN, sizeof(IUnknown*)},
        {VT_VARIANT, sizeof(VARIANT)},
    };
    for (const Case& c : cases) {
        SAFEARRAY* psa = SafeArrayCreateVector(c.vt, 0, 3);
        ASSERT_NE(psa, nullptr) << c.vt;
        EXPECT_EQ(SafeArrayGetElemsize(psa), c.size) << c.vt;
        EXPECT_EQ(SafeArrayGetDim(psa), 1u);
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
        EXPECT_EQ(vt, c.vt);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 3), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_NULL, 0, 3), nullptr);
}

TEST(SafeArray, BoundsPerDimension) {
    SAFEARRAYBOUND bounds[2] = {{3, -1}, {4, 10}};
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 2u);
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, -1);
    EXPECT_EQ(upper, 1);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &upper), S_OK);
    EXPECT_EQ(lower, 10);
    EXPECT_EQ(upper, 13);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa, 3, &upper), DISP_E_BADINDEX);

    // Every cell is addressable and distinct.
    for (LONG i = 10; i <= 13; ++i) {
        for (LONG j = -1; j <= 1; ++j) {
            LONG indices[2] = {i, j};
            LONG value = i * 100 + j;
            ASSERT_EQ(SafeArrayPutElement(psa, indices, &value), S_OK);
        }
    }
    for (LONG i = 10; i <= 13; ++i) {
        for (LONG j = -1; j <= 1; ++j) {
            LONG indices[2] = {i, j};
            LONG value = 0;
            ASSERT_EQ(SafeArrayGetElement(psa, indices, &value), S_OK);
            EXPECT_EQ(value, i * 100 + j);
        }
    }
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, bounds), nullptr);
}

TEST(SafeArray, EmptyVectorHasUpperBoundBelowLower) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_R8, 0, 0);
    ASSERT_NE(psa, nullptr);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
    LONG index = 0;
    double value = 0;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, ElementAccessIsBoundsChecked) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_R8, 1, 3);
    ASSERT_NE(psa, nullptr);
    struct Case {
        LONG index;
        HRESULT expected;
    };
    const Case cases[] = {{0, DISP_E_BADINDEX}, {1, S_OK}, {3, S_OK}, {4, DISP_E_BADINDEX}, {-1, DISP_E_BADINDEX}};
    for (const Case& c : cases) {
        LONG index = c.index;
        double value = 1.5 * c.index;
        EXPECT_EQ(SafeArrayPutElement(psa, &index, &value), c.expected) << c.index;
        double read = -1;
        EXPECT_EQ(SafeArrayGetElement(psa, &index, &read), c.expected) << c.index;
        if (c.expected == S_OK) {
            EXPECT_EQ(read, 1.5 * c.index);
        }
    }
    LONG index = 1;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(psa, nullptr, &index), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, AccessDataLocksAgainstDestroy) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_NE(psa, nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    std::memcpy(data, "\x01\x02\x03\x04", 4);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);

    LONG index = 2;
    BYTE value = 0;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &value), S_OK);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, BstrElementsAreCopiedInAndOut) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
    ASSERT_NE(psa, nullptr);
    BSTR mine = SysAllocString(u"Marker1");
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, mine), S_OK);
    SysFreeString(mine);  // the array holds its own copy

    BSTR read = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &read), S_OK);
    EXPECT_EQ(BstrView(read), u"Marker1");
    BSTR* cells = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&cells)), S_OK);
    EXPECT_NE(read, cells[0]);
    EXPECT_EQ(cells[1], nullptr);
    SafeArrayUnaccessData(psa);
    SysFreeString(read);

    // Overwriting frees the old element (checked by the leak sanitizer).
    BSTR other = SysAllocString(u"Marker2");
    ASSERT_EQ(SafeArrayPutElement(psa, &index, other), S_OK);
    SysFreeString(other);
    ASSERT_EQ(SafeArrayPutElement(psa, &index, nullptr), S_OK);
    read = SysAllocString(u"junk");
    BSTR keep = read;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &read), S_OK);
    EXPECT_EQ(read, nullptr);
    SysFreeString(keep);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, UnknownElementsAreReferenced) {
    CountedUnknown object;
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UNKNOWN, 0, 2);
    ASSERT_NE(psa, nullptr);
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, static_cast<IUnknown*>(&object)), S_OK);
    EXPECT_EQ(object.refs(), 2u);
    IUnknown* read = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &read), S_OK);
    EXPECT_EQ(read, &object);
    EXPECT_EQ(object.refs(), 3u);
    read->Release();

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(object.refs(), 3u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(object.refs(), 1u);
}

TEST(SafeArray, CopyIsDeep) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 5, 2);
    ASSERT_NE(psa, nullptr);
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"SENS:ATT:LEV 10.5");
    LONG index = 6;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, &text), S_OK);
    VariantClear(&text);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    ASSERT_NE(copy, nullptr);
    LONG lower = 0;
    EXPECT_EQ(SafeArrayGetLBound(copy, 1, &lower), S_OK);
    EXPECT_EQ(lower, 5);
    EXPECT_EQ(copy->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);  // the copy must survive its source

    VARIANT read;
    ASSERT_EQ(SafeArrayGetElement(copy, &index, &read), S_OK);
    EXPECT_EQ(read.vt, VT_BSTR);
    EXPECT_EQ(BstrView(read.bstrVal), u"SENS:ATT:LEV 10.5");
    VariantClear(&read);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    SAFEARRAY* none = psa;
    EXPECT_EQ(SafeArrayCopy(nullptr, &none), S_OK);
    EXPECT_EQ(none, nullptr);
}

TEST(Variant, ClearFreesWhatItOwns) {
    CountedUnknown object;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.refs(), 1u);

    v.vt = VT_ARRAY | VT_R8;
    v.parray = SafeArrayCreateVector(VT_R8, 0, 3);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(v.parray, &data), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_R8);
    SafeArrayUnaccessData(v.parray);
    EXPECT_EQ(VariantClear(&v), S_OK);

    v.vt = 0x7FF;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, CopyDuplicatesStringsArraysAndReferences) {
    CountedUnknown object;
    VARIANT source, target;
    VariantInit(&source);
    VariantInit(&target);

    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(u"Q7310A");
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);
    EXPECT_NE(target.bstrVal, source.bstrVal);
    EXPECT_EQ(BstrView(target.bstrVal), u"Q7310A");
    VariantClear(&source);

    source.vt = VT_UNKNOWN;
    source.punkVal = &object;
    object.AddRef();
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);  // also frees the string it held
    EXPECT_EQ(target.punkVal, &object);
    EXPECT_EQ(object.refs(), 3u);
    VariantClear(&source);

    source.vt = VT_ARRAY | VT_I2;
    source.parray = SafeArrayCreateVector(VT_I2, 0, 1);
    LONG index = 0;
    SHORT value = 7;
    SafeArrayPutElement(source.parray, &index, &value);
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);
    EXPECT_EQ(object.refs(), 1u);
    EXPECT_NE(target.parray, source.parray);
    VariantClear(&source);
    value = 0;
    EXPECT_EQ(SafeArrayGetElement(target.parray, &index, &value), S_OK);
    EXPECT_EQ(value, 7);

    source.vt = VT_R8;
    source.dblVal = 2.5;
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);
    EXPECT_EQ(target.vt, VT_R8);
    EXPECT_EQ(target.dblVal, 2.5);
    EXPECT_EQ(VariantCopy(&target, &target), S_OK);

    source.vt = VT_VARIANT;  // only valid by reference
    EXPECT_EQ(VariantCopy(&target, &source), DISP_E_BADVARTYPE);
    EXPECT_EQ(target.vt, VT_R8);
}

}  // namespace
