#include "services/driver_identity.h"

namespace ztv {

const CLSID& ClsidZentrava() {
    static const CLSID clsid = GuidLiteral(kClsidZentrava);
    return clsid;
}

}  // namespace ztv
