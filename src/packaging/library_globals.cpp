// The global declarations a library offers: the "global" lines of a BASIC
// library, the labels of a PLC library.
#include <cstdio>
#include <cstring>

#include "base/ascii.h"
#include "base/bytes.h"
#include "packaging/library_file.h"

namespace tvx {
namespace {

// Appends to a terminated text in a fixed buffer, as far as it fits.
class BoundedText {
public:
    BoundedText(char* out, size_t size) : out_(out), size_(size) {
        if (size_) out_[0] = 0;
    }
    void append(const char* p, size_t n) {
        if (size_ == 0) return;
        const size_t room = size_ - 1 - used_;
        const size_t c = n < room ? n : room;
        std::memcpy(out_ + used_, p, c);
        used_ += c;
        out_[used_] = 0;
    }

private:
    char* out_;
    size_t size_;
    size_t used_ = 0;
};

bool isLeadingBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool firstWordIsGlobal(const char* line, size_t n) {
    const char* space = static_cast<const char*>(std::memchr(line, ' ', n));
    if (space == nullptr || space - line != 6) return false;
    static const char kWord[] = "global";
    for (size_t i = 0; i < 6; ++i) {
        if (lowerAscii(line[i]) != kWord[i]) return false;
    }
    return true;
}

void basicGlobals(const char* text, BoundedText& out) {
    const char* p = text;
    while (*p) {
        const char* lf = std::strchr(p, '\n');
        const char* end = lf ? lf + 1 : p + std::strlen(p);
        const char* start = p;
        while (start < end && isLeadingBlank(*start)) ++start;
        if (firstWordIsGlobal(start, static_cast<size_t>(end - start))) out.append(start, static_cast<size_t>(end - start));
        p = end;
    }
}

constexpr uint8_t kRecordClass = 17;
constexpr uint8_t kLabelKind = 28;
constexpr uint8_t kNumberedLabel = 11;
constexpr uint8_t kNamedLabel = 50;
constexpr size_t kRecordHeader = 4;
constexpr size_t kLabelFieldAt = 12;

// Walks the label records; a record is read only where it lies whole
// inside the content, and a name only when it ends inside its record.
void plcGlobals(const uint8_t* content, size_t length, BoundedText& out) {
    size_t pos = 0;
    while (length - pos >= kRecordHeader && content[pos] == kRecordClass) {
        const uint8_t* r = content + pos;
        const size_t recordLength = getU16(r + 2);
        if (recordLength == 0 || recordLength > length - pos) break;
        if (r[1] == kLabelKind && recordLength > 9) {
            char line[64];
            if (r[9] == kNumberedLabel && recordLength >= kLabelFieldAt + 4) {
                const int n = std::snprintf(line, sizeof line, "LBL L%d\r\n", static_cast<int>(getI32(r + kLabelFieldAt)));
                out.append(line, static_cast<size_t>(n));
            } else if (r[9] == kNamedLabel && recordLength > kLabelFieldAt) {
                const char* name = reinterpret_cast<const char*>(r + kLabelFieldAt);
                const size_t room = recordLength - kLabelFieldAt;
                const size_t nameLength = strnlen(name, room);
                if (nameLength < room) {
                    out.append("LBL @", 5);
                    out.append(name, nameLength);
                    out.append("\r\n", 2);
                }
            }
        }
        pos += recordLength;
    }
}

}  // namespace

void libraryGlobals(const ByteBuffer& plain, uint8_t type, char* out, size_t size) {
    BoundedText text(out, size);
    if (size == 0 || plain.size() < kLibraryHeaderBytes) return;
    const uint8_t* content = plain.data() + kLibraryHeaderBytes;
    const size_t length = plain.size() - kLibraryHeaderBytes;
    if (type == kBasicLibraryType)
        basicGlobals(reinterpret_cast<const char*>(content), text);  // terminated by the buffer's own zero
    else
        plcGlobals(content, length, text);
}

}  // namespace tvx
