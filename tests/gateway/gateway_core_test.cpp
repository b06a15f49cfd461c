// The gateway's configuration reader, item texts and request decisions.
#include <gtest/gtest.h>

#include <string>

#include "config.h"
#include "items.h"
#include "requests.h"

namespace tvx::gateway {
namespace {

const char kGood[] = R"TOML([broker]
url = "mqtts://broker.plant:8884"
client_id = "gw-1"

[[controller]]
name = "press1"
address = "127.0.0.21"
watch = "VR(0,4) TICKS"
cycle_ms = 10
writable = ["VR(5)", "speed"]
exec = true

  [[controller.poll]]
  items = "VR(100) TABLE(3,2)"
  period_ms = 500

[[controller]]
name = "saw"
address = "COM3"
)TOML";

TEST(GatewayConfig, ReadsEveryKeyAndItsDefaults) {
    GatewayConfig c;
    std::string error;
    ASSERT_TRUE(parseConfig(kGood, "gw.toml", &c, &error)) << error;
    EXPECT_EQ(c.broker.host, "broker.plant");
    EXPECT_EQ(c.broker.port, 8884);
    EXPECT_TRUE(c.broker.tls);
    EXPECT_EQ(c.broker.prefix, "tavrix");
    ASSERT_EQ(c.controllers.size(), 2u);
    const ControllerConfig& p = c.controllers[0];
    ASSERT_EQ(p.columns.size(), 5u);
    EXPECT_EQ(p.columns[3].label, "VR(3)");
    EXPECT_EQ(p.columns[4].label, "TICKS");
    EXPECT_EQ(p.timeoutMs, 1000u);
    ASSERT_EQ(p.writable.size(), 2u);
    EXPECT_EQ(p.writable[1].key, "SPEED");
    ASSERT_EQ(p.polls.size(), 1u);
    EXPECT_EQ(p.polls[0].columns.size(), 3u);
    EXPECT_EQ(p.polls[0].periodMs, 500u);
    EXPECT_FALSE(c.controllers[1].exec);
    EXPECT_EQ(c.controllers[1].cycleMs, 100u);
}

// Each bad file gets one line naming the file, the line and the key.
TEST(GatewayConfig, NamesTheKeyAndLineOfEachMistake) {
    const std::string broker = "[broker]\nurl = \"mqtt://h\"\nclient_id = \"g\"\n";
    const std::string one = "[[controller]]\nname = \"p\"\naddress = \"127.0.0.21\"\n";
    struct Case {
        std::string text;
        std::string line;
    } cases[] = {
        {"[broker\n", "gw.toml:1: "},
        {one, "gw.toml:1: broker: missing"},
        {"[broker]\nurl = \"http://h\"\nclient_id = \"g\"\n" + one, "gw.toml:2: broker.url: must start with mqtt://"},
        {"[broker]\nurl = \"mqtt://h:70000\"\nclient_id = \"g\"\n" + one, "gw.toml:2: broker.url: the port"},
        {"[broker]\nurl = \"mqtt://h\"\nclient_id = \"g/1\"\n" + one, "gw.toml:3: broker.client_id:"},
        {"[broker]\nurl = \"mqtt://h\"\nclient_id = \"g\"\nprefix = \"a/#\"\n" + one, "gw.toml:4: broker.prefix:"},
        {"[broker]\nurl = \"mqtt://h\"\nclient_id = \"g\"\npassword_file = \"/nonexistent\"\n" + one,
         "gw.toml:4: broker.password_file: needs broker.username"},
        {broker, "controller: at least one"},
        {broker + one + "cycle_ms = \"10\"\n", "gw.toml:7: controller[1].cycle_ms: must be a whole number"},
        {broker + one + "cycle_ms = 10\ntimeout_ms = 30\n", "gw.toml:8: controller[1].timeout_ms: must be 200"},
        {broker + one + "watch = \"VR(0,65)\"\n", "gw.toml:7: controller[1].watch: VR needs (FIRST)"},
        {broker + one + "writable = [\"VR(x)\"]\n", "gw.toml:7: controller[1].writable: each item"},
        {broker + one + "exec = 1\n", "gw.toml:7: controller[1].exec: must be true or false"},
        {broker + one + "exce = true\n", "gw.toml:7: controller[1].exce: unknown key"},
        {broker + "[[controller]]\nname = \"p\"\naddress = \"127.0.0.300\"\n", "gw.toml:6: controller[1].address:"},
        {broker + "[[controller]]\nname = \"gateway\"\naddress = \"COM1\"\n", "gw.toml:5: controller[1].name:"},
        {broker + one + one, "gw.toml:8: controller[2].name: 'p' is used twice"},
        {broker + one + "[[controller.poll]]\nitems = \"A\"\nperiod_ms = 1\n",
         "gw.toml:9: controller[1].poll[1].period_ms: must be 10"},
    };
    for (const Case& c : cases) {
        GatewayConfig config;
        std::string error;
        EXPECT_FALSE(parseConfig(c.text, "gw.toml", &config, &error)) << c.text;
        EXPECT_NE(error.find(c.line), std::string::npos) << "got: " << error << "\nwanted: " << c.line;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(GatewayItems, ColumnsAndTargets) {
    std::vector<Column> columns;
    std::string why;
    size_t items = 0;
    ASSERT_TRUE(parseColumns("DPOS(0,2), IN ( 4 ) TICKS", &columns, &why, &items)) << why;
    EXPECT_EQ(items, 3u);
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[1].label, "DPOS(1)");
    EXPECT_EQ(columns[2].label, "IN(4)");
    EXPECT_FALSE(columns[3].indexed);
    for (const char* bad : {"", "  ", "1VR", "VR(1", "VR(1,0)", "VR(4294967295,2)", "VR(-1)"}) {
        columns.clear();
        EXPECT_FALSE(parseColumns(bad, &columns, &why)) << bad;
    }

    Target t;
    ASSERT_TRUE(parseTarget("vr(05)", &t));
    EXPECT_EQ(t.key, "VR(5)");
    EXPECT_TRUE(t.element);
    for (const char* bad : {"", "VR()", "VR(5", "VR(5)x", "VR (5)", "VR(2147483648)", "A-B", "VR(+5)", "VR(5)/x"})
        EXPECT_FALSE(parseTarget(bad, &t)) << bad;

    double v = 0;
    EXPECT_TRUE(parseNumberPayload(" -2.5e1\n", &v));
    EXPECT_EQ(v, -25);
    for (const char* bad : {"", "abc", "nan", "inf", "0x10", "1 2", "1e999", "1,5"})
        EXPECT_FALSE(parseNumberPayload(bad, &v)) << bad;

    EXPECT_EQ(jsonNumber(812), "812");
    EXPECT_EQ(jsonNumber(-1.5), "-1.5");
    EXPECT_EQ(jsonNumber(0.0 / 0.0), "null");
}

class GatewayRequests : public ::testing::Test {
protected:
    GatewayRequests() {
        c.name = "press1";
        parseTarget("VR(5)", &w);
        c.writable = {w};
    }
    Verdict judge(const std::string& topic, const std::string& payload, bool retained = false) {
        return judgeRequest(c, "tavrix/press1", topic, payload, retained, kNow, 3000);
    }
    static constexpr int64_t kNow = 1800000000000;
    ControllerConfig c;
    Target w;
};

TEST_F(GatewayRequests, RefusesWhatIsNotAllowedBeforeLookingFurther) {
    struct Case {
        const char* topic;
        std::string payload;
        bool retained;
        int32_t code;
    } cases[] = {
        {"tavrix/press1/set/VR(5)", "2.5", false, 0},
        {"tavrix/press1/set/vr(5)", "2.5", false, 0},
        {"tavrix/press1/set/VR(6)", "2.5", false, kRefusedNotWritable},
        {"tavrix/press1/set/VR(5)/x", "2.5", false, kRefusedNotWritable},
        {"tavrix/press1/set/VR(6)", "junk", false, kRefusedNotWritable},
        {"tavrix/press1/set/VR(5)", "junk", false, kRefusedBadPayload},
        {"tavrix/press1/set/VR(5)", "{\"value\": 1", false, kRefusedBadPayload},
        {"tavrix/press1/set/VR(5)", "{\"value\": \"1\"}", false, kRefusedBadPayload},
        {"tavrix/press1/set/VR(5)", "2.5", true, kRefusedTooOld},
        {"tavrix/press1/set/VR(5)", "{\"value\": 1, \"t\": " + std::to_string(kNow - 5000) + "}", false, kRefusedTooOld},
        {"tavrix/press1/set/VR(5)", "{\"value\": 1, \"t\": " + std::to_string(kNow - 1000) + "}", false, 0},
        {"tavrix/press1/exec", "?1", false, kRefusedExecOff},
        {"tavrix/press1/values", "1", false, kRefusedUnknownTopic},
    };
    for (const Case& k : cases) {
        const Verdict v = judge(k.topic, k.payload, k.retained);
        EXPECT_EQ(v.code, k.code) << k.topic << " " << k.payload << ": " << v.text;
        EXPECT_FALSE(v.text.empty() && v.code != 0);
    }
    const Verdict v = judge("tavrix/press1/set/VR(5)", "{\"value\": 1.25}");
    EXPECT_EQ(v.request.value, 1.25);
    EXPECT_EQ(v.request.target.key, "VR(5)");
}

TEST_F(GatewayRequests, ExecTakesOneCommandLineWhenOn) {
    c.exec = true;
    Verdict v = judge("tavrix/press1/exec", "PRINT 1\n");
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.request.command, "PRINT 1");
    EXPECT_EQ(judge("tavrix/press1/exec", "{\"command\": \"?2\"}").request.command, "?2");
    for (std::string bad : {std::string(), std::string("A=1\nB=2"), std::string("A\x01"), std::string(2001, 'a')})
        EXPECT_EQ(judge("tavrix/press1/exec", bad).code, kRefusedBadPayload) << bad.substr(0, 10);
}

TEST(GatewayResults, ReplyIsJsonEvenForRawControllerText) {
    const std::string j = resultJson("t/\"x\"", 30001, "no", std::string("\xff\n", 2));
    EXPECT_EQ(j.find('\n'), std::string::npos);
    EXPECT_NE(j.find("\"topic\":\"t/\\\"x\\\"\""), std::string::npos) << j;
    EXPECT_TRUE(answerReportsError("1\nERROR 2: unknown word X\n"));
    EXPECT_FALSE(answerReportsError("NO ERROR 2"));
}

}  // namespace
}  // namespace tvx::gateway
