// The operator panel's view of a controller's screen: a host-side frame
// buffer kept current by a refresher thread (one refresh pass every
// interval), with a numbered history of the regions each pass changed so
// that a browser can ask only for what changed since the version it has.
// Versions are numbered within an epoch drawn at random for each process,
// so that a page that saw another panel process's screen gets a whole one.
// A failed pass marks the view stale until a pass succeeds again; every
// pass after a failure opens the screen session afresh.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tavrix.h"

namespace tvx::tool {

class PanelState {
public:
    PanelState(TVX_HANDLE h, uint32_t screen);
    ~PanelState() { stop(); }

    // Opens the screen session and makes the first pass; the result code.
    int32_t start(uint32_t intervalMs);
    void stop();

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    // The last result of a refresh pass (0 while all is well).
    int32_t lastResult() const { return lastResult_.load(); }
    // As lastResult, but a pass that has waited longer than `overdueMs`
    // already counts as unanswered (3402): the screen shown is that old.
    int32_t currentResult(int64_t overdueMs) const;
    // When the controller last answered a whole pass: milliseconds since
    // 1970 (the wall clock: it is shown to people).
    int64_t lastAnswerMs() const { return lastAnswerMs_.load(); }
    uint32_t epoch() const { return epoch_; }

    // The regions changed since `since` of `epoch` (the whole screen when
    // `since` is 0, older than the history or of another epoch), as the
    // binary update the page reads: u32 version, u32 count, then per region
    // u16 x, y, width, height and its pixels, all little-endian.
    std::string updateSince(uint32_t epoch, uint32_t since);

    int32_t touch(uint32_t x, uint32_t y);
    int32_t key(uint16_t key, int32_t state);

private:
    struct Change {
        uint32_t version;
        std::vector<TVX_LcdRegion> regions;
    };
    int32_t refresh();
    int32_t reopen();
    void refreshSoon();

    TVX_HANDLE handle_;
    uint32_t screen_;
    uint32_t width_ = 0, height_ = 0;
    TVX_LcdScreen lcd_{};
    std::vector<uint16_t> work_;   // painted by the refresher only
    std::mutex mutex_;             // guards frame_, version_, history_
    std::vector<uint16_t> frame_;
    uint32_t version_ = 1;
    std::deque<Change> history_;
    uint32_t epoch_;
    std::atomic<int32_t> lastResult_{0};
    std::atomic<int64_t> lastAnswerMs_{0};
    std::atomic<int64_t> passStartMs_{0};  // steady clock; 0 between passes
    std::atomic<bool> running_{false};
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool pending_ = false;  // input arrived: refresh now (under wakeMutex_)
    std::thread thread_;
};

}  // namespace tvx::tool
