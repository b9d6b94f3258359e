// Identifiers and the class shared by the activation tests and their test module.
#pragma once

#include <atomic>

#include "zentrava/com.h"

// The test class's one custom interface.
struct ITestAnswer : IUnknown {
    virtual int Answer() = 0;

protected:
    ~ITestAnswer() = default;
};

inline const IID& IID_ITestAnswer() {
    static const IID iid = GuidLiteral("{6d1f3c2a-0b7e-4c55-9a41-2f8e7d3b9c10}");
    return iid;
}

// A heap object that answers a fixed number; `live`, when given, counts the
// objects alive.
class AnswerObject final : public ITestAnswer {
public:
    explicit AnswerObject(int answer, std::atomic<int>* live = nullptr) : answer_(answer), live_(live) {
        if (live_) ++*live_;
    }
    ~AnswerObject() {
        if (live_) --*live_;
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_ITestAnswer()) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<ITestAnswer*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    int Answer() override { return answer_; }

private:
    const int answer_;
    std::atomic<int>* const live_;
    std::atomic<ULONG> refs_{1};
};

inline const CLSID& CLSID_TestModuleClass() {
    static const CLSID clsid = GuidLiteral("{c0ffee00-1234-4abc-8def-0123456789ab}");
    return clsid;
}

// Exported by the test module besides DllGetClassObject.
using LiveObjectsFn = int (*)();
