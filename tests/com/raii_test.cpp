#include "zentrava/raii.h"

#include <gtest/gtest.h>

#include "tests/com/counted_unknown.h"

namespace {

TEST(ComPtr, CountsEveryReferenceItTakesAndDrops) {
    CountedUnknown object;
    {
        auto adopted = com::ComPtr<IUnknown>::Adopt(&object);
        EXPECT_EQ(object.refs(), 1u);
        object.AddRef();
        {
            auto shared = com::ComPtr<IUnknown>::Share(&object);
            EXPECT_EQ(object.refs(), 3u);
            const com::ComPtr<IUnknown> copy = shared;
            EXPECT_EQ(object.refs(), 4u);
            const com::ComPtr<IUnknown> moved = std::move(shared);
            EXPECT_EQ(object.refs(), 4u);
            EXPECT_FALSE(shared);
        }
        EXPECT_EQ(object.refs(), 2u);
        IUnknown* handed = adopted.Detach();
        EXPECT_EQ(handed, &object);
        EXPECT_FALSE(adopted);
        EXPECT_EQ(object.refs(), 2u);
        adopted = com::ComPtr<IUnknown>::Adopt(handed);
    }
    EXPECT_EQ(object.refs(), 1u);
}

TEST(ComPtr, ReceiveDropsWhatItHeldBeforeTheCallFillsIt) {
    CountedUnknown first, second;
    auto held = com::ComPtr<IUnknown>::Share(&first);
    ASSERT_EQ(second.QueryInterface(IID_IUnknown, held.ReceiveVoid()), S_OK);
    EXPECT_EQ(first.refs(), 1u);
    EXPECT_EQ(second.refs(), 2u);
    EXPECT_EQ(held.get(), &second);
}

TEST(BstrOwner, OwnsUtf8TextAsUtf16) {
    const com::Bstr text("Grüße ≥ 1 µV");
    ASSERT_TRUE(text);
    EXPECT_EQ(text.view(), u"Grüße ≥ 1 µV");
    EXPECT_EQ(text.Utf8(), "Grüße ≥ 1 µV");
    EXPECT_EQ(SysStringLen(text.get()), 12u);
}

TEST(BstrOwner, ReceiveAndDetachPassOwnershipWithoutLeaks) {
    com::Bstr text("first");
    BSTR* slot = text.Receive();
    EXPECT_EQ(*slot, nullptr);
    *slot = SysAllocString(u"second");
    EXPECT_EQ(text.view(), u"second");
    auto other = com::Bstr::Adopt(text.Detach());
    EXPECT_FALSE(text);
    EXPECT_EQ(other.Utf8(), "second");
    EXPECT_FALSE(com::Bstr());
    EXPECT_EQ(com::Bstr().Utf8(), "");
}

SAFEARRAY* Reals(std::initializer_list<double> values) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 0, static_cast<ULONG>(values.size()));
    std::copy(values.begin(), values.end(), static_cast<double*>(array->pvData));
    return array;
}

TEST(SafeArrayView, LocksTheArrayWhileItShowsTheElements) {
    SAFEARRAY* array = Reals({1.5, -2.0, 1e300});
    {
        const com::SafeArrayView<double> view(array);
        ASSERT_EQ(view.status(), S_OK);
        ASSERT_EQ(view.elements().size(), 3u);
        EXPECT_EQ(view.elements()[0], 1.5);
        EXPECT_EQ(view.elements()[2], 1e300);
        EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    }
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArrayView, RefusesArraysItCannotShowAsItsElementType) {
    SAFEARRAY* reals = Reals({1.0});
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    SAFEARRAY* square = SafeArrayCreate(VT_UI1, 2, bounds);
    const struct {
        const char* what;
        SAFEARRAY* array;
    } cases[] = {{"null", nullptr}, {"other element size", reals}, {"two dimensions", square}};
    for (const auto& c : cases) {
        const com::SafeArrayView<BYTE> view(c.array);
        EXPECT_TRUE(FAILED(view.status())) << c.what;
        EXPECT_TRUE(view.elements().empty()) << c.what;
    }
    EXPECT_EQ(SafeArrayDestroy(reals), S_OK);
    EXPECT_EQ(SafeArrayDestroy(square), S_OK);
}

struct IFirst : IUnknown {
    virtual int First() = 0;
};
struct ISecond : IUnknown {
    virtual int Second() = 0;
};
const IID kIidFirst = GuidLiteral("{5a0c1f5e-0d7b-4f57-9a41-3f1e2b6c0001}");
const IID kIidFirstAlias = GuidLiteral("{5a0c1f5e-0d7b-4f57-9a41-3f1e2b6c0002}");
const IID kIidSecond = GuidLiteral("{5a0c1f5e-0d7b-4f57-9a41-3f1e2b6c0003}");

class Both final : public com::ComObject<Both, com::Implements<IFirst, kIidFirst, kIidFirstAlias>,
                                         com::Implements<ISecond, kIidSecond>> {
public:
    explicit Both(bool* destroyed) : destroyed_(destroyed) {}
    ~Both() override { *destroyed_ = true; }
    int First() override { return 1; }
    int Second() override { return 2; }

private:
    bool* destroyed_;
};

TEST(ComObject, AnswersItsInterfacesWithOneIdentityAndDiesWithItsLastReference) {
    bool destroyed = false;
    auto object = com::ComPtr<IFirst>::Adopt(new Both(&destroyed));

    com::ComPtr<ISecond> second;
    ASSERT_EQ(object->QueryInterface(kIidSecond, second.ReceiveVoid()), S_OK);
    EXPECT_EQ(second->Second(), 2);
    com::ComPtr<IFirst> alias;
    ASSERT_EQ(second->QueryInterface(kIidFirstAlias, alias.ReceiveVoid()), S_OK);
    EXPECT_EQ(alias->First(), 1);

    com::ComPtr<IUnknown> fromFirst, fromSecond;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, fromFirst.ReceiveVoid()), S_OK);
    ASSERT_EQ(second->QueryInterface(IID_IUnknown, fromSecond.ReceiveVoid()), S_OK);
    EXPECT_EQ(fromFirst.get(), fromSecond.get());

    void* none = &destroyed;
    EXPECT_EQ(object->QueryInterface(IID_IErrorInfo, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(object->QueryInterface(kIidSecond, nullptr), E_POINTER);

    object = {};
    second = {};
    alias = {};
    fromFirst = {};
    EXPECT_FALSE(destroyed);
    fromSecond = {};
    EXPECT_TRUE(destroyed);
}

}  // namespace
