// The simulated controller's operator screen: an 800 x 480 frame buffer
// showing a clock, the run state, a few variables and the last input, with
// buttons that react to touch. The screen is drawn when a host checks for
// changes, so that the pixels stay still while the host fetches them; only
// items whose text changed are drawn again, and their rectangles are
// reported as changed regions, at most five per check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pixel_image.h"

namespace tvx::sim {

inline constexpr uint32_t kLcdWidth = 800;
inline constexpr uint32_t kLcdHeight = 480;
inline constexpr size_t kMaxChangedRegions = 5;

// What the screen shows, gathered from the controller at each check.
struct PanelValues {
    uint32_t uptimeSeconds = 0;
    bool running = false;
    double vr[3] = {};
};

// What a touch asks the controller to do.
enum class TouchAction { none, run, stop, increment, reset };

class LcdPanel {
public:
    LcdPanel();

    const PixelImage& frame() const { return frame_; }
    // Draws what changed since the last check and returns the changed
    // regions (merged down to at most five).
    std::vector<PixelRect> check(const PanelValues& values);
    // The next check reports the whole screen (a new session).
    void invalidate();
    // The regions of the last check; a fetch names them by index.
    const std::vector<PixelRect>& regions() const { return regions_; }

    // Input: a press at (x, y) on a button returns its action.
    TouchAction touch(uint32_t action, uint32_t x, uint32_t y);
    void key(bool isVirtual, uint16_t key, uint8_t state);
    void encoder(uint16_t a, uint16_t b, int32_t c, int32_t d);

    // The touch action that presses a button (release and move do nothing).
    static constexpr uint32_t kPress = 1;

private:
    struct Item {
        PixelRect rect;
        uint16_t background;
        uint16_t colour;
        uint32_t scale;
        std::string text;
        std::string drawn;  // what the frame shows; differs until drawn
        bool valid = false;
        TouchAction action = TouchAction::none;
    };
    void draw(Item& item);
    void addChanged(const PixelRect& r);

    PixelImage frame_;
    std::vector<Item> items_;
    std::vector<PixelRect> changed_;
    std::vector<PixelRect> regions_;
    bool whole_ = true;
    std::string touchText_ = "TOUCH: -";
    std::string keyText_ = "KEY: -";
    std::string encoderText_ = "ENCODER: 0 0 0 0";
};

}  // namespace tvx::sim
