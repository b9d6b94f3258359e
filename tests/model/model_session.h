// A driver session for object-model tests: simulated, or against the
// instrument emulator on a loopback port, with helpers that reach the root's
// interfaces, measurements and markers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "tests/support/test_support.h"
#include "zentrava/interfaces.h"

namespace ztv::test {

class ModelSession {
public:
    ModelSession();
    ~ModelSession();

    // Simulated session; `model` forces the instrument model.
    HRESULT OpenSimulated(std::string_view model = "Q7310B");
    // Session with a running emulator; ASSERTs that both start.
    void OpenEmulated(emulator::Options options = {});

    IIviDriver* driver() const { return driver_.get(); }
    emulator::Emulator& emu() { return *emulator_; }

    template <class I>
    Ref<I> Root(const IID& iid) const {
        return Query<I>(driver_.get(), iid);
    }

    // The measurement of a collection, and a marker of a measurement.
    template <class Measurements, class Measurement>
    Ref<Measurement> Item(const IID& collection, std::string_view name) const {
        Ref<Measurement> item;
        Bstr text(name);
        Root<Measurements>(collection)->get_Item(text.get(), item.out());
        return item;
    }

    // Messages the emulator received since the last call, terminators removed.
    std::vector<std::string> Sent();

private:
    IsolatedEnvironment env_;
    Ref<IIviDriver> driver_;
    std::unique_ptr<emulator::Emulator> emulator_;
};

// Interface of an object through another of its interfaces.
template <class I>
Ref<I> As(IUnknown* object, const IID& iid) {
    return Query<I>(object, iid);
}

// The elements of a one-dimensional array of doubles.
std::vector<double> Doubles(SAFEARRAY* array);
SAFEARRAY* MakeDoubles(const std::vector<double>& values);

}  // namespace ztv::test
