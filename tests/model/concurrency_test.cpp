// Members of different objects called from several threads at once share the
// one session; each member's command and reply must stay together.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

constexpr int kRounds = 60;

// Each client thread joins the process's multithreaded apartment.
class Apartment {
public:
    Apartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~Apartment() { CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

TEST(Concurrency, RepliesNeverCrossBetweenObjects) {
    ModelSession session;
    ASSERT_NO_FATAL_FAILURE(session.OpenEmulated());
    std::vector<Ref<IZentravaFPMarker>> markers;
    auto measurement =
        session.Item<IZentravaFPMeasurements, IZentravaFPMeasurement>(IID_IZentravaFPMeasurements, "Measurement3");
    auto collection = As<IZentravaFPMarkers>(measurement.get(), IID_IZentravaFPMarkers);
    for (const char* name : {"Marker1", "Marker2", "Marker3"}) {
        Ref<IZentravaFPMarker> marker;
        Bstr text(name);
        ASSERT_EQ(collection->get_Item(text.get(), marker.out()), S_OK);
        markers.push_back(std::move(marker));
    }
    auto root = session.Root<IZentrava>(IID_IZentrava);
    auto limit = As<IZentravaFPMeasurementLimit>(measurement.get(), IID_IZentravaFPMeasurementLimit);

    std::atomic<int> mismatches{0}, failures{0};
    std::vector<std::thread> threads;
    // Each thread writes values only it uses and reads them back at once: a
    // reply that belongs to another thread's query shows as a mismatch.
    for (std::size_t t = 0; t < markers.size(); ++t) {
        threads.emplace_back([&, t] {
            Apartment apartment;
            for (int i = 0; i < kRounds; ++i) {
                const double value = static_cast<double>((t + 1) * 100000 + i);
                double read = -1;
                if (FAILED(markers[t]->put_XValue(value)) || FAILED(markers[t]->get_XValue(&read))) ++failures;
                if (read != value) ++mismatches;
            }
        });
    }
    threads.emplace_back([&] {
        Apartment apartment;
        for (int i = 0; i < kRounds; ++i) {
            double read = -1;
            if (FAILED(root->put_Attenuation(i)) || FAILED(root->get_Attenuation(&read))) ++failures;
            if (read != i) ++mismatches;
        }
    });
    threads.emplace_back([&] {
        Apartment apartment;
        for (int i = 0; i < kRounds; ++i) {
            const VARIANT_BOOL value = (i % 2) ? VARIANT_TRUE : VARIANT_FALSE;
            VARIANT_BOOL read = 7;
            if (FAILED(limit->put_Enabled(value)) || FAILED(limit->get_Enabled(&read))) ++failures;
            if (read != value) ++mismatches;
        }
    });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace ztv::test
