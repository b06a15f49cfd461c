// Profile files without the Windows profile functions: every call reads the
// file, and a write rewrites it with only the affected lines changed.
#include "base/ascii.h"
#include "platform/profile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tvx::platform {
namespace {

// One lock for all profile files: each call reads (and writes) a whole file.
std::mutex g_profileLock;

struct Span {
    const char* p = nullptr;
    size_t n = 0;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

Span trim(Span s) {
    while (s.n > 0 && isBlank(s.p[0])) {
        ++s.p;
        --s.n;
    }
    while (s.n > 0 && isBlank(s.p[s.n - 1])) --s.n;
    return s;
}

bool sameName(Span s, const char* name) {
    const size_t n = std::strlen(name);
    Span t = trim(Span{name, n});
    if (s.n != t.n) return false;
    for (size_t i = 0; i < s.n; ++i)
        if (lowerAscii(s.p[i]) != lowerAscii(t.p[i])) return false;
    return true;
}

// A growing text in malloc'ed memory; `failed` records an allocation failure.
class Text {
public:
    ~Text() { std::free(data_); }
    void append(const char* p, size_t n) {
        if (failed_ || n == 0) return;
        if (size_ + n > capacity_) {
            size_t want = capacity_ ? capacity_ * 2 : 256;
            while (want < size_ + n) want *= 2;
            char* grown = static_cast<char*>(std::realloc(data_, want));
            if (grown == nullptr) {
                failed_ = true;
                return;
            }
            data_ = grown;
            capacity_ = want;
        }
        std::memcpy(data_ + size_, p, n);
        size_ += n;
    }
    void append(Span s) { append(s.p, s.n); }
    void append(const char* z) { append(z, std::strlen(z)); }
    void push(char c) { append(&c, 1); }
    const char* data() const { return data_; }
    size_t size() const { return size_; }
    bool failed() const { return failed_; }
    char* take(size_t* size) {
        *size = size_;
        char* d = data_;
        data_ = nullptr;
        size_ = capacity_ = 0;
        return d;
    }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool failed_ = false;
};

// The file's text; empty when it does not exist or cannot be read.
class FileText {
public:
    explicit FileText(const char* path) {
        std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
        if (f == nullptr) return;
        Text t;
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) t.append(chunk, got);
        std::fclose(f);
        if (!t.failed()) data_ = t.take(&size_);
    }
    ~FileText() { std::free(data_); }
    FileText(const FileText&) = delete;
    FileText& operator=(const FileText&) = delete;
    const char* data() const { return data_ ? data_ : ""; }
    size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
};

// One line of the file: [start, end) without its line end, `next` after it.
struct Line {
    size_t start = 0;
    size_t end = 0;
    size_t next = 0;
};

enum class LineKind { other, section, key };

struct ParsedLine {
    LineKind kind = LineKind::other;
    Span name;   // section or key name, trimmed
    Span value;  // key value, trimmed
    bool hasValue = false;
};

class Lines {
public:
    explicit Lines(const FileText& file) : text_(file.data()), size_(file.size()) {}
    bool next(Line* line) {
        if (pos_ >= size_) return false;
        line->start = pos_;
        size_t i = pos_;
        while (i < size_ && text_[i] != '\n') ++i;
        line->next = i < size_ ? i + 1 : i;
        line->end = (i > pos_ && text_[i - 1] == '\r') ? i - 1 : i;
        pos_ = line->next;
        return true;
    }
    ParsedLine parse(const Line& line) const {
        ParsedLine out;
        Span s = trim(Span{text_ + line.start, line.end - line.start});
        if (s.n == 0 || s.p[0] == ';') return out;
        if (s.p[0] == '[') {
            size_t close = 1;
            while (close < s.n && s.p[close] != ']') ++close;
            out.kind = LineKind::section;
            out.name = trim(Span{s.p + 1, close - 1});
            return out;
        }
        out.kind = LineKind::key;
        const char* eq = static_cast<const char*>(std::memchr(s.p, '=', s.n));
        if (eq == nullptr) {
            out.name = s;
            return out;
        }
        out.name = trim(Span{s.p, static_cast<size_t>(eq - s.p)});
        out.value = trim(Span{eq + 1, static_cast<size_t>(s.p + s.n - eq - 1)});
        out.hasValue = true;
        return out;
    }

private:
    const char* text_;
    size_t size_;
    size_t pos_ = 0;
};

// Where a section and one of its keys stand in the file.
struct Location {
    bool sectionFound = false;
    size_t sectionStart = 0;  // the header line
    size_t bodyEnd = 0;       // after the last non-empty line of the section
    size_t sectionEnd = 0;    // where the next section (or the file end) begins
    bool keyFound = false;
    Line keyLine;
    ParsedLine key;
};

// Finds the first section of that name and, when `key` is given, its first
// line with that key.
Location locate(const FileText& file, const char* section, const char* key) {
    Location loc;
    Lines lines(file);
    Line line;
    bool inside = false;
    while (lines.next(&line)) {
        const ParsedLine p = lines.parse(line);
        if (p.kind == LineKind::section) {
            if (inside) {
                loc.sectionEnd = line.start;
                return loc;
            }
            if (sameName(p.name, section)) {
                inside = true;
                loc.sectionFound = true;
                loc.sectionStart = line.start;
                loc.bodyEnd = line.next;
            }
            continue;
        }
        if (!inside) continue;
        if (p.kind != LineKind::other || trim(Span{file.data() + line.start, line.end - line.start}).n > 0)
            loc.bodyEnd = line.next;
        if (p.kind == LineKind::key && key && !loc.keyFound && sameName(p.name, key)) {
            loc.keyFound = true;
            loc.keyLine = line;
            loc.key = p;
        }
    }
    loc.sectionEnd = file.size();
    return loc;
}

// Copies a value (or default) as GetPrivateProfileString does.
uint32_t copyValue(Span v, char* out, uint32_t size) {
    if (size == 0) return 0;
    const size_t n = v.n < size - 1 ? v.n : size - 1;
    if (n) std::memcpy(out, v.p, n);
    out[n] = 0;
    return static_cast<uint32_t>(n);
}

// Copies a list of zero-terminated texts (without its final extra zero);
// a list that does not fit is cut and ends in two zeros at size - 2.
uint32_t copyList(const Text& list, char* out, uint32_t size) {
    if (size == 0) return 0;
    if (size == 1) {
        out[0] = 0;
        return 0;
    }
    if (list.size() + 1 <= size) {
        if (list.size()) std::memcpy(out, list.data(), list.size());
        out[list.size()] = 0;
        if (list.size() == 0 && size > 1) out[1] = 0;
        return static_cast<uint32_t>(list.size());
    }
    std::memcpy(out, list.data(), size - 2);
    out[size - 2] = 0;
    out[size - 1] = 0;
    return size - 2;
}

const char* lineEnding(const FileText& file) {
    const char* lf = static_cast<const char*>(std::memchr(file.data(), '\n', file.size()));
    return (lf != nullptr && lf > file.data() && lf[-1] == '\r') ? "\r\n" : "\n";
}

bool writeFile(const char* path, const Text& text) {
    if (text.failed()) return false;
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(text.data() ? text.data() : "", 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

void appendKeyLine(Text& out, const char* key, const char* value, const char* eol) {
    out.append(key);
    out.push('=');
    out.append(value);
    out.append(eol);
}

// Appends the text before `at`, making sure it ends with a line end.
void appendUpTo(Text& out, const FileText& file, size_t at, const char* eol) {
    out.append(file.data(), at);
    if (at > 0 && file.data()[at - 1] != '\n') out.append(eol);
}

void appendNewSection(Text& out, const FileText& file, const char* section, const char* eol) {
    appendUpTo(out, file, file.size(), eol);
    out.push('[');
    out.append(section);
    out.push(']');
    out.append(eol);
}

}  // namespace

uint32_t profileReadString(const char* path, const char* section, const char* key, const char* defaultValue,
                           char* out, uint32_t size) {
    if (out == nullptr || size == 0) return 0;
    std::lock_guard<std::mutex> lock(g_profileLock);
    if (section && key) {
        FileText file(path);
        const Location loc = locate(file, section, key);
        if (loc.keyFound) {
            Span v = loc.key.value;
            // A value in matching quotes is read without them.
            if (v.n >= 2 && (v.p[0] == '"' || v.p[0] == '\'') && v.p[v.n - 1] == v.p[0]) v = Span{v.p + 1, v.n - 2};
            return copyValue(v, out, size);
        }
    }
    Span d{defaultValue ? defaultValue : "", defaultValue ? std::strlen(defaultValue) : 0};
    while (d.n > 0 && d.p[d.n - 1] == ' ') --d.n;
    return copyValue(d, out, size);
}

uint32_t profileReadSection(const char* path, const char* section, char* out, uint32_t size) {
    if (out == nullptr || size == 0) return 0;
    std::lock_guard<std::mutex> lock(g_profileLock);
    Text list;
    if (section) {
        FileText file(path);
        Lines lines(file);
        Line line;
        bool inside = false;
        while (lines.next(&line)) {
            const ParsedLine p = lines.parse(line);
            if (p.kind == LineKind::section) {
                if (inside) break;
                inside = sameName(p.name, section);
            } else if (inside && p.kind == LineKind::key) {
                list.append(p.name);
                if (p.hasValue) {
                    list.push('=');
                    list.append(p.value);
                }
                list.push(0);
            }
        }
    }
    return copyList(list, out, size);
}

uint32_t profileReadSectionNames(const char* path, char* out, uint32_t size) {
    if (out == nullptr || size == 0) return 0;
    std::lock_guard<std::mutex> lock(g_profileLock);
    Text list;
    FileText file(path);
    Lines lines(file);
    Line line;
    while (lines.next(&line)) {
        const ParsedLine p = lines.parse(line);
        if (p.kind == LineKind::section) {
            list.append(p.name);
            list.push(0);
        }
    }
    return copyList(list, out, size);
}

bool profileWriteString(const char* path, const char* section, const char* key, const char* value) {
    if (path == nullptr || section == nullptr) return false;
    std::lock_guard<std::mutex> lock(g_profileLock);
    FileText file(path);
    const char* eol = lineEnding(file);
    const Location loc = locate(file, section, key);
    Text out;
    if (key == nullptr) {
        // Delete the whole section.
        if (!loc.sectionFound) return true;
        out.append(file.data(), loc.sectionStart);
        out.append(file.data() + loc.sectionEnd, file.size() - loc.sectionEnd);
    } else if (loc.keyFound) {
        // Replace (or drop) the one line; the key keeps its spelling.
        out.append(file.data(), loc.keyLine.start);
        if (value != nullptr) {
            const Line& l = loc.keyLine;
            out.append(loc.key.name);
            out.push('=');
            out.append(value);
            out.append(file.data() + l.end, l.next - l.end);
            if (l.next == l.end) out.append(eol);
        }
        out.append(file.data() + loc.keyLine.next, file.size() - loc.keyLine.next);
    } else if (value == nullptr) {
        return true;  // nothing to delete
    } else if (loc.sectionFound) {
        appendUpTo(out, file, loc.bodyEnd, eol);
        appendKeyLine(out, key, value, eol);
        out.append(file.data() + loc.bodyEnd, file.size() - loc.bodyEnd);
    } else {
        appendNewSection(out, file, section, eol);
        appendKeyLine(out, key, value, eol);
    }
    return writeFile(path, out);
}

bool profileWriteSection(const char* path, const char* section, const char* lines) {
    if (lines == nullptr) return profileWriteString(path, section, nullptr, nullptr);
    if (path == nullptr || section == nullptr) return false;
    std::lock_guard<std::mutex> lock(g_profileLock);
    FileText file(path);
    const char* eol = lineEnding(file);
    const Location loc = locate(file, section, nullptr);
    Text body;
    for (const char* l = lines; *l; l += std::strlen(l) + 1) {
        body.append(l);
        body.append(eol);
    }
    Text out;
    if (loc.sectionFound) {
        // Keep the header line, replace everything up to the next section.
        size_t headerNext = loc.sectionStart;
        while (headerNext < file.size() && file.data()[headerNext] != '\n') ++headerNext;
        if (headerNext < file.size()) ++headerNext;
        appendUpTo(out, file, headerNext, eol);
        out.append(body.data(), body.size());
        out.append(file.data() + loc.sectionEnd, file.size() - loc.sectionEnd);
    } else {
        appendNewSection(out, file, section, eol);
        out.append(body.data(), body.size());
    }
    return !body.failed() && writeFile(path, out);
}

}  // namespace tvx::platform
