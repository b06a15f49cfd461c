// The subscriber of the gateway benchmark: takes PREFIX/+/values for a
// window of time and reports the messages per second, the blocks missing
// from each controller's sequence, and the latency from the gateway's time
// stamp to arrival here (both clocks are this machine's).
// Usage: gateway_bench_subscriber HOST PORT WARMUP_S WINDOW_S
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::system_clock;

struct State {
    std::mutex mutex;
    bool measuring = false;
    uint64_t messages = 0;
    uint64_t missing = 0;
    uint64_t malformed = 0;
    std::map<std::string, uint64_t> lastSeq;
    std::vector<double> latencies;
};

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// The integer after "KEY": in the payload, or -1.
int64_t field(const std::string& text, const char* key) {
    const size_t at = text.find(key);
    if (at == std::string::npos) return -1;
    return std::strtoll(text.c_str() + at + std::char_traits<char>::length(key), nullptr, 10);
}

void onMessage(mosquitto*, void* user, const mosquitto_message* m) {
    const int64_t arrivedUs = nowUs();
    auto* s = static_cast<State*>(user);
    const std::string text(static_cast<const char*>(m->payload), static_cast<size_t>(m->payloadlen));
    const int64_t t = field(text, "\"t\":");
    const int64_t seq = field(text, "\"seq\":");
    std::lock_guard lock(s->mutex);
    if (t < 0 || seq < 0) {
        ++s->malformed;
        return;
    }
    uint64_t& last = s->lastSeq[m->topic];
    if (s->measuring) {
        ++s->messages;
        if (last != 0 && static_cast<uint64_t>(seq) > last + 1) s->missing += static_cast<uint64_t>(seq) - last - 1;
        s->latencies.push_back(static_cast<double>(arrivedUs - t * 1000) / 1000.0);
    }
    last = static_cast<uint64_t>(seq);
}

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    const size_t k = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s HOST PORT WARMUP_S WINDOW_S\n", argv[0]);
        return 2;
    }
    const int port = std::atoi(argv[2]);
    const double warmup = std::atof(argv[3]), window = std::atof(argv[4]);
    mosquitto_lib_init();
    State s;
    mosquitto* m = mosquitto_new("bench-subscriber", true, &s);
    mosquitto_message_callback_set(m, onMessage);
    if (mosquitto_connect(m, argv[1], port, 30) != MOSQ_ERR_SUCCESS ||
        mosquitto_subscribe(m, nullptr, "tavrix/+/values", 0) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "bench subscriber: cannot reach the broker\n");
        return 1;
    }
    mosquitto_loop_start(m);
    std::this_thread::sleep_for(std::chrono::duration<double>(warmup));
    {
        std::lock_guard lock(s.mutex);
        s.measuring = true;
    }
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(window));
    std::lock_guard lock(s.mutex);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.measuring = false;
    std::vector<double> l = s.latencies;
    const double p50 = percentile(l, 0.50), p99 = percentile(l, 0.99);
    const double max = l.empty() ? 0 : *std::max_element(l.begin(), l.end());
    std::printf("controllers_seen %zu\nmessages %llu\nmessages_per_s %.0f\nmissing_blocks %llu\nmalformed %llu\n"
                "latency_p50_ms %.1f\nlatency_p99_ms %.1f\nlatency_max_ms %.1f\n",
                s.lastSeq.size(), static_cast<unsigned long long>(s.messages), static_cast<double>(s.messages) / took,
                static_cast<unsigned long long>(s.missing), static_cast<unsigned long long>(s.malformed), p50, p99,
                max);
    std::fflush(stdout);
    std::_Exit(0);  // the network thread needs no orderly end here
}
