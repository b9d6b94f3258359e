// Shared helpers for driver tests: temporary folders, environment overrides,
// the thread's error text, a driver object ready to use, and the checks that
// each query reads its own reply.
#pragma once

#include <locale.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "core/driver.h"
#include "zentrava/com.h"
#include "zentrava/raii.h"

namespace ztv::test {

// com::ComPtr and com::Bstr under the short names the tests use: Ref takes
// over the reference it is made with, out() receives one from a call.
template <class T>
class Ref : public com::ComPtr<T> {
public:
    Ref() = default;
    explicit Ref(T* adopted) : com::ComPtr<T>(com::ComPtr<T>::Adopt(adopted)) {}
    T** out() { return this->Receive(); }
    void** outVoid() { return this->ReceiveVoid(); }
};

class Bstr : public com::Bstr {
public:
    using com::Bstr::Bstr;
    BSTR* out() { return Receive(); }
    std::string str() const { return Utf8(); }
};

// A fresh folder under the build's test area, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Joins an apartment and points the registry and the configuration store
// at private files, so tests never see the machine's own.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();

    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    ScopedEnv registry_;
    ScopedEnv store_;
};

// The calling thread in a locale whose decimal mark is a comma while this
// lives, as in a host program that follows its user's locale. Inactive on a
// machine without such a locale.
class CommaDecimalLocale {
public:
    static constexpr const char* kMissing =
        "no comma-decimal locale (de_DE.UTF-8) on this machine; .ci/run generates one with localedef";
    CommaDecimalLocale();
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
    bool active() const { return locale_ != nullptr; }

private:
    locale_t locale_;
    locale_t previous_ = nullptr;
};

// The description of the thread's error object, taken off the thread.
std::string ThreadErrorText();
std::string ThreadErrorSource();

// A new driver object asked for IIviDriver.
Ref<IIviDriver> NewDriver();

template <class I>
Ref<I> Query(IUnknown* object, const IID& iid) {
    Ref<I> itf;
    object->QueryInterface(iid, itf.outVoid());
    return itf;
}

HRESULT InitializeDriver(IIviDriver* driver, std::string_view resource, bool idQuery, bool reset,
                         std::string_view options);

// A number or a text read with InstrQuery; a failed query fails the test.
double QueryNumber(Zentrava& driver, const char* query);
std::string QueryText(Zentrava& driver, const char* query);

// With SENS:ATT:LEV at 12.5 and SENS:FREQ at 3.4e9: the two read alternately,
// so that a reply one behind cannot pass, and no query found the last reply
// unread (-410, query interrupted).
void ExpectOwnReplies(Zentrava& driver);

// "*LRN?" answers a block of lines (SENS:FREQ at 3.4e9 among them): its
// data holds line feeds and ends with one. Read by its length, with and
// without flushing to the end, the block comes whole and the next queries
// read their own replies.
void ExpectLearnBlocksReadByTheirLength(Zentrava& driver);

// What tools/modelgen/count.py prints of the model data ("name: number" lines),
// with the given flags: the sizes tests compare the generated tables with.
std::map<std::string, long> ModelCounts(const std::string& flags = "");

}  // namespace ztv::test
