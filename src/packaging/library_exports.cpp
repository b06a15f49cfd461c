// The library-file exports: make a library, ask its kind, list its globals.
#include <cstdio>

#include "base/debug_output.h"
#include "base/result_codes.h"
#include "packaging/library_file.h"
#include "tavrix.h"

using namespace tvx;

namespace {

int32_t writeImage(const char* path, const ByteBuffer& image) {
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return rc::fileNotFound;  // the output cannot be created (a directory included)
    const bool whole = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    const bool closed = std::fclose(f) == 0;
    return whole && closed ? rc::ok : rc::osError;
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_MakeNlib(const char* sourcePath, const char* libraryPath) {
    if (sourcePath == nullptr || libraryPath == nullptr)
        return refuse(rc::badArgument, "sourcePath or libraryPath is NULL");
    // The whole image is built before the file is created: a failure leaves
    // no partial library behind.
    ByteBuffer image;
    const int32_t r = makeLibraryImage(sourcePath, &image);
    if (r != rc::ok) return r;
    return writeImage(libraryPath, image);
}

TVX_API int32_t TVX_STDCALL TVX_GetNlibFileType(const char* libraryPath, int32_t* typeOut) {
    if (typeOut == nullptr) return refuse(rc::badArgument, "typeOut is NULL");
    uint8_t type = 0;
    const int32_t r = libraryFileType(libraryPath, &type);
    if (r == rc::ok) *typeOut = type;
    return r;
}

TVX_API int32_t TVX_STDCALL TVX_GetNlibGlobalDefine(const char* libraryPath, char* textOut, uint32_t textSize) {
    if (textOut == nullptr) return refuse(rc::badArgument, "textOut is NULL");
    ByteBuffer plain;
    uint8_t type = 0;
    const int32_t r = readLibraryFile(libraryPath, &plain, &type);
    if (r != rc::ok) return r;
    libraryGlobals(plain, type, textOut, textSize);
    return rc::ok;
}

}  // extern "C"
