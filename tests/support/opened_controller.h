// A test over one framing (the test's parameter) against a simulated
// controller opened fast, with the request log emptied so that each test
// sees only the requests it caused.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/inprocess_fixture.h"
#include "support/request_log.h"
#include "tavrix.h"

namespace tvx::testing {

class OpenedController : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override {
        ASSERT_EQ(c.open(true), 0);
        c.requests.clear();
    }
    // Request packets sent with `command` since SetUp.
    std::vector<Bytes> sent(uint16_t command) const {
        std::vector<Bytes> out;
        for (const Bytes& r : c.requests)
            if (commandOf(r) == command) out.push_back(r);
        return out;
    }
    // Runs a command line on the controller and returns its answer.
    std::string execute(const std::string& text) {
        char answer[512] = {};
        EXPECT_EQ(TVX_Execute(c.handle, (text + "\n").c_str(), 2000, answer, sizeof answer), 0) << text;
        return answer;
    }

    InProcessController c{GetParam()};
};

}  // namespace tvx::testing
