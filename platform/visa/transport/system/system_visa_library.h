// A vendor VISA library loaded at run time: $ZENTRAVA_VISA_LIBRARY when set
// (and only that), else the first of the usual library names that loads.
// Only the handful of VISA C functions this layer needs are looked up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/visa/status.h"
#include "zentrava/visatype.h"

namespace visa {

// VISA attribute values are pointer-sized in 64-bit VISA libraries; passing
// them that wide also suits libraries that take 32 bits.
using ViAttrValue = std::uintptr_t;

constexpr ViAttr kViAttrSendEndEn = 0x3FFF0016u;
constexpr ViAttr kViAttrTermChar = 0x3FFF0018u;
constexpr ViAttr kViAttrTmoValue = 0x3FFF001Au;
constexpr ViAttr kViAttrTermCharEn = 0x3FFF0038u;
constexpr ViStatus kViSuccessTermChar = 0x3FFF0005;
constexpr ViStatus kViSuccessMaxCount = 0x3FFF0006;
constexpr ViUInt32 kViTmoInfinite = 0xFFFFFFFFu;
constexpr ViUInt16 kViTrigProtDefault = 0;

struct SystemVisaApi {
    ViStatus (*viOpenDefaultRM)(ViSession* rm);
    ViStatus (*viOpen)(ViSession rm, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViSession* vi);
    ViStatus (*viClose)(ViObject object);
    ViStatus (*viWrite)(ViSession vi, ViConstBuf buffer, ViUInt32 count, ViUInt32* written);
    ViStatus (*viRead)(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* read);
    ViStatus (*viClear)(ViSession vi);
    ViStatus (*viReadSTB)(ViSession vi, ViUInt16* status);
    ViStatus (*viAssertTrigger)(ViSession vi, ViUInt16 protocol);
    ViStatus (*viSetAttribute)(ViObject object, ViAttr attribute, ViAttrValue value);
    ViStatus (*viStatusDesc)(ViObject object, ViStatus status, ViChar description[256]);
};

class SystemVisaLibrary {
public:
    // E_VISA_LIBRARY_NFOUND, naming every library tried, when none loads.
    static Status Load(std::shared_ptr<SystemVisaLibrary>* library);
    ~SystemVisaLibrary();
    SystemVisaLibrary(const SystemVisaLibrary&) = delete;
    SystemVisaLibrary& operator=(const SystemVisaLibrary&) = delete;

    const SystemVisaApi& api() const { return api_; }
    const std::string& path() const { return path_; }

private:
    SystemVisaLibrary() = default;

    void* handle_ = nullptr;
    std::string path_;
    SystemVisaApi api_{};
};

}  // namespace visa
