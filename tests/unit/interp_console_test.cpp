#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpreter/console.h"

namespace tvx::sim::interp {
namespace {

bool send(Console& c, const std::string& text, uint32_t now = 0) {
    return c.append(reinterpret_cast<const uint8_t*>(text.data()), text.size(), now);
}

struct Piece {
    uint8_t state;
    std::string text;
};

// Polls until the state byte is not 0, as one answer collection does.
std::vector<Piece> collect(Console& c, uint32_t now = 0, size_t room = 2000) {
    std::vector<Piece> pieces;
    do {
        Piece p;
        p.state = c.nextPiece(now, room, p.text);
        pieces.push_back(p);
    } while (pieces.back().state == kStateMore && pieces.size() < 100);
    return pieces;
}

TEST(InterpConsole, LinesRunWhenTheirTerminatorArrives) {
    Console c;
    ASSERT_TRUE(send(c, "?1+"));
    auto pieces = collect(c);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].state, kStateDown);  // an unfinished line is no running command
    EXPECT_EQ(pieces[0].text, "");
    ASSERT_TRUE(send(c, std::string("1", 1) + '\0'));
    pieces = collect(c);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].state, kStateDown);
    EXPECT_EQ(pieces[0].text, "2\n");
    // Line feeds, carriage returns and 0 bytes all end a line; empty lines
    // are ignored.
    ASSERT_TRUE(send(c, "?3\r\n?4\n\n?5"));
    ASSERT_TRUE(send(c, std::string(1, '\0')));
    EXPECT_EQ(collect(c)[0].text, "3\n4\n5\n");
}

TEST(InterpConsole, AnswersComeInPiecesWithTheirState) {
    Console c;
    c.settings().pieceBytes = 4;
    ASSERT_TRUE(send(c, "PRINT \"abcdefghij\"\n"));  // 11 characters with the line feed
    const auto pieces = collect(c);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].state, kStateMore);
    EXPECT_EQ(pieces[0].text, "abcd");
    EXPECT_EQ(pieces[1].state, kStateMore);
    EXPECT_EQ(pieces[1].text, "efgh");
    EXPECT_EQ(pieces[2].state, kStateDown);
    EXPECT_EQ(pieces[2].text, "ij\n");
    // The room of the reply bounds a piece as well.
    ASSERT_TRUE(send(c, "?123456\n"));
    std::string text;
    EXPECT_EQ(c.nextPiece(0, 2, text), kStateMore);
    EXPECT_EQ(text, "12");
}

TEST(InterpConsole, FreeSpaceShrinksOnlyWhileACommandRuns) {
    Console c;
    c.settings().bufferCapacity = 10;
    c.settings().commandDelayMs = 100;
    EXPECT_EQ(c.freeSpace(0), 10);
    ASSERT_TRUE(send(c, "VR(0)=1\n", 0));     // runs at once, takes 100 ms
    EXPECT_EQ(c.freeSpace(0), 10);
    ASSERT_TRUE(send(c, "VR(0)=2\n", 10));    // waits in the buffer
    EXPECT_EQ(c.freeSpace(10), 2);
    EXPECT_FALSE(send(c, "?VR", 10));         // does not fit
    EXPECT_EQ(c.interpreter().variables().vr()[0], 1.0);
    std::string text;
    EXPECT_EQ(c.nextPiece(50, 100, text), kStateRunning);
    EXPECT_EQ(c.nextPiece(100, 100, text), kStateRunning);  // the second command started at 100
    EXPECT_EQ(c.interpreter().variables().vr()[0], 2.0);
    EXPECT_EQ(c.freeSpace(100), 10);
    EXPECT_EQ(c.nextPiece(200, 100, text), kStateDown);
    // The tick may wrap while a command runs.
    ASSERT_TRUE(send(c, "?1\n", 0xFFFFFFF0u));
    EXPECT_EQ(c.nextPiece(0xFFFFFFF0u, 100, text), kStateRunning);
    EXPECT_EQ(text, "1\n");
    EXPECT_EQ(c.nextPiece(0x40, 100, text), kStateRunning);
    EXPECT_EQ(c.nextPiece(0x54, 100, text), kStateDown);
}

TEST(InterpConsole, ZeroCapacityNeverTakesText) {
    Console c;
    c.settings().bufferCapacity = 0;
    EXPECT_EQ(c.freeSpace(0), 0);
    EXPECT_FALSE(send(c, "?1\n"));
}

TEST(InterpConsole, DirectCommandsRunAtOnceAndReportTheFirstError) {
    Console c;
    c.settings().commandDelayMs = 1000;
    ASSERT_TRUE(send(c, "VR(1)=1\n", 0));
    std::string answer;
    const std::string text = std::string("?VR(1)\n?2") + '\0' + "?ignored";
    EXPECT_EQ(c.direct(reinterpret_cast<const uint8_t*>(text.data()), text.size(), answer), ErrorKind::none);
    EXPECT_EQ(answer, "1\n2\n");
    answer.clear();
    const std::string bad = "?nothing\n?3";
    EXPECT_EQ(c.direct(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), answer), ErrorKind::unknownWord);
    EXPECT_EQ(answer, "ERROR 2: unknown word nothing\n3\n");
    EXPECT_EQ(directStatus(ErrorKind::unknownWord), 2002);
}

TEST(InterpConsole, OverlongLinesAndUnfetchedAnswersStayBounded) {
    Console c;
    c.settings().bufferCapacity = 4096;
    ASSERT_TRUE(send(c, std::string(3000, '1')));
    ASSERT_TRUE(send(c, "\n"));
    EXPECT_EQ(collect(c)[0].text.rfind("ERROR 9:", 0), 0u);
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(send(c, "PRINT \"" + std::string(300, 'x') + "\"\n"));
    EXPECT_EQ(c.pendingAnswer(), kMaxPendingAnswer);
}

}  // namespace
}  // namespace tvx::sim::interp
