// The fixed English descriptions of result codes. The table order matters:
// the first row whose code matches wins, and several codes share a text.
#include <cstdint>

#include "tavrix.h"

namespace tvx {
namespace {

struct Description {
    int32_t code;
    char text[256];
};

const Description kDescriptions[] = {
    {0, "No error"},
    {20001, "Unknown error."},
    {262, "Controller has error of rtc."},
    {263, "Controller has error of norflash."},
    {264, "Controller has error of sram."},
    {265, "Controller has error of nandflash."},
    {266, "Controller has error of udisk chip."},
    {267, "Controller has error of fpga."},
    {268, "Controller has error of eth."},
    {271, "Controller has error of back power."},
    {273, "Controller has error of sys file lost."},
    {274, "Controller has error sys file err."},
    {275, "Card can not connect master."},
    {276, "Controller nar file error."},
    {277, "Controller nar file error."},
    {280, "Controller bas file too many."},
    {281, "Controller can id confliction."},
    {20031, "Controller is Locked."},
    {20021, "Not Supported."},
    {210, "Over Ram Size, Need down to flash."},
    {223, "Controller is Locked."},
    {224, "Unlock too fast."},
    {20020, "Firmware and Controller mismatch."},
    {3205, "Controller not support."},
    {3204, "Controller state error."},
    {212, "Controller state error."},
    {20005, "Connect too many."},
    {20006, "Os error."},
    {20007, "Com error."},
    {20008, "Eth error."},
    {20011, "file error."},
    {20012, "file length error."},
    {20013, "File name too long."},
    {20014, "File not exist."},
    {20015, "Nlb file error."},
};

static_assert(sizeof kDescriptions / sizeof kDescriptions[0] == 35);

}  // namespace
}  // namespace tvx

extern "C" TVX_API const char* TVX_CDECL TVX_GetErrcodeDescription(int32_t code) {
    for (const tvx::Description& d : tvx::kDescriptions)
        if (d.code == code) return d.text;
    return nullptr;
}
