// Building the one-line JSON documents that tvx --json prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvx::tool {

// `text` as a JSON string, quotes included. Controller texts are bytes, not
// UTF-8: every byte outside printable ASCII is written as \u00XX (its
// Latin-1 reading), so the document is always valid.
std::string jsonString(std::string_view text);

// An object or array built member by member: JsonObject().add("a", 1).text()
// gives {"a":1}.
class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view text) { return raw(key, jsonString(text)); }
    JsonObject& add(std::string_view key, const char* text) { return add(key, std::string_view(text)); }
    JsonObject& add(std::string_view key, const std::string& text) { return add(key, std::string_view(text)); }
    JsonObject& add(std::string_view key, int64_t value) { return raw(key, std::to_string(value)); }
    JsonObject& add(std::string_view key, uint64_t value) { return raw(key, std::to_string(value)); }
    JsonObject& add(std::string_view key, int32_t value) { return add(key, static_cast<int64_t>(value)); }
    JsonObject& add(std::string_view key, uint32_t value) { return add(key, static_cast<uint64_t>(value)); }
    JsonObject& add(std::string_view key, double value);
    JsonObject& add(std::string_view key, bool value) { return raw(key, value ? "true" : "false"); }
    // A value that is already JSON (an object, an array).
    JsonObject& raw(std::string_view key, std::string_view json);
    std::string text() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};

class JsonArray {
public:
    JsonArray& add(std::string_view text) { return raw(jsonString(text)); }
    JsonArray& add(uint64_t value) { return raw(std::to_string(value)); }
    JsonArray& raw(std::string_view json);
    std::string text() const { return "[" + body_ + "]"; }

private:
    std::string body_;
};

// {"code":N,"description":"..."}: a failed item of a report.
std::string jsonError(int32_t code);

}  // namespace tvx::tool
