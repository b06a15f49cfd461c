// A mutex and a monotonic-clock condition variable: the building block of
// the POSIX events, semaphores and thread joins.
#pragma once

#include <pthread.h>

#include <cerrno>
#include <cstdint>

#include "platform/posix/deadline.h"

namespace tvx::platform {

struct Monitor {
    pthread_mutex_t mutex;
    pthread_cond_t cond;

    bool init() {
        if (pthread_mutex_init(&mutex, nullptr) != 0) return false;
        pthread_condattr_t attr;
        pthread_condattr_init(&attr);
        pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
        int rc = pthread_cond_init(&cond, &attr);
        pthread_condattr_destroy(&attr);
        if (rc != 0) {
            pthread_mutex_destroy(&mutex);
            return false;
        }
        return true;
    }
    void destroy() {
        pthread_cond_destroy(&cond);
        pthread_mutex_destroy(&mutex);
    }

    // Waits (mutex held) until `ready()` holds or `ms` passes; returns ready().
    // Waits are never cancellation points: a thread terminated as a last
    // resort must not die holding this mutex.
    template <class Pred>
    bool waitUntil(Pred ready, uint32_t ms) {
        int old;
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old);
        timespec deadline = deadlineAfter(ms);
        bool got = true;
        while (!ready()) {
            if (pthread_cond_timedwait(&cond, &mutex, &deadline) == ETIMEDOUT) {
                got = ready();
                break;
            }
        }
        pthread_setcancelstate(old, nullptr);
        return got;
    }
    template <class Pred>
    void waitForever(Pred ready) {
        int old;
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old);
        while (!ready()) pthread_cond_wait(&cond, &mutex);
        pthread_setcancelstate(old, nullptr);
    }
};

}  // namespace tvx::platform
