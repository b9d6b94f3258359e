#include "emulator/servers/vxi11_interrupt_channel.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "emulator/servers/socket_io.h"
#include "platform/protocol/rpc_record_mark.h"
#include "rpc/vxi11.h"

namespace emulator {

bool Vxi11InterruptChannel::Open(const sockaddr_in& address) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        ::close(fd);
        return false;
    }
    SetNoDelay(fd);
    fd_ = fd;
    closing_ = false;
    sender_ = std::thread([this] { SendRequests(); });
    return true;
}

void Vxi11InterruptChannel::Close() {
    if (fd_ < 0) return;
    closing_ = true;
    instrument_.waker().NotifyAll();
    sender_.join();
    ::close(fd_);
    fd_ = -1;
}

void Vxi11InterruptChannel::Enable(long lid, std::string handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_[lid] = std::move(handle);
}

void Vxi11InterruptChannel::Disable(long lid) {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_.erase(lid);
}

void Vxi11InterruptChannel::SendRequests() {
    bool requesting = instrument_.ReadStatusByte(false) & kServiceRequest;
    while (instrument_.WaitForServiceRequest(&requesting, [this] { return closing_.load(); })) {
        std::vector<std::string> handles;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto& entry : handles_) handles.push_back(entry.second);
        }
        for (const std::string& handle : handles) {
            if (!Call(handle)) return;
        }
    }
}

bool Vxi11InterruptChannel::Call(const std::string& handle) {
    // Replies of clients that answer are read and dropped, so they never fill the socket.
    char sink[512];
    while (::recv(fd_, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    rpc_msg call{};
    call.rm_xid = ++xid_;
    call.rm_direction = CALL;
    call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    call.rm_call.cb_prog = DEVICE_INTR;
    call.rm_call.cb_vers = DEVICE_INTR_VERSION;
    call.rm_call.cb_proc = device_intr_srq;
    call.rm_call.cb_cred = opaque_auth{AUTH_NONE, nullptr, 0};
    call.rm_call.cb_verf = opaque_auth{AUTH_NONE, nullptr, 0};
    Device_SrqParms parms{};
    parms.handle.handle_len = static_cast<u_int>(handle.size());
    parms.handle.handle_val = const_cast<char*>(handle.data());
    std::string record(128 + handle.size(), '\0');
    XDR xdrs;
    xdrmem_create(&xdrs, record.data(), static_cast<u_int>(record.size()), XDR_ENCODE);
    const bool encoded = xdr_callmsg(&xdrs, &call) && xdr_Device_SrqParms(&xdrs, &parms);
    record.resize(xdr_getpos(&xdrs));
    xdr_destroy(&xdrs);
    return encoded && WriteAll(fd_, protocol::FrameRecord(record));
}

}  // namespace emulator
