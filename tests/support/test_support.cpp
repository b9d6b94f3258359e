#include "tests/support/test_support.h"

#include <gmock/gmock.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace ztv::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const char* base = std::getenv("ZENTRAVA_TEST_TMP");
    std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
    path_ = root / ("t" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

CommaDecimalLocale::CommaDecimalLocale()
    : locale_(newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr))) {
    if (!locale_) return;
    previous_ = uselocale(locale_);
    if (*localeconv()->decimal_point == ',') return;
    uselocale(previous_);
    freelocale(std::exchange(locale_, static_cast<locale_t>(nullptr)));
}

CommaDecimalLocale::~CommaDecimalLocale() {
    if (!locale_) return;
    uselocale(previous_);
    freelocale(locale_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

IsolatedEnvironment::IsolatedEnvironment()
    : registry_("ZENTRAVA_REGISTRY", dir_.file("registry.xml")), store_("IVI_CONFIG_STORE", dir_.file("no-store.xml")) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

IsolatedEnvironment::~IsolatedEnvironment() { CoUninitialize(); }

std::string ThreadErrorText() { return TakeThreadErrorDescription(); }

std::string ThreadErrorSource() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    BSTR source = nullptr;
    info->GetSource(&source);
    std::string text = WideToUtf8(source);
    SysFreeString(source);
    info->Release();
    return text;
}

Ref<IIviDriver> NewDriver() {
    Ref<IIviDriver> driver;
    Zentrava::CreateInstance(IID_IIviDriver, driver.outVoid());
    return driver;
}

HRESULT InitializeDriver(IIviDriver* driver, std::string_view resource, bool idQuery, bool reset,
                         std::string_view options) {
    Bstr name(resource), opts(options);
    return driver->Initialize(name.get(), idQuery ? VARIANT_TRUE : VARIANT_FALSE, reset ? VARIANT_TRUE : VARIANT_FALSE,
                              opts.get());
}

std::map<std::string, long> ModelCounts(const std::string& flags) {
    std::map<std::string, long> counts;
    const std::string command = std::string(ZTV_PYTHON) + " " + ZTV_MODELGEN_COUNT + " " + flags + " " + ZTV_MODEL_DIR;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return counts;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        const std::string text(line);
        const std::size_t colon = text.rfind(':');
        if (colon != std::string::npos) counts[text.substr(0, colon)] = std::atol(text.c_str() + colon + 1);
    }
    pclose(pipe);
    return counts;
}

double QueryNumber(Zentrava& driver, const char* query) {
    double value = -1;
    EXPECT_EQ(driver.IO().InstrQuery(query, &value, kCurrentTimeout), S_OK) << query << ThreadErrorText();
    return value;
}

std::string QueryText(Zentrava& driver, const char* query) {
    std::string reply;
    EXPECT_EQ(driver.IO().InstrQuery(query, &reply, 1024, kCurrentTimeout), S_OK) << query << ThreadErrorText();
    return reply;
}

void ExpectOwnReplies(Zentrava& driver) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(QueryNumber(driver, "SENS:ATT:LEV?"), 12.5);
        EXPECT_EQ(QueryNumber(driver, "SENS:FREQ?"), 3.4e9);
    }
    EXPECT_THAT(QueryText(driver, "SYST:ERR?"), ::testing::StartsWith("0,"));
}

void ExpectLearnBlocksReadByTheirLength(Zentrava& driver) {
    for (const bool flushToEnd : {true, false}) {
        SCOPED_TRACE(flushToEnd ? "flushing to the end" : "flushing afterwards");
        ASSERT_EQ(driver.IO().InstrWriteNoPoll("*LRN?", kCurrentTimeout), S_OK);
        SAFEARRAY* block = nullptr;
        ASSERT_EQ(driver.Provider().FormattedReadIEEEBlock(&block, true, flushToEnd, kCurrentTimeout), S_OK)
            << ThreadErrorText();
        const std::string data(static_cast<const char*>(block->pvData), block->rgsabound[0].cElements);
        SafeArrayDestroy(block);
        EXPECT_THAT(data, ::testing::StartsWith("SYST:SET #"));
        EXPECT_THAT(data, ::testing::HasSubstr("\nSENS:FREQ 3.4e9\n"));
        EXPECT_EQ(data.back(), '\n');
        if (!flushToEnd) {
            ASSERT_EQ(driver.Provider().FormattedFlushRead(kCurrentTimeout), S_OK);
        }
        ExpectOwnReplies(driver);
    }
}

}  // namespace ztv::test
