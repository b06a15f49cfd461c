// The JSON that tvx --json prints, built with nlohmann-json. Members keep
// the order in which they are added.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace tvx::tool {

using Json = nlohmann::ordered_json;

// A controller's text as a JSON string. Controller texts are bytes, not
// UTF-8: each byte is read as its Latin-1 code point, so any text makes a
// valid document.
Json jsonText(std::string_view text);
// A number shown with `significant` digits (9 reads a single-precision
// value back exactly without its binary noise); null when not finite, as
// JSON has no NaN or infinity.
Json jsonNumber(double value, int significant = 9);
// {"code":N,"description":"..."}: a failed item of a report.
Json jsonError(int32_t code);
// The document on one line, every character outside ASCII escaped.
std::string jsonLine(const Json& value);

}  // namespace tvx::tool
