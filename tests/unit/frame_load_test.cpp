// Library load order, debug output and version text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/result_codes.h"
#include "base/debug_output.h"
#include "frame/library_frame.h"
#include "base/archive_cipher.h"
#include "platform/platform.h"
#include "tavrix.h"

namespace tvx {
namespace {

// Shows debugger output (standard error when TAVRIX_DEBUG is set) to the
// test for the lifetime of the object.
class CapturedDebugOutput {
public:
    CapturedDebugOutput() {
        setenv("TAVRIX_DEBUG", "1", 1);
        ::testing::internal::CaptureStderr();
    }
    ~CapturedDebugOutput() {
        if (!taken_) ::testing::internal::GetCapturedStderr();
        unsetenv("TAVRIX_DEBUG");
        initDebugOutput();
    }
    std::string take() {
        taken_ = true;
        return ::testing::internal::GetCapturedStderr();
    }

private:
    bool taken_ = false;
};

TEST(LibraryFrame, LoadWritesExactlyOneDebugLineAndKeysTheCipher) {
    CapturedDebugOutput capture;
    EXPECT_EQ(libraryLoad(), rc::ok);
    EXPECT_EQ(capture.take(), "DebugSwitch to 2!\r\n");
    EXPECT_EQ(debugLevel(), 2);
    EXPECT_EQ(libraryLoadResult(), rc::ok);
    EXPECT_TRUE(archiveCipherReady());
}

TEST(LibraryFrame, BadCipherKeyRefusesTheLoad) {
    CapturedDebugOutput capture;
    testing::overrideCipherKeyText("0123zz");
    const int32_t result = libraryLoad();
    testing::overrideCipherKeyText(nullptr);
    const std::string out = capture.take();
    EXPECT_EQ(result, rc::cipherKey);
    EXPECT_EQ(libraryLoadResult(), rc::cipherKey);
    EXPECT_NE(out.find("Nsecure init error."), std::string::npos) << out;
    // A refused library opens nothing.
    TVX_HANDLE h = nullptr;
    EXPECT_EQ(TVX_Open(TVX_LINK_ETHERNET, "127.0.0.1", &h), rc::cipherKey);
    EXPECT_EQ(h, nullptr);
    // A good key text loads again and clears the recorded failure.
    EXPECT_EQ(libraryLoad(), rc::ok);
    EXPECT_EQ(libraryLoadResult(), rc::ok);
}

TEST(LibraryFrame, DebugLevelRules) {
    CapturedDebugOutput capture;
    initDebugOutput();
    EXPECT_EQ(setDebugLevel(0), rc::ok);   // announced at level 3
    debugPrint("silent %d\n", 1);          // level 0: nothing
    EXPECT_EQ(setDebugLevel(5), rc::ok);   // current level 0: stored, not announced
    EXPECT_EQ(setDebugLevel(1), rc::debugLevelState);  // current level above 3
    EXPECT_EQ(debugLevel(), 5);
    debugPrint("loud\n");
    EXPECT_EQ(capture.take(), "DebugSwitch to 0!\r\nloud\n");
}

TEST(LibraryFrame, DebugLinesAreCutTo127Characters) {
    CapturedDebugOutput capture;
    initDebugOutput();
    const std::string longText(300, 'x');
    debugPrint("%s", longText.c_str());
    EXPECT_EQ(capture.take(), std::string(kDebugLineChars, 'x'));
}

TEST(LibraryFrame, ConcurrentDebugLinesStayWhole) {
    CapturedDebugOutput capture;
    initDebugOutput();
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string body(60 + t * 10, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) debugPrint("%d:%s\n", t, body.c_str());
        });
    }
    for (auto& th : threads) th.join();
    std::istringstream lines(capture.take());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ASSERT_GE(line.size(), 2u);
        const int t = line[0] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(line, std::to_string(t) + ":" + std::string(60 + t * 10, static_cast<char>('a' + t)));
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST(LibraryFrame, VersionText) {
    char text[16];
    formatFileVersion((1u << 16) | 2u, (300u << 16) | 4u, text);
    EXPECT_STREQ(text, "1.2.44.4");
    formatFileVersion(0xFFFFFFFFu, 0xFFFFFFFFu, text);
    EXPECT_STREQ(text, "255.255.255.255");

    EXPECT_EQ(TVX_GetDllVersion(nullptr), TVX_ERR_BAD_ARGUMENT);
    uint32_t most = 0;
    uint32_t least = 0;
    ASSERT_TRUE(platform::moduleFileVersion(&most, &least));
    char expected[16];
    formatFileVersion(most, least, expected);
    char out[16];
    ASSERT_EQ(TVX_GetDllVersion(out), 0);
    EXPECT_STREQ(out, expected);
    unsigned parts[4];
    char tail = 0;
    EXPECT_EQ(std::sscanf(out, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail), 4) << out;
}

}  // namespace
}  // namespace tvx
