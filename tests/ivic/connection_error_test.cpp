// A resource that cannot be opened keeps "Unknown resource." and says why:
// the transport's reason reaches Ztv_GetError.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "platform/visa/transport/lan/portmapper.h"
#include "tests/support/test_support.h"
#include "zentrava/Zentrava.h"

namespace ztv::test {
namespace {

// A loopback port nobody listens on: bound once, then given back.
int ClosedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// The IVI-C status of an unknown resource.
constexpr ViStatus kResourceUnknown = static_cast<ViStatus>(0xBFFA0060u);

struct Failure {
    ViStatus status;
    ViStatus code;
    std::string text;
};

Failure Open(const std::string& resource) {
    ViSession vi = VI_NULL;
    Failure failure{};
    failure.status = Ztv_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi);
    char text[512] = "untouched";
    Ztv_GetError(VI_NULL, &failure.code, sizeof text, text);
    failure.text = text;
    return failure;
}

class ConnectionError : public ::testing::Test {
protected:
    IsolatedEnvironment env;
};

TEST_F(ConnectionError, RefusedPortNamesThePeer) {
    const int port = ClosedLoopbackPort();
    ASSERT_GT(port, 0);
    const Failure failure = Open("TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET");
    EXPECT_EQ(failure.status, kResourceUnknown);
    EXPECT_EQ(failure.code, kResourceUnknown);
    EXPECT_EQ(failure.text,
              "Zentrava: Unknown resource. Connection refused by 127.0.0.1:" + std::to_string(port) + ".");
}

TEST_F(ConnectionError, MissingPortmapperSaysHowToNameThePort) {
    const int port = ClosedLoopbackPort();
    ASSERT_GT(port, 0);
    visa::SetPortmapperPort(static_cast<std::uint16_t>(port));
    const Failure failure = Open("TCPIP0::127.0.0.1::inst0::INSTR");
    visa::SetPortmapperPort(0);
    EXPECT_EQ(failure.status, kResourceUnknown);
    EXPECT_EQ(failure.text,
              "Zentrava: Unknown resource. No portmapper answered; name the VXI-11 port with VXI11Port or "
              "ZENTRAVA_VXI11_PORT.");
}

// Every LAN path names a host that does not resolve, VXI-11 too, whose
// portmapper is never reached then.
TEST_F(ConnectionError, UnresolvableHostIsNamedOnEveryLanPath) {
    for (const std::string resource : {"TCPIP0::nohost.invalid::inst0::INSTR", "TCPIP0::nohost.invalid::hislip0::INSTR",
                                       "TCPIP0::nohost.invalid::5025::SOCKET"}) {
        const Failure failure = Open(resource);
        EXPECT_EQ(failure.status, kResourceUnknown) << resource;
        EXPECT_EQ(failure.text.rfind("Zentrava: Unknown resource. Cannot resolve host \"nohost.invalid\": ", 0), 0u)
            << resource << ": " << failure.text;
    }
}

TEST_F(ConnectionError, MissingSerialDeviceIsNamed) {
    const Failure failure = Open("ASRL/dev/ztv-no-such-tty7::INSTR");
    EXPECT_EQ(failure.status, kResourceUnknown);
    EXPECT_EQ(failure.text, "Zentrava: Unknown resource. No such device /dev/ztv-no-such-tty7.");
}

}  // namespace
}  // namespace ztv::test
