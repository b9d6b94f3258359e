#include "platform/visa/transport/serial_settings.h"

#include "platform/visa/text_util.h"

namespace visa {
namespace {

struct BaudEntry {
    int rate;
    speed_t code;
};

constexpr BaudEntry kBaudRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

Status Invalid(const char* key, const std::string& value, const char* allowed) {
    return Status::Fail(E_VISA_INV_SETUP, std::string(key) + "=" + value + " is not supported; use " + allowed + ".");
}

template <typename Enum, std::size_t N>
bool Lookup(const std::string& value, const std::pair<const char*, Enum> (&names)[N], Enum* out) {
    for (const auto& [name, member] : names) {
        if (EqualsNoCase(value, name)) {
            *out = member;
            return true;
        }
    }
    return false;
}

}  // namespace

Status ParseSerialSettings(const OpenOptions& options, SerialSettings* settings) {
    *settings = SerialSettings{};
    if (const auto value = options.Get("BaudRate")) {
        const auto rate = ParseDecimal(*value, 1, 4000000);
        bool known = false;
        for (const auto& entry : kBaudRates) known = known || (rate && entry.rate == *rate);
        if (!known) return Invalid("BaudRate", *value, "a standard rate from 50 to 4000000");
        settings->baudRate = *rate;
    }
    if (const auto value = options.Get("DataBits")) {
        const auto bits = ParseDecimal(*value, 5, 8);
        if (!bits) return Invalid("DataBits", *value, "5, 6, 7 or 8");
        settings->dataBits = *bits;
    }
    if (const auto value = options.Get("Parity")) {
        static const std::pair<const char*, Parity> names[] = {
            {"None", Parity::None}, {"Odd", Parity::Odd}, {"Even", Parity::Even},
            {"Mark", Parity::Mark}, {"Space", Parity::Space}};
        if (!Lookup(*value, names, &settings->parity)) return Invalid("Parity", *value, "None, Odd, Even, Mark or Space");
    }
    if (const auto value = options.Get("StopBits")) {
        const auto bits = ParseDecimal(*value, 1, 2);
        if (!bits) return Invalid("StopBits", *value, "1 or 2");
        settings->stopBits = *bits;
    }
    if (const auto value = options.Get("FlowControl")) {
        static const std::pair<const char*, FlowControl> names[] = {
            {"None", FlowControl::None}, {"XonXoff", FlowControl::XonXoff}, {"RtsCts", FlowControl::RtsCts}};
        if (!Lookup(*value, names, &settings->flowControl)) {
            return Invalid("FlowControl", *value, "None, XonXoff or RtsCts");
        }
    }
    return Status::Ok();
}

void ToTermios(const SerialSettings& settings, termios* attributes) {
    cfmakeraw(attributes);
    speed_t speed = B9600;
    for (const auto& entry : kBaudRates) {
        if (entry.rate == settings.baudRate) speed = entry.code;
    }
    cfsetispeed(attributes, speed);
    cfsetospeed(attributes, speed);

    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    attributes->c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    attributes->c_cflag |= kSizes[settings.dataBits - 5] | CLOCAL | CREAD;
    switch (settings.parity) {
        case Parity::None: break;
        case Parity::Odd: attributes->c_cflag |= PARENB | PARODD; break;
        case Parity::Even: attributes->c_cflag |= PARENB; break;
        case Parity::Mark: attributes->c_cflag |= PARENB | CMSPAR | PARODD; break;
        case Parity::Space: attributes->c_cflag |= PARENB | CMSPAR; break;
    }
    if (settings.stopBits == 2) attributes->c_cflag |= CSTOPB;
    attributes->c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.flowControl == FlowControl::XonXoff) attributes->c_iflag |= IXON | IXOFF;
    if (settings.flowControl == FlowControl::RtsCts) attributes->c_cflag |= CRTSCTS;
    // With O_NONBLOCK, VMIN = 1 makes an empty input queue EAGAIN instead of end of file.
    attributes->c_cc[VMIN] = 1;
    attributes->c_cc[VTIME] = 0;
}

}  // namespace visa
