// identify, errors, reset, clear, selftest, scpi and screenshot.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"
#include "apps/ztv/names.h"
#include "apps/ztv/png_image.h"
#include "apps/ztv/raw_link.h"

namespace ztv_tool {

namespace {

// Big enough for any reply of the instrument: a 100 001-point trace or a screen dump.
constexpr ViInt32 kReplyBuffer = 16 << 20;

int Identify(Session& s) {
    struct Field {
        const char* label;
        ViAttr id;
    };
    static const Field kFields[] = {{"manufacturer", IVI_ATTR_INSTRUMENT_MANUFACTURER},
                                    {"model", IVI_ATTR_INSTRUMENT_MODEL},
                                    {"serial number", ZTV_ATTR_SYSTEM_SERIAL_NUMBER},
                                    {"firmware", IVI_ATTR_INSTRUMENT_FIRMWARE_REVISION},
                                    {"driver revision", IVI_ATTR_SPECIFIC_DRIVER_REVISION}};
    for (const Field& f : kFields) {
        char text[256] = "";
        if (!s.Check(Ztv_GetAttributeViString(s.vi(), "", f.id, sizeof text, text),
                     std::string("reading the ") + f.label)) {
            return kExitFailed;
        }
        std::printf("%-16s %s\n", f.label, text);
    }
    return kExitOk;
}

int Errors(Session& s) {
    for (int i = 0; i < 100; ++i) {
        ViInt32 code = 0;
        char message[256] = "";
        if (!s.Check(Ztv_error_query(s.vi(), &code, message), "reading the error queue")) return kExitFailed;
        std::printf("%d,\"%s\"\n", static_cast<int>(code), message);
        if (code == 0) break;
    }
    return kExitOk;
}

int SelfTest(Session& s) {
    ViInt16 result = 0;
    char message[256] = "";
    if (!s.Check(Ztv_self_test(s.vi(), &result, message), "self-test")) return kExitFailed;
    std::printf("%d %s\n", result, message);
    return result == 0 ? kExitOk : kExitFailed;
}

// Writes bytes into a file; says so on stderr when it cannot.
bool WriteFile(const std::string& path, const void* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f && std::fwrite(data, 1, size, f) == size;
    if (f && std::fclose(f) == 0 && written) return true;
    std::fprintf(stderr, "ztv: cannot write %s\n", path.c_str());
    return false;
}

// Reads a reply as bytes: a definite-length block whole, however many reads
// its bytes take (a byte like the terminator may end one), anything else up
// to its end. On failure the instrument's error queue says why.
bool ReadReply(Session& s, std::string* reply) {
    std::vector<ViByte> buffer(static_cast<std::size_t>(kReplyBuffer));
    for (;;) {
        ViInt32 count = 0;
        if (!s.Check(Ztv_SystemReadBytes(s.vi(), kReplyBuffer, buffer.data(), &count), "reading the reply")) {
            s.PrintErrorQueue();
            return false;
        }
        reply->append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(count));
        std::size_t length = 0;
        const std::size_t header = BlockHeaderSize(*reply, &length);
        if (count == 0 || header == 0 || reply->size() >= header + length) return true;
    }
}

// Writes one command; a query's reply goes to stdout, or a block to `out`.
bool Exchange(Session& s, std::string command, const std::string& out) {
    if (command.empty() || command.back() != '\n') command += '\n';
    s.PrintDirect('>', command);
    if (!s.Check(Ztv_SystemWrite(s.vi(), command.c_str()), "writing")) return false;
    if (command.find('?') == std::string::npos) return true;
    std::string reply;
    if (!ReadReply(s, &reply)) return false;
    s.PrintDirect('<', reply);
    std::size_t length = 0;
    if (const std::size_t header = BlockHeaderSize(reply, &length)) {
        if (out.empty()) {
            std::printf("#-block of %zu bytes\n", length);
            return true;
        }
        if (reply.size() < header + length) {
            std::fprintf(stderr, "ztv: the reply ended after %zu of its %zu-byte block\n", reply.size() - header,
                         length);
            return false;
        }
        if (!WriteFile(out, reply.data() + header, length)) return false;
        std::printf("#-block of %zu bytes written to %s\n", length, out.c_str());
        return true;
    }
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
    std::printf("%s\n", reply.c_str());
    return true;
}

int Scpi(Session& s, const std::vector<std::string>& commands, const std::string& out) {
    for (const std::string& c : commands) {
        if (!Exchange(s, c, out)) return kExitFailed;
    }
    if (!commands.empty()) return kExitOk;
    // No command given: a shell, one command per line until end of input.
    const bool interactive = isatty(STDIN_FILENO);
    int exit = kExitOk;
    std::string line;
    for (;;) {
        if (interactive) std::fprintf(stderr, "scpi> ");
        std::fflush(stdout);
        if (!std::getline(std::cin, line)) break;
        if (line.empty()) continue;
        // In a shell a failed command is reported and the next one read.
        if (!Exchange(s, line, out)) exit = kExitFailed;
        std::fflush(stdout);
    }
    if (interactive) std::fprintf(stderr, "\n");
    return exit;
}

// The image formats by file name extension, any case.
enum class ImageFormat { Png, Bmp, Other };

ImageFormat FormatOf(const std::string& path) {
    const std::string extension = Upper(std::filesystem::path(path).extension().string());
    return extension == ".PNG" ? ImageFormat::Png : extension == ".BMP" ? ImageFormat::Bmp : ImageFormat::Other;
}

int Screenshot(Session& s, const std::string& path) {
    ViBoolean simulating = VI_FALSE;
    if (!s.Check(Ztv_GetAttributeViBoolean(s.vi(), "", IVI_ATTR_SIMULATE, &simulating),
                 "reading the simulation state")) {
        return kExitFailed;
    }
    if (simulating) {
        std::fprintf(stderr, "ztv: there is no screen in simulation\n");
        return kExitFailed;
    }
    std::vector<ViByte> image(static_cast<std::size_t>(kReplyBuffer));
    ViInt32 size = 0;
    if (!s.Check(Ztv_SystemGetScreenBitmap(s.vi(), kReplyBuffer, image.data(), &size), "reading the screen"))
        return kExitFailed;
    image.resize(static_cast<std::size_t>(size));
    std::string error;
    if (FormatOf(path) == ImageFormat::Png) {
        if (!WriteBitmapAsPng(image, path, &error)) {
            std::fprintf(stderr, "ztv: %s\n", error.c_str());
            return kExitFailed;
        }
    } else if (!WriteFile(path, image.data(), image.size())) {
        return kExitFailed;
    }
    std::printf("saved %s\n", path.c_str());
    return kExitOk;
}

}  // namespace

void AddInstrumentCommands(CLI::App& parent, const Globals& globals, std::vector<std::pair<CLI::App*, Runner>>* out) {
    struct Simple {
        const char* name;
        const char* help;
        int (*run)(Session&);
        StatusQuery statusQuery;  // off for the commands that deal with pending errors
    };
    static const Simple kCommands[] = {
        {"identify", "print maker, model, serial number, firmware and driver revision", Identify,
         StatusQuery::AsOptioned},
        {"errors", "drain and print the instrument's error queue", Errors, StatusQuery::Off},
        {"reset", "reset the instrument",
         [](Session& s) { return s.Check(Ztv_reset(s.vi()), "reset") ? kExitOk : kExitFailed; }, StatusQuery::Off},
        {"clear", "clear the instrument's status registers and error queue",
         [](Session& s) { return s.Check(Ztv_StatusClear(s.vi()), "clear") ? kExitOk : kExitFailed; },
         StatusQuery::Off},
        {"selftest", "run the instrument's self-test; exit status 1 when it fails", SelfTest, StatusQuery::AsOptioned}};
    for (const Simple& c : kCommands) {
        CLI::App* command = parent.add_subcommand(c.name, c.help);
        out->emplace_back(command, [&globals, c] { return WithSession(globals, c.run, c.statusQuery); });
    }
}

Runner AddScpi(CLI::App& parent, const Globals& globals) {
    CLI::App* command = parent.add_subcommand("scpi", "send SCPI commands; a query prints its reply");
    auto commands = std::make_shared<std::vector<std::string>>();
    auto out = std::make_shared<std::string>();
    command->add_option("COMMAND", *commands, "commands to send; without any, read them from standard input");
    command->add_option("--out", *out, "write a definite-length block reply into this file");
    return [=, &globals] {
        return WithSession(
            globals, [&](Session& s) { return Scpi(s, *commands, *out); }, StatusQuery::Off);
    };
}

Runner AddScreenshot(CLI::App& parent, const Globals& globals) {
    CLI::App* command =
        parent.add_subcommand("screenshot", "save the instrument's screen as PNG or BMP, by FILE's extension");
    auto path = std::make_shared<std::string>();
    command->add_option("FILE", *path, "where to save the image: a .png or .bmp file")->required();
    return [=, &globals] {
        if (FormatOf(*path) == ImageFormat::Other) return UsageError("FILE " + *path + ": name a .png or .bmp file");
        return WithSession(globals, [&](Session& s) { return Screenshot(s, *path); });
    };
}

}  // namespace ztv_tool
