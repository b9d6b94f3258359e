#include "platform/visa/transport/serial/serial_settings.h"

#include <algorithm>
#include <iterator>

#include "platform/visa/text_util.h"

namespace visa {
namespace {

struct BaudEntry {
    int rate;
    speed_t code;
};

constexpr BaudEntry kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

Status Invalid(const char* key, const std::string& value, const char* allowed) {
    return Status::Fail(E_VISA_INV_SETUP, std::string(key) + "=" + value + " is not supported; use " + allowed + ".");
}

constexpr std::pair<const char*, Parity> kParities[] = {{"None", Parity::None},
                                                        {"Odd", Parity::Odd},
                                                        {"Even", Parity::Even},
                                                        {"Mark", Parity::Mark},
                                                        {"Space", Parity::Space}};

constexpr std::pair<const char*, FlowControl> kFlowControls[] = {
    {"None", FlowControl::None}, {"XonXoff", FlowControl::XonXoff}, {"RtsCts", FlowControl::RtsCts}};

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

// Applies the option `key` when it is given: `parse` stores the setting its
// text names, or refuses it, and the option with it.
template <typename Parse>
Status Apply(const OpenOptions& options, const char* key, const char* allowed, Parse parse) {
    const auto value = options.Get(key);
    if (!value || parse(*value)) return Status::Ok();
    return Invalid(key, *value, allowed);
}

}  // namespace

Status ParseSerialSettings(const OpenOptions& options, SerialSettings* settings) {
    *settings = SerialSettings{};
    // A number within [low, high] for `setting`.
    const auto number = [](int low, int high, int* setting) {
        return [=](const std::string& text) {
            const auto value = ParseDecimal(text, low, high);
            if (value) *setting = *value;
            return value.has_value();
        };
    };
    const auto baudRate = [&](const std::string& text) {
        const auto rate = ParseDecimal(text, 1, 4000000);
        const bool known = rate && std::any_of(std::begin(kBaudRates), std::end(kBaudRates),
                                               [&](const BaudEntry& entry) { return entry.rate == *rate; });
        if (known) settings->baudRate = *rate;
        return known;
    };
    const auto parity = [&](const std::string& text) { return Lookup(text, kParities, &settings->parity); };
    const auto flowControl = [&](const std::string& text) {
        return Lookup(text, kFlowControls, &settings->flowControl);
    };
    Status status = Apply(options, "BaudRate", "a standard rate from 50 to 4000000", baudRate);
    if (status.ok()) status = Apply(options, "DataBits", "5, 6, 7 or 8", number(5, 8, &settings->dataBits));
    if (status.ok()) status = Apply(options, "Parity", "None, Odd, Even, Mark or Space", parity);
    if (status.ok()) status = Apply(options, "StopBits", "1 or 2", number(1, 2, &settings->stopBits));
    if (status.ok()) status = Apply(options, "FlowControl", "None, XonXoff or RtsCts", flowControl);
    return status;
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
        case Parity::None:
            break;
        case Parity::Odd:
            attributes->c_cflag |= PARENB | PARODD;
            break;
        case Parity::Even:
            attributes->c_cflag |= PARENB;
            break;
        case Parity::Mark:
            attributes->c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case Parity::Space:
            attributes->c_cflag |= PARENB | CMSPAR;
            break;
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
