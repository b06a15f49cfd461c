// tvx lcd and tvx vision: a controller's screen and camera images as PNG.
#include <cstdio>
#include <string>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
#include "png_image.h"
#include "screen_capture.h"
#include "session.h"

namespace tvx::tool {
namespace {

int runLcd(const Invocation& inv);
int runVision(const Invocation& inv);

uint64_t g_screen = 0;

void declareLcd(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "what to do with the screen", "snapshot");
    addArgument(app, inv, "OUT.png", Arity::one, "the picture file to write", kFileKind);
    addNumber(app, "--screen", &g_screen, 0, 255, "N", "the controller's screen (default 0)",
              "--screen needs a number from 0 to 255");
}

void declareVision(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ACTION", Arity::one, "what to do with the camera", "grab");
    addArgument(app, inv, "N", Arity::one, "the image, 0-65535");
    addArgument(app, inv, "OUT.png", Arity::one, "the picture file to write", kFileKind);
}

TVX_COMMAND({"lcd", "save a controller's LCD screen as a PNG picture",
             "Opens a session on the controller's screen N (default 0), fetches the whole\n"
             "screen and writes it to OUT.png (8-bit RGB).\n"
             "With tvx --json: {\"file\":\"OUT.png\",\"width\":W,\"height\":H}.\n"
             "Example: tvx lcd 127.0.0.21 snapshot screen.png\n",
             true, declareLcd, runLcd, {"snapshot"}});
TVX_COMMAND({"vision", "save camera image N of a controller as a PNG picture",
             "Fetches image N (0-65535) of the controller's vision module and writes it to\n"
             "OUT.png (8-bit RGB). With tvx --json as lcd.\n"
             "Example: tvx vision 127.0.0.21 grab 0 camera.png\n",
             true, declareVision, runVision, {"grab"}});

int save(const Command& cmd, const std::string& path, const Picture565& picture, bool json) {
    std::string error;
    if (!writePng(path, picture, &error)) {
        std::fprintf(stderr, "tvx %s: cannot write %s: %s\n", cmd.name, path.c_str(), error.c_str());
        return kExitFailure;
    }
    if (json)
        std::printf("%s\n", jsonLine({{"file", jsonText(path)}, {"width", picture.width}, {"height", picture.height}}).c_str());
    else
        std::printf("%s: %u x %u\n", path.c_str(), picture.width, picture.height);
    return kExitOk;
}

int runLcd(const Invocation& inv) {
    const Command& cmd = *findCommand("lcd");
    const auto& a = inv.args;
    if (a[1] != "snapshot") return usageError(cmd, "the action is snapshot");
    Session s;
    if (const int e = s.open(cmd, a[0], inv.global); e != kExitOk) return e;
    Picture565 picture;
    const int32_t r = captureScreen(s.handle(), static_cast<uint32_t>(g_screen), &picture);
    if (r != TVX_OK) return reportFailure("lcd snapshot " + s.address(), r);
    return save(cmd, a[2], picture, inv.global.json);
}

int runVision(const Invocation& inv) {
    const Command& cmd = *findCommand("vision");
    uint64_t number = 0;
    if (inv.args[1] != "grab") return usageError(cmd, "the action is grab");
    if (!parseUnsigned(inv.args[2], 65535, &number)) return usageError(cmd, "N must be a number from 0 to 65535");
    Session s;
    if (const int e = s.open(cmd, inv.args[0], inv.global); e != kExitOk) return e;
    Picture565 picture;
    const int32_t r = captureCameraImage(s.handle(), static_cast<uint16_t>(number), &picture);
    if (r != TVX_OK) return reportFailure("vision grab " + s.address(), r);
    return save(cmd, std::string(inv.args[3]), picture, inv.global.json);
}

}  // namespace
}  // namespace tvx::tool
