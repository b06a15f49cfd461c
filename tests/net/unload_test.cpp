// Unloading the shared library while handles are open: the library's own
// link threads (receive, keep-alive) run at that moment. dlclose must stop
// them within its bound, leave no thread behind in the unmapped code and
// leave the process healthy.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <dirent.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <thread>

#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

// The bound documented in tavrix.h for unloading with open handles.
constexpr auto kUnloadBound = std::chrono::seconds(2);

int threadCount() {
    DIR* d = opendir("/proc/self/task");
    if (!d) return -1;
    int n = 0;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n;
}

using OpenFn = int32_t(TVX_STDCALL*)(int32_t, const char*, uint32_t, TVX_HANDLE*);
using StateFn = int32_t(TVX_STDCALL*)(TVX_HANDLE, uint8_t*);

TEST(Unload, DlcloseWithOpenHandlesStopsTheLinkThreadsInItsBound) {
    testing::UdpSim sim("127.0.0.80");
    ASSERT_TRUE(sim.start());
    const int before = threadCount();

    // Twice: a second load after an unload must work as the first.
    for (int round = 0; round < 2; ++round) {
        void* lib = dlopen(TVX_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        auto open = reinterpret_cast<OpenFn>(dlsym(lib, "TVX_FastOpen"));
        auto state = reinterpret_cast<StateFn>(dlsym(lib, "TVX_GetState"));
        ASSERT_TRUE(open && state);
        TVX_HANDLE handles[6] = {};
        for (TVX_HANDLE& h : handles) {
            ASSERT_EQ(open(TVX_LINK_ETHERNET, "127.0.0.80", 1000, &h), 0);
            uint8_t s = 0;
            EXPECT_EQ(state(h, &s), 0);
        }
        EXPECT_GT(threadCount(), before) << "the open handles run link threads";

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(dlclose(lib), 0) << dlerror();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, kUnloadBound);
        std::printf("unload with %zu open handles took %lld ms\n", std::size(handles),
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));

        // The code is gone and none of its threads is left running in it.
        EXPECT_EQ(dlopen(TVX_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library stayed loaded";
        EXPECT_EQ(threadCount(), before);
    }

    // The process stays healthy: the simulator still answers a new link.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_FastOpen(TVX_LINK_ETHERNET, "127.0.0.80", 1000, &h), 0);
    uint8_t s = 0;
    EXPECT_EQ(TVX_GetState(h, &s), 0);
    EXPECT_EQ(TVX_Close(h), 0);
}

}  // namespace
}  // namespace tvx
