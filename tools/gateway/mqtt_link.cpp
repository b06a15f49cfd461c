#include "mqtt_link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mosquitto.h>

namespace tvx::gateway {

void mqttInit() { mosquitto_lib_init(); }
void mqttCleanup() { mosquitto_lib_cleanup(); }

MqttLink::MqttLink(const BrokerConfig& broker, std::string clientId, std::string willTopic, Metrics& metrics)
    : broker_(broker), clientId_(std::move(clientId)), willTopic_(std::move(willTopic)), metrics_(metrics) {}

MqttLink::~MqttLink() {
    stop();
    if (mosq_) mosquitto_destroy(mosq_);
}

bool MqttLink::start(Handlers handlers, std::string* error) {
    handlers_ = std::move(handlers);
    // A clean session: the broker keeps nothing for us while we are away,
    // so no stale request is delivered after a reconnection.
    mosq_ = mosquitto_new(clientId_.c_str(), true, this);
    if (!mosq_) {
        *error = "cannot create a broker client";
        return false;
    }
    if (!broker_.username.empty())
        mosquitto_username_pw_set(mosq_, broker_.username.c_str(),
                                  broker_.password.empty() ? nullptr : broker_.password.c_str());
    if (broker_.tls) {
        const char* caFile = broker_.caFile.empty() ? nullptr : broker_.caFile.c_str();
        const char* caPath = caFile ? nullptr : "/etc/ssl/certs";
        const int rc = mosquitto_tls_set(mosq_, caFile, caPath, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = std::string("TLS setup: ") + mosquitto_strerror(rc);
            return false;
        }
    }
    static const char kOffline[] = "offline";
    mosquitto_will_set(mosq_, willTopic_.c_str(), sizeof kOffline - 1, kOffline, 1, true);
    mosquitto_connect_callback_set(mosq_, onConnect);
    mosquitto_disconnect_callback_set(mosq_, onDisconnect);
    mosquitto_message_callback_set(mosq_, onMessage);
    mosquitto_publish_callback_set(mosq_, onPublish);
    // 1 s, then 2 s between attempts: a restarted broker is found again
    // within a few seconds without hammering one that stays away.
    mosquitto_reconnect_delay_set(mosq_, 1, 2, true);
    // A broker that is down now is not an error: the network thread keeps
    // trying until it answers.
    mosquitto_connect_async(mosq_, broker_.host.c_str(), broker_.port, static_cast<int>(broker_.keepaliveS));
    const int rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = std::string("broker client thread: ") + mosquitto_strerror(rc);
        return false;
    }
    started_ = true;
    return true;
}

bool MqttLink::connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

bool MqttLink::publish(const std::string& topic, std::string_view payload, int qos, bool retain, bool droppable) {
    if (!mosq_ || !connected()) return false;
    if (droppable && unsent_.load(std::memory_order_relaxed) >= kMaxUnsent) return false;
    const int rc = mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                                     qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) return false;
    unsent_.fetch_add(1, std::memory_order_relaxed);
    metrics_.messagesOut.fetch_add(1, std::memory_order_relaxed);
    return true;
}

bool MqttLink::publishAndWait(const std::string& topic, std::string_view payload, bool retain, uint32_t timeoutMs) {
    if (!mosq_ || !connected()) return false;
    int mid = 0;
    const int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                                     retain);
    if (rc != MOSQ_ERR_SUCCESS) return false;
    unsent_.fetch_add(1, std::memory_order_relaxed);
    metrics_.messagesOut.fetch_add(1, std::memory_order_relaxed);
    // The acknowledgement may come before this wait starts: the recent
    // acknowledgements are kept for a while.
    std::unique_lock lock(mutex_);
    auto seen = [&] { return std::find(recentAcks_.begin(), recentAcks_.end(), mid) != recentAcks_.end(); };
    return acked_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return seen() || !connected_; }) &&
           seen();
}

bool MqttLink::subscribe(const std::string& topic, int qos) {
    return mosq_ && mosquitto_subscribe(mosq_, nullptr, topic.c_str(), qos) == MOSQ_ERR_SUCCESS;
}

void MqttLink::stop() {
    if (!started_) return;
    started_ = false;
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    std::lock_guard lock(mutex_);
    connected_ = false;
}

void MqttLink::onConnect(mosquitto*, void* self, int rc) {
    auto* link = static_cast<MqttLink*>(self);
    if (rc != 0) {
        // Refused by the broker (bad credentials, unknown client): said
        // once per kind of refusal, the network thread keeps trying.
        std::unique_lock lock(link->mutex_);
        if (link->lastRefusal_ != rc) {
            link->lastRefusal_ = rc;
            std::fprintf(stderr, "tavrix-gateway: %s: broker refused the connection: %s\n", link->clientId_.c_str(),
                         mosquitto_connack_string(rc));
        }
        return;
    }
    {
        std::lock_guard lock(link->mutex_);
        link->connected_ = true;
        link->lastRefusal_ = 0;
        // What waited on the lost connection was discarded with it.
        link->unsent_.store(0, std::memory_order_relaxed);
        if (link->everConnected_) link->metrics_.reconnects.fetch_add(1, std::memory_order_relaxed);
        link->everConnected_ = true;
    }
    if (link->handlers_.logConnection)
        std::fprintf(stderr, "tavrix-gateway: connected to the broker %s:%u\n", link->broker_.host.c_str(),
                     link->broker_.port);
    if (link->handlers_.connected) link->handlers_.connected();
}

void MqttLink::onDisconnect(mosquitto*, void* self, int rc) {
    auto* link = static_cast<MqttLink*>(self);
    // rc 0: our own disconnect at the end.
    if (rc != 0 && link->handlers_.logConnection)
        std::fprintf(stderr, "tavrix-gateway: lost the broker (%s); reconnecting\n", mosquitto_strerror(rc));
    std::lock_guard lock(link->mutex_);
    link->connected_ = false;
    link->acked_.notify_all();
}

void MqttLink::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* link = static_cast<MqttLink*>(self);
    if (link->handlers_.message) link->handlers_.message(*message);
}

void MqttLink::onPublish(mosquitto*, void* self, int mid) {
    auto* link = static_cast<MqttLink*>(self);
    if (link->unsent_.fetch_sub(1, std::memory_order_relaxed) <= 0) link->unsent_.store(0, std::memory_order_relaxed);
    std::lock_guard lock(link->mutex_);
    link->recentAcks_.push_back(mid);
    if (link->recentAcks_.size() > 256) link->recentAcks_.pop_front();
    link->acked_.notify_all();
}

}  // namespace tvx::gateway
