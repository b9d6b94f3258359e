// Identifiers shared by the activation tests and their test module.
#pragma once

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

inline const CLSID& CLSID_TestModuleClass() {
    static const CLSID clsid = GuidLiteral("{c0ffee00-1234-4abc-8def-0123456789ab}");
    return clsid;
}

// Exported by the test module besides DllGetClassObject.
using LiveObjectsFn = int (*)();
