#include "platform/visa/transport/system/system_visa_transport.h"

#include <algorithm>

namespace visa {
namespace {

constexpr ViAccessMode kViExclusiveLock = 1;

}  // namespace

Status SystemVisaTransport::Open(std::shared_ptr<SystemVisaLibrary> library, const std::string& resourceName,
                                 bool exclusiveLock, Deadline deadline, std::unique_ptr<Transport>* transport) {
    std::unique_ptr<SystemVisaTransport> opened(new SystemVisaTransport(std::move(library)));
    const SystemVisaApi& api = opened->library_->api();
    if (Status status = opened->Check(api.viOpenDefaultRM(&opened->resourceManager_), 0); !status.ok()) {
        opened->resourceManager_ = 0;
        return status;
    }
    const ViUInt32 openTimeout = deadline.infinite() ? kViTmoInfinite : deadline.RemainingMilliseconds();
    if (Status status = opened->Check(api.viOpen(opened->resourceManager_, resourceName.c_str(),
                                                 exclusiveLock ? kViExclusiveLock : 0, openTimeout, &opened->session_),
                                      opened->resourceManager_);
        !status.ok()) {
        opened->session_ = 0;
        return status;
    }
    *transport = std::move(opened);
    return Status::Ok();
}

SystemVisaTransport::~SystemVisaTransport() {
    const SystemVisaApi& api = library_->api();
    if (session_ != 0) api.viClose(session_);
    if (resourceManager_ != 0) api.viClose(resourceManager_);
}

Status SystemVisaTransport::Check(ViStatus status, ViObject object) {
    if (status >= 0) return Status::Ok();
    const HRESULT code = VisaResult(static_cast<std::uint32_t>(status));
    if (code == E_VISA_TMO) return Status::Timeout();
    ViChar description[256] = {};
    if (library_->api().viStatusDesc(object, status, description) < 0 || description[0] == '\0') {
        return Status::Fail(code, library_->path() + " failed with status " + std::to_string(status) + ".");
    }
    return Status::Fail(code, description);
}

Status SystemVisaTransport::Set(ViAttr attribute, ViAttrValue value, std::optional<ViAttrValue>* cached) {
    if (*cached == value) return Status::Ok();
    if (Status status = Check(library_->api().viSetAttribute(session_, attribute, value), session_); !status.ok()) {
        cached->reset();
        return status;
    }
    *cached = value;
    return Status::Ok();
}

Status SystemVisaTransport::ApplyTimeout(Deadline deadline) {
    return Set(kViAttrTmoValue, deadline.infinite() ? kViTmoInfinite : deadline.RemainingMilliseconds(), &timeout_);
}

Status SystemVisaTransport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (stale_) {
        if (Status status = Clear(deadline); !status.ok()) return status;
    }
    if (Status status = Set(kViAttrSendEndEn, end ? 1 : 0, &sendEnd_); !status.ok()) return status;
    do {
        if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
        const ViUInt32 chunk = static_cast<ViUInt32>(std::min<std::size_t>(size, 0x7FFFFFFF));
        ViUInt32 written = 0;
        if (Status status =
                Check(library_->api().viWrite(session_, reinterpret_cast<ViConstBuf>(data), chunk, &written), session_);
            !status.ok()) {
            return status;
        }
        written = std::min(written, chunk);
        if (written == 0 && chunk > 0) return Status::Fail(E_VISA_IO, library_->path() + " wrote nothing.");
        data += written;
        size -= written;
    } while (size > 0);
    return Status::Ok();
}

Status SystemVisaTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    if (Status status = Set(kViAttrTermChar, request.termChar, &termChar_); !status.ok()) return status;
    if (Status status = Set(kViAttrTermCharEn, request.termCharEnabled ? 1 : 0, &termCharEnabled_); !status.ok()) {
        return status;
    }
    std::size_t filled = 0;
    while (filled < request.count) {
        if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
        const ViUInt32 chunk = static_cast<ViUInt32>(std::min<std::size_t>(request.count - filled, 0x7FFFFFFF));
        ViUInt32 got = 0;
        const ViStatus outcome = library_->api().viRead(session_, request.buffer + filled, chunk, &got);
        if (Status status = Check(outcome, session_); !status.ok()) {
            if (status.code == E_VISA_TMO) stale_ = true;
            return status;
        }
        filled += std::min(got, chunk);
        if (outcome == kViSuccessTermChar) {
            result->end = ReadEnd::TermChar;
            break;
        }
        if (outcome != kViSuccessMaxCount) {
            result->end = ReadEnd::End;
            break;
        }
    }
    result->count = filled;
    return Status::Ok();
}

Status SystemVisaTransport::Clear(Deadline deadline) {
    if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
    if (Status status = Check(library_->api().viClear(session_), session_); !status.ok()) return status;
    stale_ = false;
    return Status::Ok();
}

Status SystemVisaTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
    ViUInt16 value = 0;
    if (Status status = Check(library_->api().viReadSTB(session_, &value), session_); !status.ok()) return status;
    *statusByte = static_cast<std::uint8_t>(value);
    return Status::Ok();
}

Status SystemVisaTransport::Trigger(Deadline deadline) {
    if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
    return Check(library_->api().viAssertTrigger(session_, kViTrigProtDefault), session_);
}

}  // namespace visa
