#include "answer_stream.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace tvx::tool {
namespace {

using Clock = std::chrono::steady_clock;
// Room for everything the controller can hold back for one fetch.
constexpr uint32_t kPieceRoom = 128 * 1024;
constexpr auto kPause = std::chrono::milliseconds(10);

}  // namespace

int32_t streamCommand(TVX_HANDLE h, const std::string& text, uint32_t limitMs, const StreamHooks& hooks) {
    int32_t r = TVX_ExecuteWaitDown(h, limitMs);
    if (r == TVX_OK) r = TVX_ExecuteNoAck(h, text.c_str(), limitMs);
    if (r != TVX_OK) return r;
    std::vector<char> piece(kPieceRoom);
    Clock::time_point lastText = Clock::now();
    for (;;) {
        uint32_t length = 0;
        uint8_t done = 0;
        r = TVX_ExecuteGetReceive(h, piece.data(), kPieceRoom, &length, &done);
        if (r != TVX_OK) return r;
        if (length > 0) {
            hooks.text(std::string_view(piece.data(), std::min(length, kPieceRoom)));
            lastText = Clock::now();
        }
        if (done) return TVX_OK;
        if (length > 0) continue;
        if (Clock::now() - lastText >= std::chrono::milliseconds(limitMs)) return TVX_ERR_TIME_LIMIT;
        if (hooks.idle) {
            if (hooks.idle()) return kStreamStopped;
        } else {
            std::this_thread::sleep_for(kPause);
        }
    }
}

}  // namespace tvx::tool
