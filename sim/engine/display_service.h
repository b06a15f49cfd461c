// The simulated controller's remote screen and vision module: screen
// sessions, changed regions and their run-length-encoded pixels, touch,
// key and encoder input (which the screen shows and its buttons act on),
// and camera images.
#pragma once

#include <cstdint>

#include "engine/camera_images.h"
#include "engine/lcd_panel.h"
#include "engine/service.h"

namespace tvx::sim {

class DisplayService : public Service {
public:
    DisplayService();

    bool serves(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    // Copies a first state kept aside into this one: the screen and the
    // camera's test picture keep their memory, rebuilt they cost a lot.
    void reset() override;

    LcdPanel& panel() { return panel_; }
    CameraImages& cameras() { return cameras_; }
    // Requests served, for tests and the trace.
    uint32_t fetches() const { return fetches_; }
    bool sessionOpen() const { return open_; }

private:
    void check(ServiceRequest& request);
    void fetch(ServiceRequest& request);
    void image(ServiceRequest& request);
    void touch(ServiceRequest& request);

    LcdPanel panel_;
    CameraImages cameras_;
    uint32_t startTick_;
    bool open_ = false;
    uint32_t fetches_ = 0;
};

}  // namespace tvx::sim
