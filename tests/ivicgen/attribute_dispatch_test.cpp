// The typed attribute accessors: identifier checks, the inherent attributes
// (with and without a session) and value conversions.
#include <cstring>
#include <map>
#include <string>

#include "ivic/attribute_table.h"
#include "platform/ivi/iviss.h"
#include "tests/support/ivic_support.h"

namespace ztv::test {
namespace {

TEST(IviCAttributeIds, ConstantsCarryTheirIdentifiers) {
    const std::pair<ViAttr, ViAttr> cases[] = {
        {ZTV_ATTR_ATTENUATION, 1150002},
        {ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS, 1150019},
        {ZTV_ATTR_TRIGGER_MODE, 1150030},
        {ZTV_ATTR_DOWNCONVERTER_ENABLED, 1150066},
        {ZTV_ATTR_APPLICATION_AMNOISE_MEASUREMENT_MARKER_ENABLED, 1150154},
        {ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENTS_MARKER_COUPLED, 1150454},
        {ZTV_ATTR_APPLICATION_AMNOISE_MEASUREMENTS_MARKER_COUPLED, 1150116},
        {ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_LIMIT_FAIL, 1150353},
        {ZTV_ATTR_APPLICATION_TRANSIENT_MEASUREMENT_MARKERS_COUNT, 1151215},
        {IVI_ATTR_RANGE_CHECK, 1050002},
        {IVI_ATTR_SPECIFIC_DRIVER_REVISION, 1050551},
    };
    for (const auto& [constant, id] : cases) EXPECT_EQ(constant, id);
}

// The table's shape by type and access, as the accessors see it, is the
// model data's.
TEST(IviCAttributeIds, RecordsAreUniqueSortedAndComplete) {
    const auto records = AttributeRecords();
    const auto model = ModelCounts();
    ASSERT_EQ(static_cast<long>(records.size()), model.at("attributes"));
    std::map<std::string, long> shape;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(records[i - 1].id, records[i].id);
        }
        const AttributeRecord& r = records[i];
        static constexpr const char* kTypeNames[] = {"ViInt32", "ViReal64", "ViBoolean", "ViString", "ViSession"};
        ++shape[std::string(kTypeNames[static_cast<int>(r.type)]) + (r.readOnly ? " Read" : " ReadWrite")];
        EXPECT_EQ(r.readOnly, r.put == nullptr) << r.id;
        EXPECT_TRUE(r.get != nullptr || r.constantText != nullptr) << r.id;
        EXPECT_EQ(FindAttribute(r.id), &r);
    }
    EXPECT_EQ(shape, ModelCounts("--attribute-shape"));
    EXPECT_EQ(FindAttribute(1150020), nullptr);  // System.IO is an interface, not a value
}

struct DispatchCase {
    const char* what;
    ViStatus (*call)(ViSession vi);
    ViStatus status;
    const char* text;
};

const DispatchCase kDispatchCases[] = {
    {"unknown id, getter",
     [](ViSession vi) {
         ViInt32 v;
         return Ztv_GetAttributeViInt32(vi, "", 1150020, &v);
     },
     kNotRecognized, "Attribute not recognized."},
    {"unknown id, setter", [](ViSession vi) { return Ztv_SetAttributeViString(vi, "", 1059999, "x"); }, kNotRecognized,
     "Attribute not recognized."},
    {"integer read as real",
     [](ViSession vi) {
         ViReal64 v;
         return Ztv_GetAttributeViReal64(vi, "", ZTV_ATTR_TRIGGER_MODE, &v);
     },
     kWrongType, "Incorrect GetAttribute for attribute of this type."},
    {"real written as boolean",
     [](ViSession vi) { return Ztv_SetAttributeViBoolean(vi, "", ZTV_ATTR_ATTENUATION, VI_TRUE); }, kWrongType,
     "Incorrect SetAttribute for attribute of this type."},
    {"read-only written with the wrong type",
     [](ViSession vi) { return Ztv_SetAttributeViInt32(vi, "", IVI_ATTR_DRIVER_SETUP, 1); }, kWrongType,
     "Incorrect SetAttribute for attribute of this type."},
    {"read-only written", [](ViSession vi) { return Ztv_SetAttributeViString(vi, "", IVI_ATTR_DRIVER_SETUP, "x"); },
     kReadOnly, "Attribute is read only."},
    {"session getter, known id",
     [](ViSession vi) {
         ViSession v;
         return Ztv_GetAttributeViSession(vi, "", IVI_ATTR_CACHE, &v);
     },
     kWrongType, "Incorrect GetAttribute for attribute of this type."},
    {"session setter, known id",
     [](ViSession vi) { return Ztv_SetAttributeViSession(vi, "", ZTV_ATTR_ATTENUATION, 1); }, kWrongType,
     "Incorrect SetAttribute for attribute of this type."},
    {"session getter, unknown id",
     [](ViSession vi) {
         ViSession v;
         return Ztv_GetAttributeViSession(vi, "", 1150020, &v);
     },
     kNotRecognized, "Attribute not recognized."},
};

class IviCAttributes : public SimulatedSession {};

TEST_F(IviCAttributes, DispatchErrorsComeFirstAndAreRecorded) {
    for (const DispatchCase& c : kDispatchCases) {
        EXPECT_EQ(c.call(vi), c.status) << c.what;
        EXPECT_EQ(LastError(vi), std::make_pair(c.status, std::string(c.text))) << c.what;
        // Checked before the session is looked at: also on the thread's record.
        EXPECT_EQ(c.call(VI_NULL), c.status) << c.what;
        EXPECT_EQ(LastError(VI_NULL), std::make_pair(c.status, std::string(c.text))) << c.what;
    }
}

TEST_F(IviCAttributes, InherentFlagsRoundTripAsBooleans) {
    for (ViAttr id :
         {IVI_ATTR_RANGE_CHECK, IVI_ATTR_CACHE, IVI_ATTR_RECORD_COERCIONS, IVI_ATTR_QUERY_INSTRUMENT_STATUS}) {
        EXPECT_EQ(Ztv_SetAttributeViBoolean(vi, "", id, 2), 0) << id;  // any non-zero value is true
        ViBoolean value = 7;
        EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "", id, &value), 0) << id;
        EXPECT_EQ(value, VI_TRUE) << id;
        EXPECT_EQ(Ztv_SetAttributeViBoolean(vi, "Measurement9:Nonsense", id, VI_FALSE), 0) << id;  // selector ignored
        EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "", id, &value), 0) << id;
        EXPECT_EQ(value, VI_FALSE) << id;
    }
    ViBoolean simulate = VI_FALSE;
    EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "", IVI_ATTR_SIMULATE, &simulate), 0);
    EXPECT_EQ(simulate, VI_TRUE);
}

TEST_F(IviCAttributes, InherentTextsFollowTheBufferRule) {
    struct Case {
        ViAttr id;
        ViInt32 size;
        ViStatus status;
        const char* text;
    } cases[] = {
        {IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 64, 0, "GPIB0::7::INSTR"},
        {IVI_ATTR_IO_RESOURCE_DESCRIPTOR, 5, 16, "GPIB"},
        {IVI_ATTR_SPECIFIC_DRIVER_PREFIX, 2, 4, "Z"},
        {IVI_ATTR_SPECIFIC_DRIVER_PREFIX, 4, 0, "Ztv"},
        {IVI_ATTR_SPECIFIC_DRIVER_REVISION, -1, 0, "1.0.9.0"},
        {IVI_ATTR_SUPPORTED_INSTRUMENT_MODELS, 64, 0, "Q7310A,Q7310B"},
        {IVI_ATTR_DRIVER_SETUP, 8, 0, ""},
    };
    for (const Case& c : cases) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(Ztv_GetAttributeViString(vi, "", c.id, c.size, buffer), c.status) << c.id;
        EXPECT_STREQ(buffer, c.text) << c.id;
    }
    ViInt32 major = -1;
    EXPECT_EQ(Ztv_GetAttributeViInt32(vi, "", IVI_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION, &major), 0);
    EXPECT_EQ(major, 0);
}

TEST_F(IviCAttributes, NullValuePointerFailsAfterTheRead) {
    EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "", IVI_ATTR_CACHE, nullptr), kGenericFailure);
    EXPECT_EQ(Ztv_GetAttributeViInt32(vi, "", IVI_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION, nullptr),
              kGenericFailure);
}

TEST(IviCAttributesWithoutSession, IdentityOfTheDriverNeedsNoSession) {
    IsolatedEnvironment env;
    char text[256] = "";
    EXPECT_EQ(Ztv_GetAttributeViString(VI_NULL, "", IVI_ATTR_SPECIFIC_DRIVER_REVISION, sizeof text, text), 0);
    EXPECT_STREQ(text, "1.0.9.0");
    EXPECT_EQ(Ztv_GetAttributeViString(VI_NULL, "", IVI_ATTR_SPECIFIC_DRIVER_VENDOR, sizeof text, text), 0);
    EXPECT_STREQ(text, "Orvane Technologies");
    ViInt32 minor = -1;
    EXPECT_EQ(Ztv_GetAttributeViInt32(VI_NULL, "", IVI_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION, &minor), 0);
    EXPECT_EQ(minor, 0);
    // Everything else needs a session.
    EXPECT_EQ(Ztv_GetAttributeViString(VI_NULL, "", IVI_ATTR_INSTRUMENT_MODEL, sizeof text, text),
              IVISESSION_ERROR_INVALID_SESSION);
    ViBoolean cache;
    EXPECT_EQ(Ztv_GetAttributeViBoolean(VI_NULL, "", IVI_ATTR_CACHE, &cache), IVISESSION_ERROR_INVALID_SESSION);
    EXPECT_EQ(Ztv_SetAttributeViReal64(4242, "", ZTV_ATTR_ATTENUATION, 1.0), IVISESSION_ERROR_INVALID_SESSION);
}

}  // namespace
}  // namespace ztv::test
