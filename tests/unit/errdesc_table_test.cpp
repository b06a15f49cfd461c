#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "tavrix.h"

namespace {

struct Row {
    int32_t code;
    const char* text;
};

// The complete table, in its order.
const Row kTable[] = {
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

TEST(ErrcodeDescription, EveryRowHasItsExactText) {
    for (const Row& r : kTable) {
        const char* text = TVX_GetErrcodeDescription(r.code);
        ASSERT_NE(text, nullptr) << r.code;
        EXPECT_STREQ(text, r.text) << r.code;
        EXPECT_EQ(TVX_GetErrcodeDescription(r.code), text) << "static text";
    }
    EXPECT_STREQ(TVX_GetErrcodeDescription(0), "No error");  // without a full stop
    EXPECT_STREQ(TVX_GetErrcodeDescription(3204), TVX_GetErrcodeDescription(212));
    EXPECT_STREQ(TVX_GetErrcodeDescription(20031), TVX_GetErrcodeDescription(223));
}

TEST(ErrcodeDescription, CodesWithoutARowGiveNull) {
    int rowless = 0;
    for (int32_t code = -5; code <= 21000; ++code) {
        bool inTable = false;
        for (const Row& r : kTable) inTable = inTable || r.code == code;
        if (inTable) continue;
        ++rowless;
        EXPECT_EQ(TVX_GetErrcodeDescription(code), nullptr) << code;
    }
    EXPECT_GT(rowless, 20000);
    for (int32_t code : {INT_MIN, -1, 3402, 3401, 3421, 20002, 20009, 20030, 20100, INT_MAX})
        EXPECT_EQ(TVX_GetErrcodeDescription(code), nullptr) << code;
}

TEST(ErrcodeDescription, HumanTextsCoverEveryCodeTheLibraryProduces) {
    // The library's own codes get a text of their own (20001 means a link
    // that is not open, whatever the table says) ...
    EXPECT_STREQ(tvx_describe_result(TVX_ERR_NOT_OPEN), "Link is not open.");
    EXPECT_STREQ(tvx_describe_result(TVX_CH_NO_REPLY), "No reply from the controller within the time budget.");
    EXPECT_STREQ(tvx_describe_result(3422), "Modbus exception: illegal data address.");
    EXPECT_STREQ(tvx_describe_result(3430), "Modbus exception reply from the controller.");
    // ... the table's texts are used where the library has none ...
    EXPECT_STREQ(tvx_describe_result(277), "Controller nar file error.");
    EXPECT_STREQ(tvx_describe_result(0), "No error");
    // ... and every other code still gets a text.
    for (int32_t code : {3201, 3205, 3206, 3212, 3401, 3402, 3403, 3404, 3405, 3407, 3421, 3675, 20002, 20003,
                         20009, 20010, 20016, 20018, 20024, 20030, 20035, 20038, 20100, 20500, 213, 999999, -1,
                         INT_MIN, INT_MAX}) {
        const char* text = tvx_describe_result(code);
        ASSERT_NE(text, nullptr) << code;
        EXPECT_GT(std::strlen(text), 5u) << code;
    }
    // The exported table is unchanged by it.
    EXPECT_EQ(TVX_GetErrcodeDescription(3402), nullptr);
    EXPECT_STREQ(TVX_GetErrcodeDescription(20001), "Unknown error.");
}

}  // namespace
