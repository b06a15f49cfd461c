// The texts of result codes, built from the one table in
// base/result_codes.def: the classic description table (its rows only,
// NULL for any other code) and the library's text for any code.
#include <cstdint>
#include <iterator>

#include "base/result_codes.h"
#include "tavrix.h"

namespace tvx {
namespace {

// The public constants are written from the same table by a script; a hand
// edit of either side stops the build here.
#define TVX_RESULT(name, internal, code, tableText, ownText, note) \
    static_assert(TVX_##name == (code) && rc::internal == (code), #name);
#define TVX_RESULT_CONSTANT(name, internal, value, note) static_assert(TVX_##name == (value), #name);
#define TVX_RESULT_RANGE(name, first, last, text, note) \
    static_assert(TVX_##name##_FIRST == (first) && TVX_##name##_LAST == (last), #name);
#include "base/result_codes.def"

struct CodeText {
    int32_t code;
    const char* text;  // "" for none
};

// The rows of the classic table, one per code.
constexpr CodeText kTableRows[] = {
#define TVX_RESULT(name, internal, code, tableText, ownText, note) {code, tableText},
#define TVX_RESULT_STATUS(code, tableText) {code, tableText},
#include "base/result_codes.def"
};

// The library's own wording of the codes it gives.
constexpr CodeText kOwnTexts[] = {
#define TVX_RESULT(name, internal, code, tableText, ownText, note) {code, ownText},
#include "base/result_codes.def"
};

struct FamilyText {
    int64_t first, last;
    const char* text;
};

// Families in table order: the first that holds a code gives its text.
constexpr FamilyText kFamilies[] = {
#define TVX_RESULT_RANGE(name, first, last, text, note) {first, last, text},
#define TVX_RESULT_FAMILY(first, last, text) {first, last, text},
#include "base/result_codes.def"
};

constexpr const char* kDefaultText =
#define TVX_RESULT_DEFAULT(text) text
#include "base/result_codes.def"
    ;

const char* findText(const CodeText* rows, const CodeText* end, int32_t code) {
    for (; rows != end; ++rows)
        if (rows->code == code && rows->text[0] != '\0') return rows->text;
    return nullptr;
}

}  // namespace
}  // namespace tvx

extern "C" TVX_API const char* TVX_CDECL TVX_GetErrcodeDescription(int32_t code) {
    return tvx::findText(std::begin(tvx::kTableRows), std::end(tvx::kTableRows), code);
}

extern "C" TVX_API const char* TVX_STDCALL TVX_DescribeResult(int32_t code) {
    using namespace tvx;
    if (const char* own = findText(std::begin(kOwnTexts), std::end(kOwnTexts), code)) return own;
    if (const char* row = TVX_GetErrcodeDescription(code)) return row;
    for (const FamilyText& f : kFamilies)
        if (code >= f.first && code <= f.last) return f.text;
    return kDefaultText;
}
