// What a controller says about itself, as the JSON object of
// `tvx --json info`, for the retained PREFIX/NAME/info topic.
#pragma once

#include <string>

#include "tavrix.h"

namespace tvx::gateway {

// False when the link was lost on the way (`*lost` receives the result);
// a value the controller does not provide is {"error": {...}} in place.
bool controllerInfoJson(TVX_HANDLE handle, const std::string& address, std::string* json, int32_t* lost);

// Results that say the link itself is gone: later requests would only wait again.
bool linkLost(int32_t code);

}  // namespace tvx::gateway
