// The call sequences of the reply fuzzer, one per family of exports. The
// seed maker runs the same sequences against the simulated controller and
// records its replies, so that every seed answers the calls in order.
// Output buffers sit between guard bytes that must survive every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tavrix.h"

namespace tvx::fuzzing {

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 32;

// A buffer of `n` bytes between guards.
struct Guarded {
    std::vector<uint8_t> bytes;
    explicit Guarded(size_t n) : bytes(n + 2 * kGuardBytes, kGuard) {}
    uint8_t* data() { return bytes.data() + kGuardBytes; }
    size_t size() const { return bytes.size() - 2 * kGuardBytes; }
    void check() const {
        for (size_t i = 0; i < kGuardBytes; ++i)
            if (bytes[i] != kGuard || bytes[bytes.size() - 1 - i] != kGuard) std::abort();
    }
};

inline void queries(TVX_HANDLE h) {
    uint8_t b = 0;
    int32_t i = 0;
    uint32_t u = 0, d = 0;
    float f = 0;
    Guarded text(26), ip(20), states(17), systemRecord(sizeof(TVX_SysSpecification)), card(sizeof(TVX_ChildCard));
    TVX_GetState(h, &b);
    TVX_GetStopPauseTaskid(h, &b);
    TVX_GetSoftId(h, &i);
    TVX_GetSoftVersion(h, &u, reinterpret_cast<char*>(text.data()), &d);
    TVX_GetCurIpAddr(h, reinterpret_cast<char*>(ip.data()));
    TVX_GetIn(h, 3, &b);
    TVX_GetInAll(h, 0, 31, &i);
    TVX_GetAIn(h, 1, &f);
    TVX_GetAxisStates(h, 0, states.data());
    TVX_GetAxisFeatures(h, 0, &i);
    TVX_GetSysSpecification(h, reinterpret_cast<TVX_SysSpecification*>(systemRecord.data()));
    TVX_GetTaskState(h, 1, &b, &b, nullptr, &i, reinterpret_cast<char*>(text.data()));
    TVX_GetTaskStackState(h, 1, 0, &b, &i, reinterpret_cast<char*>(text.data()));
    TVX_EnumChildCard(h, 0, reinterpret_cast<TVX_ChildCard*>(card.data()));
    TVX_GetFileState(h, 1, reinterpret_cast<char*>(text.data()));
    for (const Guarded* g : {&text, &ip, &states, &systemRecord, &card}) g->check();
}

inline void textAnswers(TVX_HANDLE h) {
    Guarded answer(64), direct(40);
    uint32_t length = 0;
    uint8_t done = 0;
    TVX_Execute(h, "?1", 30, reinterpret_cast<char*>(answer.data()), static_cast<uint32_t>(answer.size()));
    TVX_DirectCommand(h, "?2", reinterpret_cast<char*>(direct.data()), static_cast<uint32_t>(direct.size()));
    TVX_ExecuteGetReceive(h, reinterpret_cast<char*>(answer.data()), static_cast<uint32_t>(answer.size()), &length, &done);
    if (length > answer.size()) std::abort();
    TVX_ExecuteGetRemainBuffSpace(h);
    answer.check();
    direct.check();
}

inline void listings(TVX_HANDLE h) {
    Guarded name(2035);
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        (i == 0 ? TVX_FindFirstFile : TVX_FindNextFile)(h, reinterpret_cast<char*>(name.data()), &size);
    name.check();
}

inline void uploads(TVX_HANDLE h) {
    Guarded buffer(3000);
    uint32_t got = 0;
    if (TVX_UpFileToMem(h, buffer.data(), static_cast<uint32_t>(buffer.size()), "F", &got) == 0 && got > buffer.size())
        std::abort();
    buffer.check();
    Guarded table(64 * 4);
    uint32_t count = 0;
    TVX_FlashReadf(h, 1, 64, reinterpret_cast<float*>(table.data()), &count);
    if (count > 64) std::abort();
    table.check();
}

inline void downloads(TVX_HANDLE h) {
    static uint8_t data[5000];
    TVX_DownMemFile(h, data, sizeof data, "F");
}

// Cycle uploads (the enable reply lays out the blocks) and a refresh pass
// of the LCD screen (region lists and raw chunks).
inline void cycleAndScreen(TVX_HANDLE h) {
    if (TVX_CycleUpEnable(h, 0, 10, "VR(0,4) DPOS(0) IN(0,8)") == 0) {
        TVX_CycleUpForceOnce(h, 0);
        double value = 0;
        TVX_CycleUpReadBuff(h, 0, "VR", 2, &value);
    }
    TVX_CycleUpDisable(h, 0);
    Guarded info(sizeof(TVX_LcdScreenInfo)), regions(sizeof(TVX_LcdRegionList)), check(sizeof(TVX_LcdCheckInfo)),
        raw(sizeof(TVX_LcdRawChunk));
    TVX_ELcdOpen(h, 0, reinterpret_cast<TVX_LcdScreenInfo*>(info.data()));
    TVX_ELcdDataCheck(h, 0, reinterpret_cast<TVX_LcdRegionList*>(regions.data()),
                      reinterpret_cast<TVX_LcdCheckInfo*>(check.data()));
    uint32_t next = 0;
    TVX_ELcdDataGet(h, 0, 0, 0, &next, reinterpret_cast<TVX_LcdRawChunk*>(raw.data()), nullptr, nullptr);
    TVX_ELcdDataGetEnd(h, 0);
    for (const Guarded* g : {&info, &regions, &check, &raw}) g->check();
}

// The families by the input's first byte (modulo their count).
using Family = void (*)(TVX_HANDLE);
inline constexpr Family kReplyFamilies[] = {queries, textAnswers, listings, uploads, downloads, cycleAndScreen};
inline constexpr size_t kReplyFamilyCount = sizeof kReplyFamilies / sizeof kReplyFamilies[0];

}  // namespace tvx::fuzzing
