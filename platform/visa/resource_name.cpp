#include "platform/visa/resource_name.h"

#include <charconv>
#include <vector>

#include "platform/text/number_codec.h"
#include "platform/visa/text_util.h"

namespace visa {
namespace {

Status Malformed(std::string_view text, std::string_view why) {
    return Status::Fail(E_VISA_INV_RSRC_NAME,
                        "Invalid resource name \"" + std::string(text) + "\": " + std::string(why) + ".");
}

// Splits at "::" except inside the brackets of an IPv6 literal.
std::vector<std::string_view> SplitOnDoubleColon(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    bool inBrackets = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '[') inBrackets = true;
        if (text[i] == ']') inBrackets = false;
        if (!inBrackets && text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
            parts.push_back(text.substr(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// "TCPIP3" with prefix "TCPIP" gives 3; an empty number is board 0.
std::optional<int> BoardNumber(std::string_view token, std::string_view prefix) {
    if (!StartsWithNoCase(token, prefix)) return std::nullopt;
    const std::string_view digits = token.substr(prefix.size());
    if (digits.empty()) return 0;
    return ParseDecimal(digits, 0, 65535);
}

// VISA writes USB ids as "0x0957" or as decimal numbers.
std::optional<std::uint16_t> ParseUsbId(std::string_view token) {
    int base = 10;
    if (StartsWithNoCase(token, "0x")) {
        token.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value, base);
    if (token.empty() || error != std::errc() || end != token.data() + token.size() || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::string Hex4(std::uint16_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x0000";
    for (int i = 0; i < 4; ++i) text[5 - i] = digits[(value >> (4 * i)) & 0xF];
    return text;
}

Status ParseTcpip(std::string_view text, int board, std::vector<std::string_view> parts, ResourceAddress* out) {
    out->interfaceType = INTF_TCPIP;
    std::string_view host = parts.size() > 1 ? parts[1] : std::string_view();
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty()) return Malformed(text, "the host is missing");
    out->host = std::string(host);
    const std::string prefix = "TCPIP" + std::to_string(board) + "::" + std::string(parts[1]) + "::";

    if (EqualsNoCase(parts.back(), "SOCKET")) {
        if (parts.size() != 4) return Malformed(text, "expected TCPIP::host::port::SOCKET");
        const auto port = ParseDecimal(parts[2], 1, 65535);
        if (!port) return Malformed(text, "the port must be a number from 1 to 65535");
        out->kind = ResourceKind::Socket;
        out->port = static_cast<std::uint16_t>(*port);
        out->canonicalName = prefix + std::to_string(*port) + "::SOCKET";
        return Status::Ok();
    }
    if (EqualsNoCase(parts.back(), "INSTR")) parts.pop_back();
    if (parts.size() > 3) return Malformed(text, "expected TCPIP::host[::device]::INSTR");
    const std::string_view device = parts.size() == 3 ? parts[2] : std::string_view("inst0");
    if (device.empty()) return Malformed(text, "the LAN device name is empty");

    if (StartsWithNoCase(device, "hislip")) {
        const auto comma = device.find(',');
        const std::string_view name = device.substr(0, comma);
        if (name.size() == 6 || !ParseDecimal(name.substr(6), 0, 65535)) {
            return Malformed(text, "a HiSLIP device is named hislip<n>[,port]");
        }
        if (comma != std::string_view::npos) {
            const auto port = ParseDecimal(device.substr(comma + 1), 1, 65535);
            if (!port) return Malformed(text, "the HiSLIP port must be a number from 1 to 65535");
            out->port = static_cast<std::uint16_t>(*port);
        }
        out->kind = ResourceKind::HiSlip;
        out->lanDevice = std::string(name);
    } else {
        out->kind = ResourceKind::Vxi11;
        out->lanDevice = std::string(device);
    }
    out->canonicalName = prefix + std::string(device) + "::INSTR";
    return Status::Ok();
}

Status ParseUsb(std::string_view text, int board, std::vector<std::string_view> parts, ResourceAddress* out) {
    out->interfaceType = INTF_USB;
    if (EqualsNoCase(parts.back(), "RAW")) {
        return Status::Fail(E_VISA_NSUP_OPER, "The resource \"" + std::string(text) +
                                                  "\" is a USB RAW session, which this driver does not use: it talks "
                                                  "to USBTMC instruments, USB::vid::pid::serial[::intf]::INSTR.");
    }
    if (EqualsNoCase(parts.back(), "INSTR")) parts.pop_back();
    if (parts.size() < 3 || parts.size() > 5) return Malformed(text, "expected USB::vid::pid[::serial[::intf]]::INSTR");
    const auto vendor = ParseUsbId(parts[1]);
    const auto product = ParseUsbId(parts[2]);
    if (!vendor || !product) return Malformed(text, "vendor and product ids are 16-bit numbers such as 0x0957");
    out->kind = ResourceKind::Usbtmc;
    out->vendorId = *vendor;
    out->productId = *product;
    // Devices without a serial number are named by their ids alone.
    if (parts.size() > 3) out->serialNumber = std::string(parts[3]);
    std::string tail;
    if (parts.size() == 5) {
        const auto intf = ParseDecimal(parts[4], 0, 255);
        if (!intf) return Malformed(text, "the USB interface number must be from 0 to 255");
        out->usbInterface = *intf;
        tail = "::" + std::to_string(*intf);
    }
    const std::string serial = out->serialNumber.empty() ? std::string() : "::" + out->serialNumber;
    out->canonicalName =
        "USB" + std::to_string(board) + "::" + Hex4(*vendor) + "::" + Hex4(*product) + serial + tail + "::INSTR";
    return Status::Ok();
}

Status ParseSerial(std::string_view text, std::vector<std::string_view> parts, ResourceAddress* out) {
    out->interfaceType = INTF_ASRL;
    out->kind = ResourceKind::Serial;
    if (EqualsNoCase(parts.back(), "INSTR")) parts.pop_back();
    if (parts.size() != 1) return Malformed(text, "expected ASRLn::INSTR or ASRL/dev/<name>::INSTR");
    const std::string_view rest = parts[0].substr(4);
    if (!rest.empty() && rest.front() == '/') {
        if (rest.size() < 2) return Malformed(text, "the device path is empty");
        out->devicePath = std::string(rest);
        out->canonicalName = "ASRL" + out->devicePath + "::INSTR";
        return Status::Ok();
    }
    const auto number = ParseDecimal(rest, 1, 65535);
    if (!number) return Malformed(text, "a serial port is ASRL<n> with n from 1, or ASRL/dev/<name>");
    out->board = *number;
    out->devicePath = "/dev/ttyS" + std::to_string(*number - 1);
    out->canonicalName = "ASRL" + std::to_string(*number) + "::INSTR";
    return Status::Ok();
}

Status ParseGpib(std::string_view text, int board, std::vector<std::string_view> parts, ResourceAddress* out) {
    out->interfaceType = INTF_GPIB;
    out->kind = ResourceKind::Gpib;
    if (EqualsNoCase(parts.back(), "INSTR")) parts.pop_back();
    if (parts.size() != 2 && parts.size() != 3) return Malformed(text, "expected GPIB::primary[::secondary]::INSTR");
    const auto primary = ParseDecimal(parts[1], 0, 30);
    if (!primary) return Malformed(text, "the primary address must be from 0 to 30");
    out->primaryAddress = *primary;
    std::string tail;
    if (parts.size() == 3) {
        // Secondary addresses are 0-30, or 96-126 in the form some vendors print.
        auto secondary = ParseDecimal(parts[2], 0, 126);
        if (!secondary || (*secondary > 30 && *secondary < 96)) {
            return Malformed(text, "the secondary address must be from 0 to 30 or 96 to 126");
        }
        if (*secondary >= 96) *secondary -= 96;
        out->secondaryAddress = *secondary;
        tail = "::" + std::to_string(*secondary);
    }
    out->canonicalName = "GPIB" + std::to_string(board) + "::" + std::to_string(*primary) + tail + "::INSTR";
    return Status::Ok();
}

}  // namespace

Status ParseResourceName(std::string_view text, ResourceAddress* out) {
    *out = ResourceAddress{};
    const std::string_view trimmed = codec::TrimBlanks(text);
    if (trimmed.empty()) return Malformed(text, "it is empty");
    const std::vector<std::string_view> parts = SplitOnDoubleColon(trimmed);
    for (const std::string_view part : parts) {
        if (part.empty()) return Malformed(text, "it has an empty part");
    }
    const std::string_view head = parts[0];

    struct SystemPrefix {
        std::string_view name;
        HardwareInterfaceType type;
    };
    // Longest first: GPIB-VXI must not be taken for GPIB.
    static constexpr SystemPrefix systemPrefixes[] = {
        {"GPIB-VXI", INTF_GPIB_VXI}, {"VXI", INTF_VXI}, {"PXI", INTF_PXI}};
    for (const auto& prefix : systemPrefixes) {
        if (BoardNumber(head, prefix.name)) {
            if (parts.size() < 2) return Malformed(text, "the address is missing");
            out->kind = ResourceKind::SystemOnly;
            out->interfaceType = prefix.type;
            out->canonicalName = std::string(trimmed);
            return Status::Ok();
        }
    }
    if (StartsWithNoCase(head, "ASRL")) return ParseSerial(text, parts, out);
    if (const auto board = BoardNumber(head, "TCPIP")) {
        out->board = *board;
        return ParseTcpip(text, *board, parts, out);
    }
    if (const auto board = BoardNumber(head, "USB")) {
        out->board = *board;
        return ParseUsb(text, *board, parts, out);
    }
    if (const auto board = BoardNumber(head, "GPIB")) {
        out->board = *board;
        return ParseGpib(text, *board, parts, out);
    }
    return Malformed(text, "unknown interface type");
}

}  // namespace visa
