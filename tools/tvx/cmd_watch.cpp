// tvx watch: live values pushed by the controller (cycle upload), as a
// table updated in place, optionally logged to CSV and drawn as a chart.
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "args.h"
#include "common/item_columns.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"
#include "terminal.h"
#include "watch_plot.h"

namespace tvx::tool {
namespace {

constexpr uint64_t kMaxCycleMs = 60000;
constexpr uint64_t kMaxBufferNumber = 255;
constexpr double kStaleCycles = 3;     // missed cycles before the values count as stale
constexpr double kMinStaleMs = 300;
constexpr uint32_t kDisableMs = 500;       // budget of the closing request
constexpr uint32_t kStaleDisableMs = 200;  // the same when the controller has gone quiet

int runWatch(const Invocation& inv);

uint64_t g_cycle = 100, g_count = 0, g_timeMs = 0, g_buffer = 0;
std::string g_csvPath, g_plotPath;

void declareWatch(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "ITEMS", Arity::one, "the values to watch, in one argument");
    addNumber(app, "--cycle", &g_cycle, 1, kMaxCycleMs, "MS", "push period asked of the controller (default 100)",
              "--cycle needs milliseconds from 1 to 60000");
    addNumber(app, "--count", &g_count, 1, 1u << 30, "N", "stop after N blocks", "--count needs a number of blocks");
    addNumber(app, "--time", &g_timeMs, 1, 86400000, "MS", "stop after MS milliseconds (otherwise Ctrl-C stops)",
              "--time needs milliseconds");
    addText(app, "--csv", &g_csvPath, "FILE", "log every block seen: time in ms, block count, values", kFileKind);
    addText(app, "--plot", &g_plotPath, "FILE.png", "draw the values over time when the watch ends", kFileKind);
    addNumber(app, "--buffer", &g_buffer, 0, kMaxBufferNumber, "N", "upload buffer number 0-255 (default 0)",
              "--buffer needs a number from 0 to 255");
}

TVX_COMMAND({"watch", "show live values the controller pushes every cycle",
             "ITEMS names the values, each NAME or NAME(FIRST) or NAME(FIRST,COUNT):\n"
             "  VR, TABLE, arrays and variables declared with DIM or GLOBAL, axis\n"
             "  parameters (DPOS, MPOS, SPEED, ...; FIRST is the axis), IN and OP (bits).\n"
             "\n"
             "On a terminal the table is redrawn in place; otherwise one line per block.\n"
             "After 3 missed cycles (at least 300 ms) without a block the values are\n"
             "stale: a notice goes to stderr, the table marks them, a line \"MS STALE\n"
             "NAME=VALUE* ...\" is printed otherwise; the exit status is 1 when the watch\n"
             "ends so. --time holds even when the controller stops answering.\n"
             "With tvx --json: one object per block and line,\n"
             "{\"time_ms\":T,\"blocks\":N,\"values\":{\"LABEL\":V or null,...}}, and\n"
             "{\"time_ms\":T,\"stale\":true,\"last_block_ms\":L} when the values go stale.\n"
             "Example: tvx watch 127.0.0.21 'DPOS(0,2) MPOS(0) IN(0,4)' --cycle 50 --time 2000\n",
             true, declareWatch, runWatch});

const Command& self() { return *findCommand("watch"); }

std::atomic<int> g_stop{0};
void onInterrupt(int) { g_stop = 1; }

std::string valueText(double v, int32_t r) {
    if (r != TVX_OK) return "-";
    char t[32];
    std::snprintf(t, sizeof t, "%.10g", v);
    return t;
}

int runWatch(const Invocation& inv) {
    const auto& a = inv.args;
    const uint64_t cycle = g_cycle, count = g_count, timeMs = g_timeMs, buffer = g_buffer;
    const std::string& csvPath = g_csvPath;
    const std::string& plotPath = g_plotPath;
    const std::string items(a[1]);
    std::vector<Column> columns;
    std::string why;
    if (!parseColumns(items, &columns, &why)) return usageError(self(), "ITEMS: " + why);

    FILE* csv = nullptr;
    if (!csvPath.empty() && !(csv = std::fopen(csvPath.c_str(), "w"))) {
        std::fprintf(stderr, "tvx watch: cannot write %s\n", csvPath.c_str());
        return kExitFailure;
    }
    Session s;
    if (int e = s.open(self(), a[0], inv.global)) {
        if (csv) std::fclose(csv);
        return e;
    }
    TVX_HANDLE h = s.handle();
    const int32_t number = static_cast<int32_t>(buffer);
    int32_t r = TVX_CycleUpEnable(h, number, static_cast<uint32_t>(cycle), items.c_str());
    if (r != TVX_OK) {
        if (csv) std::fclose(csv);
        return reportFailure("watch " + s.address() + ": enable", r);
    }
    if (csv) {
        std::fprintf(csv, "time_ms,blocks");
        for (const Column& c : columns) std::fprintf(csv, ",%s", c.label.c_str());
        std::fprintf(csv, "\n");
    }

    g_stop = 0;
    auto previous = std::signal(SIGINT, onInterrupt);
    const bool live = isTerminal(1);
    size_t labelWidth = 0;
    for (const Column& c : columns) labelWidth = std::max(labelWidth, c.label.size());

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto poll = std::chrono::milliseconds(std::max<uint64_t>(1, std::min<uint64_t>(cycle / 4, 20)));
    // Values are stale once this long has passed without a block: a few
    // missed cycles, and never less than a scheduling hiccup.
    const double staleAfterMs = std::max<double>(kStaleCycles * static_cast<double>(cycle), kMinStaleMs);
    uint32_t seen = 0;
    uint64_t blocks = 0;
    bool drawn = false;
    bool stale = false;
    double lastBlockMs = 0;
    std::vector<double> times;
    std::vector<PlotSeries> series(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) series[i].label = columns[i].label;
    std::vector<double> values(columns.size());
    std::vector<int32_t> results(columns.size(), TVX_ERR_NOT_OPEN);
    int exitCode = kExitOk;

    // The table on a terminal, redrawn in place; stale values carry a mark.
    auto draw = [&](double elapsed) {
        if (drawn) std::printf("\x1b[%zuA", columns.size() + 1);
        if (stale)
            std::printf("\r\x1b[Kblocks %llu   %.1f s   STALE: no block for %.1f s\n",
                        static_cast<unsigned long long>(blocks), elapsed / 1000.0, (elapsed - lastBlockMs) / 1000.0);
        else
            std::printf("\r\x1b[Kblocks %llu   %.1f s\n", static_cast<unsigned long long>(blocks), elapsed / 1000.0);
        for (size_t i = 0; i < columns.size(); ++i)
            std::printf("\x1b[K  %-*s  %s%s\n", static_cast<int>(labelWidth), columns[i].label.c_str(),
                        valueText(values[i], results[i]).c_str(), stale ? "  (stale)" : "");
        drawn = true;
    };

    while (!g_stop.load()) {
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (timeMs && elapsed >= static_cast<double>(timeMs)) break;
        const uint32_t received = TVX_CycleUpGetRecvTimes(h, number);
        if (received == static_cast<uint32_t>(TVX_ERR_INVALID_HANDLE) || received == seen) {
            if (!stale && elapsed - lastBlockMs >= staleAfterMs) {
                stale = true;
                std::fflush(stdout);
                std::fprintf(stderr, "tvx watch: no block from %s for %.0f ms; the values shown are stale\n",
                             s.address().c_str(), elapsed - lastBlockMs);
                if (live) {
                    draw(elapsed);
                } else if (inv.global.json) {
                    std::printf("%s\n", jsonLine({{"time_ms", jsonNumber(std::round(elapsed * 10) / 10, 15)},
                                                  {"stale", true},
                                                  {"last_block_ms", jsonNumber(std::round(lastBlockMs * 10) / 10, 15)}})
                                            .c_str());
                } else {
                    std::printf("%.1f STALE", elapsed);
                    for (size_t i = 0; i < columns.size(); ++i)
                        std::printf(" %s=%s*", columns[i].label.c_str(), valueText(values[i], results[i]).c_str());
                    std::printf("\n");
                }
                std::fflush(stdout);
            } else if (stale && live) {
                draw(elapsed);  // the age of the values goes on
                std::fflush(stdout);
            }
            std::this_thread::sleep_for(poll);
            continue;
        }
        if (stale) {
            stale = false;
            std::fprintf(stderr, "tvx watch: blocks arrive again from %s\n", s.address().c_str());
        }
        lastBlockMs = elapsed;
        blocks += received - seen;
        seen = received;
        for (size_t i = 0; i < columns.size(); ++i)
            results[i] = TVX_CycleUpReadBuff(h, number, columns[i].name.c_str(), columns[i].index, &values[i]);
        times.push_back(elapsed);
        for (size_t i = 0; i < columns.size(); ++i) series[i].values.push_back(results[i] == TVX_OK ? values[i] : NAN);
        if (csv) {
            std::fprintf(csv, "%.1f,%llu", elapsed, static_cast<unsigned long long>(blocks));
            for (size_t i = 0; i < columns.size(); ++i) std::fprintf(csv, ",%s", valueText(values[i], results[i]).c_str());
            std::fprintf(csv, "\n");
        }
        if (live) {
            draw(elapsed);
        } else if (inv.global.json) {
            Json shown = Json::object();
            for (size_t i = 0; i < columns.size(); ++i)
                shown[columns[i].label] = results[i] == TVX_OK ? jsonNumber(values[i], 10) : Json();
            std::printf("%s\n", jsonLine({{"time_ms", jsonNumber(std::round(elapsed * 10) / 10, 15)}, {"blocks", blocks}, {"values", shown}}).c_str());
        } else {
            std::printf("%.1f", elapsed);
            for (size_t i = 0; i < columns.size(); ++i)
                std::printf(" %s=%s", columns[i].label.c_str(), valueText(values[i], results[i]).c_str());
            std::printf("\n");
        }
        std::fflush(stdout);
        if (count && blocks >= count) break;
    }
    std::signal(SIGINT, previous);
    // Switching the pushes off is a courtesy to a controller that still
    // listens; one that stopped answering must not hold the end of the watch
    // (--time) for a whole request budget and its resends.
    TVX_SetTimeOut(h, stale ? kStaleDisableMs : std::min(kDisableMs, inv.global.timeoutMs ? inv.global.timeoutMs : kDisableMs));
    r = TVX_CycleUpDisable(h, number);
    if (csv && std::fclose(csv) != 0) {
        std::fprintf(stderr, "tvx watch: cannot write %s\n", csvPath.c_str());
        exitCode = kExitFailure;
    }
    if (!plotPath.empty()) {
        std::string error;
        if (!writePlot(plotPath, times, series, &error)) {
            std::fprintf(stderr, "tvx watch: --plot: %s\n", error.c_str());
            exitCode = kExitFailure;
        }
    }
    if (stale && blocks != 0) {
        std::fprintf(stderr, "tvx watch: no block from %s in the last %.0f ms\n", s.address().c_str(),
                     std::chrono::duration<double, std::milli>(Clock::now() - start).count() - lastBlockMs);
        exitCode = kExitFailure;
        r = TVX_OK;  // the failed disable says the same again
    }
    if (blocks == 0) {
        std::fprintf(stderr, "tvx watch: no block arrived from %s\n", s.address().c_str());
        exitCode = kExitFailure;
    }
    if (r != TVX_OK && exitCode == kExitOk) exitCode = reportFailure("watch " + s.address() + ": disable", r);
    return exitCode;
}

}  // namespace
}  // namespace tvx::tool
