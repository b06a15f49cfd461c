#include "server/model_settings.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "base/bytes.h"
#include "server/text_values.h"

namespace tvx::sim {
namespace {

constexpr size_t kVersionTextWidth = 16;
constexpr size_t kIpTextLimit = 20;   // the reply field, terminator included
constexpr size_t kMacTextLimit = 14;
constexpr size_t kMaxLineLength = 4096;

bool fail(std::string* error, std::string_view key, const char* what) {
    *error = std::string(key) + ": " + what;
    return false;
}

bool setInt32(int32_t* field, std::string_view key, std::string_view value, std::string* error) {
    int64_t v;
    if (!parseInteger(value, INT32_MIN, UINT32_MAX, &v)) return fail(error, key, "expected a 32-bit number");
    *field = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

bool setU8(uint8_t* field, std::string_view key, std::string_view value, std::string* error) {
    int64_t v;
    if (!parseInteger(value, 0, 255, &v)) return fail(error, key, "expected a number from 0 to 255");
    *field = static_cast<uint8_t>(v);
    return true;
}

bool setText(std::string* field, size_t limit, std::string_view key, std::string_view value, std::string* error) {
    if (value.size() > limit) {
        return fail(error, key, ("text longer than " + std::to_string(limit) + " characters").c_str());
    }
    *field = std::string(value);
    return true;
}

bool setPoints(ControllerModel& m, bool inputs, std::string_view key, std::string_view value, std::string* error) {
    std::vector<int> points;
    if (!parsePointList(value, kIoPoints, &points)) return fail(error, key, "expected points such as 0,3,8-11 below 4096");
    (inputs ? m.inputs : m.outputs).fill(0);
    for (int p : points) inputs ? m.setInput(p, true) : m.setOutput(p, true);
    return true;
}

// "ain.N" and similar: the index after the dot.
bool indexAfter(std::string_view key, std::string_view prefix, int limit, int* index) {
    if (key.substr(0, prefix.size()) != prefix) return false;
    int64_t v;
    if (!parseInteger(key.substr(prefix.size()), 0, limit - 1, &v)) return false;
    *index = static_cast<int>(v);
    return true;
}

}  // namespace

const char* settingsHelp() {
    return "axes N              number of axes (0-64), reported in the system record\n"
           "state N             run state (0-255)\n"
           "stopped-task N      number of the task that stopped or paused\n"
           "client-id N         identities (32-bit numbers, 0x... accepted)\n"
           "soft-id N\n"
           "hard-id N\n"
           "chip-id N\n"
           "error N             the controller's error code\n"
           "version N           soft version number\n"
           "version-text TEXT   soft version text (at most 16 characters)\n"
           "version-date N      soft version date, e.g. 20261201\n"
           "ip TEXT             address text the controller reports (default: the serving address)\n"
           "mac TEXT            MAC text (at most 14 characters)\n"
           "inputs LIST         inputs that are on, e.g. 0,3,8-11 (all others off)\n"
           "outputs LIST        outputs that are on\n"
           "ain.N VALUE         analog input channel N (0-31)\n"
           "axis-features.N V   feature word of axis N\n"
           "task.N TEXT         text of task N's state (0-21)\n"
           "child-cards N       number of child cards (0-8)\n"
           "sysspec HEX         system record bytes (at most 60; bytes 4-5 always hold the axis count)\n"
           "transfer-state on|off  whether the transfer state request is answered\n";
}

bool applySetting(ControllerModel& m, std::string_view key, std::string_view value, std::string* error) {
    key = trim(key);
    value = trim(value);
    int64_t v;
    int index;
    if (key == "axes") {
        if (!parseInteger(value, 0, kMaxAxes, &v)) return fail(error, key, "expected a number from 0 to 64");
        m.axisCount = static_cast<uint16_t>(v);
        putU16(m.sysSpecification.data() + 4, m.axisCount);
        return true;
    }
    if (key == "state") return setU8(&m.runState, key, value, error);
    if (key == "stopped-task") return setU8(&m.stoppedTask, key, value, error);
    if (key == "client-id") return setInt32(&m.clientId, key, value, error);
    if (key == "soft-id") return setInt32(&m.softId, key, value, error);
    if (key == "hard-id") return setInt32(&m.hardId, key, value, error);
    if (key == "chip-id") return setInt32(&m.chipId, key, value, error);
    if (key == "error") return setInt32(&m.errorCode, key, value, error);
    if (key == "version" || key == "version-date") {
        int32_t s = 0;
        if (!setInt32(&s, key, value, error)) return false;
        (key == "version" ? m.softVersion : m.versionDate) = static_cast<uint32_t>(s);
        return true;
    }
    if (key == "version-text") return setText(&m.versionText, kVersionTextWidth, key, value, error);
    if (key == "ip") return setText(&m.ipText, kIpTextLimit - 1, key, value, error);
    if (key == "mac") return setText(&m.macText, kMacTextLimit - 1, key, value, error);
    if (key == "inputs" || key == "outputs") return setPoints(m, key == "inputs", key, value, error);
    if (indexAfter(key, "ain.", kAnalogChannels, &index)) {
        float f;
        if (!parseFloat(value, &f)) return fail(error, key, "expected a number");
        m.analogIn[index] = f;
        return true;
    }
    if (indexAfter(key, "axis-features.", kMaxAxes, &index)) return setInt32(&m.axes[index].features, key, value, error);
    if (indexAfter(key, "task.", kTasks, &index)) return setText(&m.tasks[index].text, 26, key, value, error);
    if (key == "child-cards") {
        if (!parseInteger(value, 0, kMaxChildCards, &v)) return fail(error, key, "expected a number from 0 to 8");
        m.childCardCount = static_cast<int>(v);
        for (int c = 0; c < m.childCardCount; ++c) {
            m.childCards[c].id = 0x1000u + static_cast<uint32_t>(c);
            m.childCards[c].kind = static_cast<uint16_t>(1 + c % 3);
            for (size_t b = 0; b < m.childCards[c].bytes.size(); ++b) m.childCards[c].bytes[b] = static_cast<uint8_t>(c + b);
        }
        return true;
    }
    if (key == "sysspec") {
        std::vector<uint8_t> bytes;
        if (!parseHexBytes(value, m.sysSpecification.size(), &bytes)) return fail(error, key, "expected at most 60 hexadecimal bytes");
        m.sysSpecification.fill(0);
        std::copy(bytes.begin(), bytes.end(), m.sysSpecification.begin());
        putU16(m.sysSpecification.data() + 4, m.axisCount);
        return true;
    }
    if (key == "transfer-state") {
        if (value != "on" && value != "off") return fail(error, key, "expected on or off");
        m.transferStateSupported = value == "on";
        return true;
    }
    *error = "unknown setting '" + std::string(key) + "' (see --list-settings)";
    return false;
}

bool applySettingText(ControllerModel& model, std::string_view text, std::string* error) {
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        *error = "expected KEY=VALUE, got '" + std::string(text) + "'";
        return false;
    }
    return applySetting(model, text.substr(0, eq), text.substr(eq + 1), error);
}

bool loadSettingsFile(ControllerModel& model, const std::string& path, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = path + ": cannot be read";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (line.size() > kMaxLineLength) {
            *error = where + "line too long";
            return false;
        }
        const std::string_view t = trim(line);
        if (t.empty() || t.front() == '#') continue;
        // "KEY = VALUE" or "KEY VALUE".
        size_t split = t.find('=');
        if (split == std::string_view::npos) split = t.find_first_of(" \t");
        if (split == std::string_view::npos) {
            *error = where + "expected KEY = VALUE";
            return false;
        }
        std::string message;
        if (!applySetting(model, t.substr(0, split), t.substr(split + 1), &message)) {
            *error = where + message;
            return false;
        }
    }
    return true;
}

}  // namespace tvx::sim
