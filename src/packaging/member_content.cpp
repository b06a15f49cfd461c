#include "packaging/member_content.h"

#include <cstring>
#include <initializer_list>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/byte_transforms.h"
#include "packaging/library_file.h"
#include "packaging/path_text.h"
#include "packaging/picture_record.h"
#include "packaging/plc_section.h"
#include "packaging/project_record.h"
#include "packaging/source_hashes.h"
#include "base/whole_file.h"

namespace tvx {
namespace {

bool anyOf(const char* path, std::initializer_list<const char*> extensions) {
    for (const char* e : extensions)
        if (endsWithNoCase(path, e)) return true;
    return false;
}

bool isPictureExtension(const char* path) { return anyOf(path, {".jpg", ".jpe", ".jpeg", ".bmp", ".gif"}); }

}  // namespace

// Extensions are tested on the file's own name, which must be longer than
// the extension: a file named ".bas" is no BASIC program.
bool memberExtensionAllowed(uint8_t type, const char* path) {
    path = fileNameOf(path);
    switch (type) {
        case file_type::basic: return endsWithNoCase(path, ".bas");
        case file_type::basicLibrary:
        case file_type::plcLibrary: return endsWithNoCase(path, ".nlb");
        case file_type::plc: return endsWithNoCase(path, ".plc");
        case file_type::hmi: return endsWithNoCase(path, ".hmi");
        case file_type::cnc: return anyOf(path, {".nc", ".cnc", ".g"});
        case file_type::font: return endsWithNoCase(path, ".nft");
        case file_type::trueTypeFont: return endsWithNoCase(path, ".ttf");
        default: return isPictureType(type) ? isPictureExtension(path) : true;
    }
}

bool realRecordExtensionAllowed(uint8_t type, const char* path) {
    path = fileNameOf(path);
    switch (type) {
        case file_type::basic: return endsWithNoCase(path, ".bas");
        case file_type::basicLibrary:
        case file_type::plcLibrary: return endsWithNoCase(path, ".nlb");
        case file_type::plc: return endsWithNoCase(path, ".plc");
        case file_type::font: return endsWithNoCase(path, ".nft");
        default: return isPictureType(type) ? isPictureExtension(path) : true;
    }
}

int32_t prepareMember(uint8_t type, const char* path, MemberContent* out) {
    MemberContent m;
    if (type == file_type::basic) {
        const int32_t r = readWholeFile(path, &m.content);
        if (r != rc::ok) return r;
        m.content.shrink(compactBasicText(m.content.data(), m.content.size()));
        m.hash = sourceHash(m.content.data(), m.content.size());
    } else if (type == file_type::basicLibrary || type == file_type::plcLibrary) {
        ByteBuffer plain;
        uint8_t kind = 0;
        const int32_t r = readLibraryFile(path, &plain, &kind);
        if (r != rc::ok) return r;
        // Everything after the header goes in, padding included.
        const size_t length = plain.size() - kLibraryHeaderBytes;
        if (!m.content.allocate(length)) return rc::osError;
        std::memcpy(m.content.data(), plain.data() + kLibraryHeaderBytes, length);
        m.hash = getU32(plain.data() + 8);
    } else if (type == file_type::plc) {
        PlcSection section;
        const int32_t r = extractPlcSection(path, &section);
        if (r != rc::ok) return r;
        m.content = std::move(section.content);
        m.hash = section.hash;
    } else if (isPictureType(type)) {
        const int32_t r = convertPicture(path, &m.content);
        if (r != rc::ok) return r;
        m.hash = stringHash(m.content.data(), m.content.size());
    } else {
        const int32_t r = readWholeFile(path, &m.content);
        if (r != rc::ok) return r;
        // HMI files are kept mirrored on disk; the controller takes them plain.
        if (type == file_type::hmi) byteMirror(m.content.data(), m.content.size());
        m.hash = stringHash(m.content.data(), m.content.size());
    }
    *out = std::move(m);
    return rc::ok;
}

}  // namespace tvx
