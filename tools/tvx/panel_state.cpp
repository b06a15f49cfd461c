#include "panel_state.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace tvx::tool {
namespace {

constexpr size_t kHistory = 64;
constexpr int32_t kPress = 1;
constexpr int32_t kRelease = 0;

void appendU16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}
void appendU32(std::string& s, uint32_t v) {
    appendU16(s, static_cast<uint16_t>(v));
    appendU16(s, static_cast<uint16_t>(v >> 16));
}

int64_t wallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t randomEpoch() {
    std::random_device random;
    uint32_t e = 0;
    while (e == 0) e = random();
    return e;
}

}  // namespace

PanelState::PanelState(TVX_HANDLE h, uint32_t screen) : handle_(h), screen_(screen), epoch_(randomEpoch()) {}

int32_t PanelState::start(uint32_t intervalMs) {
    int32_t r = TVX_ELcdOpen(handle_, screen_, &lcd_.info);
    if (r != TVX_OK) return r;
    if (lcd_.info.width <= 0 || lcd_.info.height <= 0 || lcd_.info.width > 4096 || lcd_.info.height > 4096)
        return TVX_ERR_REPLY_LENGTH;
    width_ = static_cast<uint32_t>(lcd_.info.width);
    height_ = static_cast<uint32_t>(lcd_.info.height);
    work_.assign(static_cast<size_t>(width_) * height_, 0);
    frame_ = work_;
    r = refresh();
    if (r != TVX_OK) return r;
    lastAnswerMs_ = wallClockMs();
    running_ = true;
    thread_ = std::thread([this, intervalMs] {
        std::unique_lock<std::mutex> lock(wakeMutex_);
        while (running_) {
            wake_.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return !running_.load() || pending_; });
            if (!running_) break;
            pending_ = false;
            lock.unlock();
            passStartMs_ = steadyMs();
            int32_t r = lastResult_.load() == TVX_OK ? TVX_OK : reopen();
            if (r == TVX_OK) r = refresh();
            if (r == TVX_OK) lastAnswerMs_ = wallClockMs();
            lastResult_ = r;
            passStartMs_ = 0;
            lock.lock();
        }
    });
    return TVX_OK;
}

void PanelState::stop() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        running_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
        TVX_ELcdClose(handle_, screen_);
    }
}

int32_t PanelState::currentResult(int64_t overdueMs) const {
    const int64_t started = passStartMs_.load();
    if (started != 0 && steadyMs() - started > overdueMs) return TVX_CH_NO_REPLY;
    return lastResult_.load();
}

// After a failure the controller may have restarted and forgotten the
// session: open it again, which also makes the next pass fetch the whole
// screen. A screen of another size cannot be shown in this frame.
int32_t PanelState::reopen() {
    TVX_LcdScreenInfo info{};
    const int32_t r = TVX_ELcdOpen(handle_, screen_, &info);
    if (r != TVX_OK) return r;
    if (info.width != lcd_.info.width || info.height != lcd_.info.height || info.bitsPerPixel != lcd_.info.bitsPerPixel)
        return TVX_ERR_REPLY_LENGTH;
    lcd_.info = info;
    return TVX_OK;
}

int32_t PanelState::refresh() {
    int32_t r = TVX_ELcdDataCheckAndGetAll(handle_, screen_, &lcd_, work_.data());
    if (r == TVX_OK) r = TVX_ELcdDataGetEnd(handle_, screen_);
    if (r != TVX_OK || lcd_.regions.count <= 0) return r;
    std::lock_guard<std::mutex> lock(mutex_);
    Change change{++version_, {}};
    for (int32_t i = 0; i < lcd_.regions.count && i < TVX_LCD_MAX_REGIONS; ++i) {
        TVX_LcdRegion g = lcd_.regions.regions[i];
        // Only the part inside the screen is shown.
        if (g.x >= width_ || g.y >= height_) continue;
        g.width = static_cast<uint16_t>(std::min<uint32_t>(g.width, width_ - g.x));
        g.height = static_cast<uint16_t>(std::min<uint32_t>(g.height, height_ - g.y));
        for (uint32_t y = g.y; y < static_cast<uint32_t>(g.y) + g.height; ++y) {
            const size_t at = static_cast<size_t>(y) * width_ + g.x;
            std::copy(work_.begin() + static_cast<std::ptrdiff_t>(at),
                      work_.begin() + static_cast<std::ptrdiff_t>(at + g.width), frame_.begin() + static_cast<std::ptrdiff_t>(at));
        }
        change.regions.push_back(g);
    }
    history_.push_back(std::move(change));
    if (history_.size() > kHistory) history_.pop_front();
    return TVX_OK;
}

std::string PanelState::updateSince(uint32_t epoch, uint32_t since) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TVX_LcdRegion> regions;
    const bool known = epoch == epoch_ && since != 0 && since <= version_ &&
                       (history_.empty() || since + 1 >= history_.front().version);
    if (!known) {
        regions.push_back({0, 0, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_)});
    } else {
        for (const Change& c : history_)
            if (c.version > since) regions.insert(regions.end(), c.regions.begin(), c.regions.end());
    }
    std::string out;
    appendU32(out, version_);
    appendU32(out, static_cast<uint32_t>(regions.size()));
    for (const TVX_LcdRegion& g : regions) {
        appendU16(out, g.x);
        appendU16(out, g.y);
        appendU16(out, g.width);
        appendU16(out, g.height);
        for (uint32_t y = g.y; y < static_cast<uint32_t>(g.y) + g.height; ++y)
            for (uint32_t x = g.x; x < static_cast<uint32_t>(g.x) + g.width; ++x)
                appendU16(out, frame_[static_cast<size_t>(y) * width_ + x]);
    }
    return out;
}

int32_t PanelState::touch(uint32_t x, uint32_t y) {
    if (x >= width_ || y >= height_) return TVX_ERR_BAD_ARGUMENT;
    const int32_t r = TVX_ELcdMouseSet(handle_, screen_, kPress, static_cast<uint16_t>(x), static_cast<uint16_t>(y));
    if (r != TVX_OK) return r;
    const int32_t done = TVX_ELcdMouseSet(handle_, screen_, kRelease, static_cast<uint16_t>(x), static_cast<uint16_t>(y));
    refreshSoon();  // show the reaction at once
    return done;
}

int32_t PanelState::key(uint16_t code, int32_t state) {
    const int32_t r = TVX_ELcdKeySet(handle_, screen_, code, state);
    refreshSoon();
    return r;
}

void PanelState::refreshSoon() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        pending_ = true;
    }
    wake_.notify_all();
}

}  // namespace tvx::tool
