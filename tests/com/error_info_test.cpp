#include <gtest/gtest.h>

#include <thread>

#include "tests/com/counted_unknown.h"
#include "zentrava/com.h"

namespace {

// Creates an error object with the given description, as IErrorInfo.
IErrorInfo* MakeError(const char16_t* description) {
    ICreateErrorInfo* writer = nullptr;
    EXPECT_EQ(CreateErrorInfo(&writer), S_OK);
    writer->SetDescription(description);
    IErrorInfo* reader = nullptr;
    EXPECT_EQ(writer->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&reader)), S_OK);
    writer->Release();
    return reader;
}

std::u16string TakeDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return u"<none>";
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::u16string result(BstrView(text));
    SysFreeString(text);
    info->Release();
    return result;
}

// An IErrorInfo that only counts references, to watch ownership.
class CountedErrorInfo : public IErrorInfo {
public:
    HRESULT QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetGUID(GUID*) override { return E_NOTIMPL; }
    HRESULT GetSource(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetDescription(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetHelpContext(DWORD*) override { return E_NOTIMPL; }
    std::atomic<ULONG> refs{1};
};

TEST(ErrorInfo, FieldsWrittenAreFieldsRead) {
    ICreateErrorInfo* writer = nullptr;
    ASSERT_EQ(CreateErrorInfo(&writer), S_OK);
    EXPECT_EQ(writer->SetGUID(IID_IClassFactory), S_OK);
    EXPECT_EQ(writer->SetSource(u"Zentrava.Zentrava.1"), S_OK);
    EXPECT_EQ(writer->SetDescription(u"Zentrava: A connection to the instrument has not been established."), S_OK);
    EXPECT_EQ(writer->SetHelpFile(u"Zentrava.chm"), S_OK);
    EXPECT_EQ(writer->SetHelpContext(42), S_OK);

    IErrorInfo* reader = nullptr;
    ASSERT_EQ(writer->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&reader)), S_OK);
    GUID guid;
    EXPECT_EQ(reader->GetGUID(&guid), S_OK);
    EXPECT_EQ(guid, IID_IClassFactory);
    BSTR text = nullptr;
    EXPECT_EQ(reader->GetSource(&text), S_OK);
    EXPECT_EQ(BstrView(text), u"Zentrava.Zentrava.1");
    SysFreeString(text);
    EXPECT_EQ(reader->GetDescription(&text), S_OK);
    EXPECT_EQ(BstrView(text), u"Zentrava: A connection to the instrument has not been established.");
    SysFreeString(text);
    EXPECT_EQ(reader->GetHelpFile(&text), S_OK);
    EXPECT_EQ(BstrView(text), u"Zentrava.chm");
    SysFreeString(text);
    DWORD context = 0;
    EXPECT_EQ(reader->GetHelpContext(&context), S_OK);
    EXPECT_EQ(context, 42u);

    // Both views lead back to each other and share one identity.
    ICreateErrorInfo* writerAgain = nullptr;
    ASSERT_EQ(reader->QueryInterface(IID_ICreateErrorInfo, reinterpret_cast<void**>(&writerAgain)), S_OK);
    EXPECT_EQ(writerAgain, writer);
    IUnknown* viaWriter = nullptr;
    IUnknown* viaReader = nullptr;
    ASSERT_EQ(writer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaWriter)), S_OK);
    ASSERT_EQ(reader->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaReader)), S_OK);
    EXPECT_EQ(viaWriter, viaReader);
    void* none = &context;
    EXPECT_EQ(reader->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    viaWriter->Release();
    viaReader->Release();
    writerAgain->Release();
    reader->Release();
    EXPECT_EQ(writer->Release(), 0u);
}

TEST(ErrorInfo, UnsetFieldsReadEmpty) {
    IErrorInfo* info = MakeError(nullptr);
    BSTR text = nullptr;
    EXPECT_EQ(info->GetSource(&text), S_OK);
    EXPECT_EQ(SysStringLen(text), 0u);
    SysFreeString(text);
    GUID guid = IID_IUnknown;
    info->GetGUID(&guid);
    EXPECT_EQ(guid, GUID_NULL);
    info->Release();
}

TEST(ErrorInfo, GetHandsOverAndClears) {
    IErrorInfo* none = MakeError(u"stale");
    IErrorInfo* out = none;
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE);
    EXPECT_EQ(out, nullptr);
    none->Release();

    IErrorInfo* info = MakeError(u"first");
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    EXPECT_EQ(TakeDescription(), u"first");
    EXPECT_EQ(TakeDescription(), u"<none>");
    EXPECT_EQ(GetErrorInfo(1, &out), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST(ErrorInfo, SetReferencesNewAndReleasesOld) {
    CountedErrorInfo first, second;
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    EXPECT_EQ(first.refs, 2u);
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK);
    EXPECT_EQ(first.refs, 1u);
    EXPECT_EQ(second.refs, 2u);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(second.refs, 1u);
    EXPECT_EQ(SetErrorInfo(7, &first), E_INVALIDARG);
    EXPECT_EQ(first.refs, 1u);
}

TEST(ErrorInfo, EachThreadHasItsOwnObject) {
    IErrorInfo* mine = MakeError(u"main thread");
    SetErrorInfo(0, mine);
    mine->Release();

    std::u16string seenBefore, seenAfter;
    std::thread other([&] {
        seenBefore = TakeDescription();
        IErrorInfo* theirs = MakeError(u"other thread");
        SetErrorInfo(0, theirs);
        theirs->Release();
        seenAfter = TakeDescription();
    });
    other.join();
    EXPECT_EQ(seenBefore, u"<none>");
    EXPECT_EQ(seenAfter, u"other thread");
    EXPECT_EQ(TakeDescription(), u"main thread");
}

TEST(ErrorInfo, ThreadExitReleasesTheObject) {
    CountedErrorInfo info;
    std::thread other([&] { SetErrorInfo(0, &info); });
    other.join();
    EXPECT_EQ(info.refs, 1u);
}

}  // namespace
