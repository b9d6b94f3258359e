// The generated table of every generic property (zentrava_sweep.cpp) and the
// checks its entries run on one object while simulating.
#pragma once

#include <vector>

#include "zentrava/com.h"

namespace ztv::test {

struct SweepEntry {
    const char* key;        // "IZentravaTriggerOutput.Enabled"
    const char* className;  // the objects that carry it
    HRESULT (*check)(IUnknown* object);
};

extern const std::vector<SweepEntry> kSweepEntries;

namespace sweep {

// Reads the unwritten value, then (when writable) writes another and reads it
// back; E_FAIL when a read disagrees.
template <class I, class T>
HRESULT Value(IUnknown* object, const IID& iid, HRESULT (I::*get)(T*), HRESULT (I::*put)(T), T unwritten, T other) {
    I* itf = nullptr;
    HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(&itf));
    if (FAILED(hr)) return hr;
    T read{};
    hr = (itf->*get)(&read);
    if (SUCCEEDED(hr) && read != unwritten) hr = E_FAIL;
    if (SUCCEEDED(hr) && put) {
        hr = (itf->*put)(other);
        if (SUCCEEDED(hr)) hr = (itf->*get)(&read);
        if (SUCCEEDED(hr) && read != other) hr = E_FAIL;
    }
    itf->Release();
    return hr;
}

template <class I>
HRESULT Text(IUnknown* object, const IID& iid, HRESULT (I::*get)(BSTR*), HRESULT (I::*put)(BSTR), const char* unwritten,
             const char* other) {
    I* itf = nullptr;
    HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(&itf));
    if (FAILED(hr)) return hr;
    auto read = [&](std::string* text) {
        BSTR value = nullptr;
        const HRESULT result = (itf->*get)(&value);
        *text = WideToUtf8(value);
        SysFreeString(value);
        return result;
    };
    std::string text;
    hr = read(&text);
    if (SUCCEEDED(hr) && text != unwritten) hr = E_FAIL;
    if (SUCCEEDED(hr) && put) {
        BSTR value = Utf8ToBstr(other);
        hr = (itf->*put)(value);
        SysFreeString(value);
        if (SUCCEEDED(hr)) hr = read(&text);
        if (SUCCEEDED(hr) && text != other) hr = E_FAIL;
    }
    itf->Release();
    return hr;
}

}  // namespace sweep
}  // namespace ztv::test
