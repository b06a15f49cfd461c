// tvx firmware check|flash: a firmware image checked on this side first,
// with the failed check named, then judged by or sent to the controller.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "options.h"
#include "local_file.h"
#include "progress_bar.h"
#include "progress_text.h"
#include "session.h"
#include "tavrix.h"
#include "tools/tool_interface.h"

namespace tvx::tool {
namespace {

int runFirmware(const Invocation& inv);

void declareFirmware(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "check, or check and install", "check|flash");
    addArgument(app, inv, "IMAGE", Arity::one, "the firmware image file", kFileKind);
}

TVX_COMMAND({"firmware", "check or install a firmware image",
             "  ADDRESS check IMAGE   checks IMAGE here as flash would, then asks the\n"
             "                        controller whether it fits (its hardware identifier)\n"
             "  ADDRESS flash IMAGE   checks IMAGE and installs it; one progress bar runs\n"
             "                        over all of its sections\n"
             "\n"
             "Nothing is sent for an image that fails a check here; the refusal names the\n"
             "check. Example: tvx firmware 127.0.0.21 flash app.fw\n",
             false, declareFirmware, runFirmware, {"check", "flash"}});

const Command& self() { return *findCommand("firmware"); }

const char* typeText(uint32_t type) {
    switch (type) {
        case firmware_type::plain: return "plain";
        case firmware_type::enciphered: return "enciphered";
        case firmware_type::plainAlternate: return "plain (alternate)";
        case firmware_type::sectioned: return "sectioned";
        default: return "enciphered (part)";
    }
}

int runFirmware(const Invocation& inv) {
    const auto& a = inv.args;
    const std::string action(a[1]);
    if (action != "check" && action != "flash") return usageError(self(), "unknown action '" + action + "'");
    const std::string path(a[2]);
    const std::string what = "firmware " + action + " " + path;

    // The same checks the library makes, here to name the one that failed.
    std::vector<uint8_t> file;
    if (!readLocalFile(path, &file)) return reportFailure(what, TVX_ERR_FILE_NOT_FOUND);
    FirmwareImage image;
    const ImageCheck c = prepareFirmwareImage(file.data(), file.size(), image);
    if (!c) {
        std::fprintf(stderr, "tvx %s: refused: %s (%d)\n", what.c_str(), c.what, static_cast<int>(c.code));
        return kExitFailure;
    }

    Session s;
    if (int e = s.open(self(), a[0], inv.global)) return e;
    TVX_HANDLE h = s.handle();
    if (action == "check") {
        const int32_t r = TVX_CheckFirmWare(h, path.c_str());
        if (r != TVX_OK) return reportFailure(what, r);
        std::printf("%s: fits the controller at %s\n", path.c_str(), s.address().c_str());
        return kExitOk;
    }
    const bool sectioned = image.type == firmware_type::sectioned;
    const uint64_t total = sectioned ? image.sectionTotal : image.payloadLength;
    const TimedResult t = runWithProgress(h, "flash", total, [&] { return TVX_DownFirmWare(h, path.c_str()); });
    if (t.result != TVX_OK) return reportFailure(what, t.result);
    std::string summary = "flash " + path + " (" + typeText(image.type);
    if (sectioned) summary += ", " + std::to_string(image.sections.size()) + " sections";
    summary += ")";
    std::printf("%s\n", transferSummary(summary, total, t.seconds).c_str());
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
