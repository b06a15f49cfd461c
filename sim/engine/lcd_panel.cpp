#include "engine/lcd_panel.h"

#include <cstdio>
#include <limits>

namespace tvx::sim {
namespace {

constexpr uint16_t kBackground = rgb565(16, 24, 40);
constexpr uint16_t kTitleBar = rgb565(20, 60, 140);
constexpr uint16_t kWhite = rgb565(255, 255, 255);
constexpr uint16_t kText = rgb565(220, 230, 240);
constexpr uint16_t kButton = rgb565(70, 80, 100);
constexpr uint16_t kRunLit = rgb565(30, 160, 60);
constexpr uint16_t kStopLit = rgb565(190, 40, 40);

// Item indices, in drawing order.
enum : size_t { kTitle, kClock, kState, kVr0, kVr1, kVr2, kTouch, kKey, kEncoder, kRun, kStop, kPlus, kReset, kItemCount };

std::string number(double v) {
    char t[32];
    std::snprintf(t, sizeof t, "%.10g", v);
    return t;
}

uint64_t area(const PixelRect& r) { return static_cast<uint64_t>(r.width) * r.height; }

}  // namespace

LcdPanel::LcdPanel() : frame_(kLcdWidth, kLcdHeight, kBackground) {
    items_.resize(kItemCount);
    auto row = [&](size_t i, uint32_t y) { items_[i] = {{20, y, 560, 36}, kBackground, kText, 4, "", "", false}; };
    items_[kTitle] = {{0, 0, 440, 64}, kTitleBar, kWhite, 5, "TAVRIX SIM", "", false};
    items_[kClock] = {{440, 0, 360, 64}, kTitleBar, kWhite, 4, "", "", false};
    row(kState, 90);
    row(kVr0, 140);
    row(kVr1, 190);
    row(kVr2, 240);
    row(kTouch, 300);
    row(kKey, 350);
    row(kEncoder, 400);
    auto button = [&](size_t i, uint32_t y, const char* label, TouchAction a) {
        items_[i] = {{600, y, 180, 76}, kButton, kWhite, 5, label, "", false, a};
    };
    button(kRun, 90, "RUN", TouchAction::run);
    button(kStop, 184, "STOP", TouchAction::stop);
    button(kPlus, 278, "+1", TouchAction::increment);
    button(kReset, 372, "RESET", TouchAction::reset);
}

void LcdPanel::invalidate() { whole_ = true; }

void LcdPanel::draw(Item& item) {
    // The drawn text carries the background too, so a colour change redraws.
    const std::string drawn = item.text + '\x01' + std::to_string(item.background);
    if (item.valid && drawn == item.drawn) return;
    frame_.fill(item.rect, item.background);
    // Long texts get smaller glyphs, and are cut, so as to stay inside the item.
    std::string text = item.text;
    uint32_t scale = item.scale;
    while (scale > 1 && PixelImage::textWidth(text, scale) + 12 > item.rect.width) --scale;
    while (!text.empty() && PixelImage::textWidth(text, scale) + 12 > item.rect.width) text.pop_back();
    const uint32_t glyphHeight = 7 * scale;
    const uint32_t w = PixelImage::textWidth(text, scale);
    const bool centred = item.action != TouchAction::none || &item == &items_[kClock];
    const uint32_t x = centred && w < item.rect.width ? item.rect.x + (item.rect.width - w) / 2 : item.rect.x + 12;
    const uint32_t y = item.rect.y + (item.rect.height > glyphHeight ? (item.rect.height - glyphHeight) / 2 : 0);
    frame_.text(x, y, scale, item.colour, text);
    item.drawn = drawn;
    item.valid = true;
    addChanged(item.rect);
}

void LcdPanel::addChanged(const PixelRect& r) {
    for (PixelRect& c : changed_) {
        // Overlapping or touching rectangles become one.
        if (r.x <= c.right() && c.x <= r.right() && r.y <= c.bottom() && c.y <= r.bottom()) {
            c = unite(c, r);
            return;
        }
    }
    changed_.push_back(r);
}

std::vector<PixelRect> LcdPanel::check(const PanelValues& v) {
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02u:%02u:%02u", v.uptimeSeconds / 3600 % 100, v.uptimeSeconds / 60 % 60,
                  v.uptimeSeconds % 60);
    items_[kClock].text = clock;
    items_[kState].text = v.running ? "STATE: RUNNING" : "STATE: STOPPED";
    items_[kVr0].text = "VR(0) = " + number(v.vr[0]);
    items_[kVr1].text = "VR(1) = " + number(v.vr[1]);
    items_[kVr2].text = "VR(2) = " + number(v.vr[2]);
    items_[kTouch].text = touchText_;
    items_[kKey].text = keyText_;
    items_[kEncoder].text = encoderText_;
    items_[kRun].background = v.running ? kRunLit : kButton;
    items_[kStop].background = v.running ? kButton : kStopLit;

    if (whole_) {
        frame_.fill(frame_.bounds(), kBackground);
        for (Item& item : items_) item.valid = false;
    }
    for (Item& item : items_) draw(item);
    if (whole_) {
        changed_.assign(1, frame_.bounds());
        whole_ = false;
    }
    // Merge the pair whose union adds the least area until five are left.
    while (changed_.size() > kMaxChangedRegions) {
        size_t bi = 0, bj = 1;
        uint64_t best = std::numeric_limits<uint64_t>::max();
        for (size_t i = 0; i < changed_.size(); ++i)
            for (size_t j = i + 1; j < changed_.size(); ++j) {
                const uint64_t extra = area(unite(changed_[i], changed_[j])) - area(changed_[i]) - area(changed_[j]);
                if (extra < best) best = extra, bi = i, bj = j;
            }
        changed_[bi] = unite(changed_[bi], changed_[bj]);
        changed_.erase(changed_.begin() + static_cast<std::ptrdiff_t>(bj));
    }
    regions_ = changed_;
    changed_.clear();
    return regions_;
}

TouchAction LcdPanel::touch(uint32_t action, uint32_t x, uint32_t y) {
    if (action != kPress) return TouchAction::none;
    touchText_ = "TOUCH: " + std::to_string(x) + "," + std::to_string(y);
    for (const Item& item : items_)
        if (item.action != TouchAction::none && x >= item.rect.x && x < item.rect.right() && y >= item.rect.y &&
            y < item.rect.bottom())
            return item.action;
    return TouchAction::none;
}

void LcdPanel::key(bool isVirtual, uint16_t key, uint8_t state) {
    keyText_ = std::string(isVirtual ? "VKEY: " : "KEY: ") + std::to_string(key) + (state ? " DOWN" : " UP");
}

void LcdPanel::encoder(uint16_t a, uint16_t b, int32_t c, int32_t d) {
    encoderText_ = "ENCODER: " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
                   std::to_string(d);
}

}  // namespace tvx::sim
