#include "progress_bar.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "progress_text.h"
#include "terminal.h"

namespace tvx::tool {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedraw = std::chrono::milliseconds(100);  // at most ten redraws a second
constexpr int kStderr = 2;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

TimedResult runWithProgress(TVX_HANDLE handle, const std::string& label, uint64_t totalBytes,
                            const std::function<int32_t()>& transfer) {
    const Clock::time_point start = Clock::now();
    if (!isTerminal(kStderr)) return {transfer(), since(start)};

    std::mutex m;
    std::condition_variable wake;
    bool finished = false;
    std::thread painter([&] {
        const size_t columns = terminalColumns(kStderr);
        std::unique_lock lock(m);
        // A first bar at once, then one per period until the transfer ends.
        do {
            const double fraction = TVX_GetProgress(handle);
            std::fprintf(stderr, "\r%s\x1b[K", progressLine(label, fraction, totalBytes, since(start), columns).c_str());
            std::fflush(stderr);
        } while (!wake.wait_for(lock, kRedraw, [&] { return finished; }));
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
    });
    const int32_t result = transfer();
    {
        std::lock_guard lock(m);
        finished = true;
    }
    wake.notify_one();
    painter.join();
    return {result, since(start)};
}

}  // namespace tvx::tool
