#include "base/debug_output.h"
#include "packaging/source_hashes.h"

#include "base/result_codes.h"
#include "tavrix.h"

namespace tvx {
namespace {

// Both the compaction and the source hash walk the text with the same
// states; this is that walk. It reports each byte as dropped or kept.
class BasicTextWalk {
public:
    // True when `c` stays in the compacted text.
    bool keep(uint8_t c) {
        if (c == '\r') return false;
        if (c == '\n') {
            inComment_ = false;
            inQuote_ = false;
            atSeparator_ = true;
            return true;
        }
        if (inComment_) return false;
        if (c == '"') {
            if (inQuote_) atSeparator_ = true;
            inQuote_ = !inQuote_;
            return true;
        }
        if (inQuote_) return true;
        if (c == ' ' || c == '\t') {
            if (atSeparator_) return false;
            atSeparator_ = true;
            return true;
        }
        atSeparator_ = false;
        if (c == '\'') {
            inComment_ = true;
            return false;
        }
        return true;
    }
    bool inQuote() const { return inQuote_; }

private:
    bool inQuote_ = false;
    bool inComment_ = false;
    bool atSeparator_ = true;
};

uint32_t step(uint32_t h, uint8_t byte) {
    return h * 5u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(byte)));
}

}  // namespace

uint32_t stringHash(const uint8_t* data, size_t length) {
    uint32_t h = 0;
    for (size_t i = 0; i < length; ++i) h = step(h, data[i]);
    return h;
}

uint32_t sourceHash(const uint8_t* text, size_t length) {
    BasicTextWalk walk;
    uint32_t h = 0;
    for (size_t i = 0; i < length && text[i] != 0; ++i) {
        const uint8_t c = text[i];
        // Blanks outside quotes hash as a space, so tab and space agree.
        const bool blank = (c == ' ' || c == '\t') && !walk.inQuote();
        if (walk.keep(c)) h = step(h, blank ? ' ' : c);
    }
    return h;
}

size_t compactBasicText(uint8_t* text, size_t length) {
    BasicTextWalk walk;
    size_t out = 0;
    for (size_t i = 0; i < length && text[i] != 0; ++i) {
        const uint8_t c = text[i];
        if (walk.keep(c)) text[out++] = c;
    }
    if (out < length) text[out] = 0;
    return out;
}

}  // namespace tvx

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_CalStringHash(const uint8_t* data, uint32_t length, int32_t* hashOut) {
    if (hashOut == nullptr || (data == nullptr && length > 0))
        return tvx::refuse(tvx::rc::badArgument, "hashOut is NULL, or data is NULL with a length");
    *hashOut = static_cast<int32_t>(tvx::stringHash(data, length));
    return tvx::rc::ok;
}

}  // extern "C"
