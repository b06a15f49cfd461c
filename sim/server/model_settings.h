// Controller settings from the command line (--set KEY=VALUE) or a small
// configuration file of "KEY = VALUE" lines: each sets fields of the
// simulated controller's model.
#pragma once

#include <string>
#include <string_view>

#include "engine/model.h"

namespace tvx::sim {

// Applies one setting; false with a message for an unknown key or a bad
// value (the model is then unchanged).
bool applySetting(ControllerModel& model, std::string_view key, std::string_view value, std::string* error);
// "KEY=VALUE" in one text.
bool applySettingText(ControllerModel& model, std::string_view text, std::string* error);
// Reads a file of settings; blank lines and lines starting with '#' are
// skipped. The message names the file and line of the first error.
bool loadSettingsFile(ControllerModel& model, const std::string& path, std::string* error);
// One line per key, for --list-settings.
const char* settingsHelp();

}  // namespace tvx::sim
