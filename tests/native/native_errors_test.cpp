// Failed calls of the native C++ API: which exception, with which C-face
// status and text, in simulation and when opening fails.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <typeinfo>

#include "tests/support/test_support.h"
#include "zentrava/driver.hpp"

namespace {

using zentrava::Driver;

struct Failure {
    const char* what;
    std::function<void(const Driver&)> call;
    const std::type_info& type;
    std::uint32_t status;
    std::string text;  // the start of what()
};

class NativeErrors : public ::testing::Test {
protected:
    ztv::test::IsolatedEnvironment environment_;
};

TEST_F(NativeErrors, EachFailureThrowsItsClassWithTheCFaceStatus) {
    const Failure failures[] = {
        {"an unknown measurement name", [](const Driver& d) { d.application().phase_noise().measurements()["Meas1"]; },
         typeid(zentrava::SelectorError), 0xBFFA0065u,
         "Unknown name in selector: \"Meas1\"; the names are Measurement1."},
        {"an unknown marker name",
         [](const Driver& d) { d.application().phase_noise().measurements()[1].markers()["Marker11"]; },
         typeid(zentrava::SelectorError), 0xBFFA0065u,
         "Unknown name in selector: \"Marker11\"; the names are Marker1, Marker2, Marker3, Marker4, Marker5, "
         "Marker6, Marker7, Marker8, Marker9, Marker10."},
        {"a measurement number past the end", [](const Driver& d) { d.application().phase_noise().measurements()[2]; },
         typeid(zentrava::SelectorError), 0xBFFA0064u, "There is no item 2 here; the items are 1 to 1 (Measurement1)."},
        {"marker number 0", [](const Driver& d) { d.application().transient().measurements()[1].markers()[0]; },
         typeid(zentrava::SelectorError), 0xBFFA0064u, "There is no item 0 here"},
        {"an invalid enumeration value",
         [](const Driver& d) {
             d.status().set_register(zentrava::StatusRegister::STATUS_BYTE, zentrava::StatusSubRegister::EVENT, 1);
         },
         typeid(zentrava::InvalidValueError), 0xBFFA0010u,
         "Zentrava: Invalid value (ZentravaStatusSubRegisterEvent) for method put_Register, parameter SubRegister."},
    };
    Driver driver("", {.id_query = false, .simulate = true});
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        try {
            failure.call(driver);
            ADD_FAILURE() << "no exception";
        } catch (const zentrava::Error& e) {
            EXPECT_EQ(typeid(e), failure.type) << typeid(e).name();
            EXPECT_EQ(static_cast<std::uint32_t>(e.status()), failure.status);
            EXPECT_EQ(std::string(e.what()).substr(0, failure.text.size()), failure.text);
        }
    }
}

TEST_F(NativeErrors, AFeatureTheModelLacksThrowsModelNotSupported) {
    Driver q7310a("", {.id_query = false, .simulate = true, .options = "DriverSetup=Model=Q7310A"});
    try {
        q7310a.system().get_state();
        ADD_FAILURE() << "the Q7310A read its state";
    } catch (const zentrava::ModelNotSupportedError& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.status()), 0xBFFA4216u);
        EXPECT_EQ(std::string(e.what()).rfind("Zentrava: Instrument model does not support this feature: ", 0), 0u);
    }
}

TEST_F(NativeErrors, OpeningSaysWhyItFailed) {
    const struct {
        const char* resource;
        const char* options;
        const char* text;
    } cases[] = {
        {"TCPIP0::127.0.0.1::1::SOCKET", "", "Zentrava: Unknown resource. Connection refused by 127.0.0.1:1."},
        {"NOT A RESOURCE", "",
         "Zentrava: Unknown resource. Invalid resource name \"NOT A RESOURCE\": unknown interface type."},
        {"", "Simulate=maybe", "Zentrava: The maybe value in the option string is unknown."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resource);
        try {
            Driver driver(c.resource, {.options = c.options});
            ADD_FAILURE() << "opened";
        } catch (const zentrava::Error& e) {
            EXPECT_STREQ(e.what(), c.text);
            EXPECT_LT(e.status(), 0);
        }
    }
}

}  // namespace
