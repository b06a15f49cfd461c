// One connection to the broker (libmosquitto with its own network thread):
// a will, automatic reconnection with backoff, and publication that drops
// rather than queues while the broker is away.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <deque>
#include <string>
#include <string_view>

#include "config.h"
#include "metrics.h"

struct mosquitto;
struct mosquitto_message;

namespace tvx::gateway {

class MqttLink {
public:
    struct Handlers {
        std::function<void()> connected;                            // on every (re)connection
        std::function<void(const mosquitto_message&)> message;      // on the network thread
        bool logConnection = false;  // log losing and regaining the broker
    };

    // `willTopic` gets a retained "offline" when the connection is lost
    // without a clean disconnect.
    MqttLink(const BrokerConfig& broker, std::string clientId, std::string willTopic, Metrics& metrics);
    ~MqttLink();
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Starts connecting in the background; false only for a setup failure
    // (TLS files, out of memory), with the reason.
    bool start(Handlers handlers, std::string* error);
    // False when the broker is away or the publication failed. A
    // `droppable` message (a value) is also refused while kMaxUnsent
    // messages wait to be written: a slow broker costs values, not memory.
    bool publish(const std::string& topic, std::string_view payload, int qos, bool retain, bool droppable = false);
    static constexpr int kMaxUnsent = 2000;
    // Publishes at QoS 1 and waits for the broker's acknowledgement.
    bool publishAndWait(const std::string& topic, std::string_view payload, bool retain, uint32_t timeoutMs);
    bool subscribe(const std::string& topic, int qos);
    bool connected() const;
    // Disconnects cleanly (no will) and stops the network thread.
    void stop();

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onPublish(mosquitto*, void* self, int mid);

    const BrokerConfig& broker_;
    const std::string clientId_;
    const std::string willTopic_;
    Metrics& metrics_;
    mosquitto* mosq_ = nullptr;
    Handlers handlers_;
    bool started_ = false;

    mutable std::mutex mutex_;
    std::condition_variable acked_;
    std::deque<int> recentAcks_;  // message ids the broker acknowledged lately
    bool connected_ = false;
    std::atomic<int> unsent_{0};  // published, not yet written (QoS 0) or acknowledged
    bool everConnected_ = false;
    int lastRefusal_ = 0;
};

// Called once per process before any link, and once after the last.
void mqttInit();
void mqttCleanup();

}  // namespace tvx::gateway
