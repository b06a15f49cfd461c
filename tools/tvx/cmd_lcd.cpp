// tvx lcd and tvx vision: a controller's screen and camera images as PNG.
#include <cstdio>
#include <string>

#include "args.h"
#include "command.h"
#include "png_image.h"
#include "screen_capture.h"
#include "session.h"

namespace tvx::tool {
namespace {

int runLcd(const Invocation& inv);
int runVision(const Invocation& inv);

TVX_COMMAND({"lcd", "snapshot ADDRESS OUT.png [--screen N]", "save a controller's LCD screen as a PNG picture",
             "Opens a session on the controller's screen N (default 0), fetches the whole\n"
             "screen and writes it to OUT.png (8-bit RGB).\n"
             "Example: tvx lcd snapshot 127.0.0.21 screen.png\n",
             runLcd});
TVX_COMMAND({"vision", "grab ADDRESS N OUT.png", "save camera image N of a controller as a PNG picture",
             "Fetches image N (0-65535) of the controller's vision module and writes it to\n"
             "OUT.png (8-bit RGB).\n"
             "Example: tvx vision grab 127.0.0.21 0 camera.png\n",
             runVision});

int save(const Command& cmd, const std::string& path, const Picture565& picture) {
    std::string error;
    if (!writePng(path, picture, &error)) {
        std::fprintf(stderr, "tvx %s: cannot write %s: %s\n", cmd.name, path.c_str(), error.c_str());
        return kExitFailure;
    }
    std::printf("%s: %u x %u\n", path.c_str(), picture.width, picture.height);
    return kExitOk;
}

int runLcd(const Invocation& inv) {
    const Command& cmd = *findCommand("lcd");
    std::vector<std::string_view> plain;
    uint64_t screen = 0;
    for (size_t i = 0; i < inv.args.size(); ++i) {
        std::string_view v;
        bool missing = false;
        if (takeOption(inv.args, i, "--screen", &v, &missing)) {
            if (missing || !parseUnsigned(v, 255, &screen)) return usageError(cmd, "--screen needs a number from 0 to 255");
            --i;
            continue;
        }
        plain.push_back(inv.args[i]);
    }
    if (plain.size() != 3 || plain[0] != "snapshot") return usageError(cmd, "expected: snapshot ADDRESS OUT.png");
    Session s;
    if (const int e = s.open(cmd, plain[1], inv.global); e != kExitOk) return e;
    Picture565 picture;
    const int32_t r = captureScreen(s.handle(), static_cast<uint32_t>(screen), &picture);
    if (r != TVX_OK) return reportFailure("lcd snapshot " + s.address(), r);
    return save(cmd, std::string(plain[2]), picture);
}

int runVision(const Invocation& inv) {
    const Command& cmd = *findCommand("vision");
    uint64_t number = 0;
    if (inv.args.size() != 4 || inv.args[0] != "grab") return usageError(cmd, "expected: grab ADDRESS N OUT.png");
    if (!parseUnsigned(inv.args[2], 65535, &number)) return usageError(cmd, "N must be a number from 0 to 65535");
    Session s;
    if (const int e = s.open(cmd, inv.args[1], inv.global); e != kExitOk) return e;
    Picture565 picture;
    const int32_t r = captureCameraImage(s.handle(), static_cast<uint16_t>(number), &picture);
    if (r != TVX_OK) return reportFailure("vision grab " + s.address(), r);
    return save(cmd, std::string(inv.args[3]), picture);
}

}  // namespace
}  // namespace tvx::tool
