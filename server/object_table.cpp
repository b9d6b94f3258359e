#include "server/object_table.h"

#include <array>

#include "services/driver_identity.h"

namespace ztv {
namespace {

constexpr std::array kObjects{
    ObjectEntry{"Zentrava", kClsidZentrava, true},
    ObjectEntry{"ZentravaAMMarker", "{511430c4-38d2-467d-8352-64b22772e699}", false},
    ObjectEntry{"ZentravaAMMeasurement", "{54aa8fde-9098-4605-99cf-127000d82f67}", false},
    ObjectEntry{"ZentravaBBMarker", "{5596c786-c475-4996-9e79-b35f4990f97e}", false},
    ObjectEntry{"ZentravaBBMeasurement", "{23ef15ff-8f31-46aa-8d82-caf74f5752d7}", false},
    ObjectEntry{"ZentravaFPMarker", "{95802c2b-f9f9-4229-967a-f483c6b8b948}", false},
    ObjectEntry{"ZentravaFPMeasurement", "{56856898-f5ff-4b2c-88fa-4877dc70f316}", false},
    ObjectEntry{"ZentravaPNMarker", "{9068f0a1-7734-4dde-bce4-0250e8967d70}", false},
    ObjectEntry{"ZentravaPNMeasurement", "{6abdddad-a977-4d26-a438-0ec18356aaf6}", false},
    ObjectEntry{"ZentravaSPMarker", "{2932bc8d-9408-4c34-85d7-5104abe773f6}", false},
    ObjectEntry{"ZentravaSPMeasurement", "{5dd9f9d4-067f-4b00-820d-008655c290ff}", false},
    ObjectEntry{"ZentravaTRMarker", "{ecd3fdde-f8d1-4d46-b6f4-5daabcf7ad07}", false},
    ObjectEntry{"ZentravaTRMeasurement", "{6a2483ed-3417-4e72-858b-0d67d93a7c36}", false},
    ObjectEntry{"ZentravaUserMarker", "{1ab16d0f-8dda-49ed-8b1f-06aeab20733e}", false},
    ObjectEntry{"ZentravaUserMeasurement", "{ed4d0be1-a55f-40a8-a0c3-f1d0ccbedda2}", false},
};

}  // namespace

std::span<const ObjectEntry> ObjectTable() { return kObjects; }

}  // namespace ztv
