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

TEST(DescribeResult, EveryCodeHasATextTheLibraryPrefersItsOwn) {
    // The library's own codes get a text of their own (20001 means a link
    // that is not open, whatever the table says) ...
    EXPECT_STREQ(TVX_DescribeResult(TVX_ERR_NOT_OPEN), "Link is not open.");
    EXPECT_STREQ(TVX_DescribeResult(TVX_CH_NO_REPLY), "No reply from the controller within the time budget.");
    EXPECT_STREQ(TVX_DescribeResult(3422), "Modbus exception: illegal data address.");
    // ... the table's texts are used where the library has none ...
    EXPECT_STREQ(TVX_DescribeResult(277), "Controller nar file error.");
    EXPECT_STREQ(TVX_DescribeResult(0), "No error");
    EXPECT_STREQ(TVX_DescribeResult(TVX_ERR_SERIAL), "Com error.");
    // ... then the family of the code, and the controller for the rest.
    const struct {
        int32_t code;
        const char* text;
    } families[] = {
        {3202, "Cycle-upload item text error."},
        {3430, "Modbus exception reply from the controller."},
        {TVX_ERR_PCI_NO_CARD, "PCI link could not be opened."},
        {20038, "Cycle-upload error."},
        {20500, "Library error."},
        {-1, "Operating-system failure."},
        {INT_MIN, "Operating-system failure."},
        {3420, "Error reported by the controller."},
        {213, "Error reported by the controller."},
        {INT_MAX, "Error reported by the controller."},
    };
    for (const auto& f : families) EXPECT_STREQ(TVX_DescribeResult(f.code), f.text) << f.code;
    // The header's older inline name gives the same texts.
    EXPECT_EQ(tvx_describe_result(TVX_CH_MISMATCH), TVX_DescribeResult(TVX_CH_MISMATCH));
    // The exported table is unchanged by it.
    EXPECT_EQ(TVX_GetErrcodeDescription(3402), nullptr);
    EXPECT_STREQ(TVX_GetErrcodeDescription(20001), "Unknown error.");
}

TEST(DescribeResult, EveryNamedCodeOfTheTableHasATextOfItsOwnFamily) {
    // Each named code reads as what it is, never as an unknown controller
    // status: a row added without any text shows here.
    const char* controllerText = TVX_DescribeResult(INT_MAX);
    int named = 0;
#define TVX_RESULT(name, internal, code, tableText, ownText, note) \
    ++named;                                                     \
    ASSERT_NE(TVX_DescribeResult(code), nullptr) << #name;       \
    EXPECT_STRNE(TVX_DescribeResult(code), controllerText) << #name;
#include "base/result_codes.def"
    EXPECT_GT(named, 40);  // the rows were walked
}

}  // namespace
