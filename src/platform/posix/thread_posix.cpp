#include <pthread.h>

#include <atomic>
#include <new>

#include "platform/platform.h"
#include "platform/posix/monitor.h"

namespace tvx::platform {
namespace {

// Shared between the owner and the thread; whichever lets go last frees it,
// so a detached thread never touches freed memory.
struct ThreadImpl {
    Monitor m;
    pthread_t id{};
    Thread::Entry fn = nullptr;
    void* arg = nullptr;
    bool finished = false;
    bool joined = false;
    std::atomic<int> refs{2};

    void unref() {
        if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            m.destroy();
            delete this;
        }
    }
};

void markFinished(void* p) {
    auto* t = static_cast<ThreadImpl*>(p);
    pthread_mutex_lock(&t->m.mutex);
    t->finished = true;
    pthread_cond_broadcast(&t->m.cond);
    pthread_mutex_unlock(&t->m.mutex);
    t->unref();
}

void* threadMain(void* p) {
    auto* t = static_cast<ThreadImpl*>(p);
    // The finish marker also runs when the thread is cancelled.
    pthread_cleanup_push(markFinished, t);
    t->fn(t->arg);
    pthread_cleanup_pop(1);
    return nullptr;
}

}  // namespace

bool Thread::start(Entry fn, void* arg) {
    release();
    auto* t = new (std::nothrow) ThreadImpl{};
    if (!t) return false;
    if (!t->m.init()) {
        delete t;
        return false;
    }
    t->fn = fn;
    t->arg = arg;
    if (pthread_create(&t->id, nullptr, threadMain, t) != 0) {
        t->m.destroy();
        delete t;
        return false;
    }
    impl_ = t;
    return true;
}

bool Thread::joinFor(uint32_t ms) {
    auto* t = static_cast<ThreadImpl*>(impl_);
    if (!t) return true;
    pthread_mutex_lock(&t->m.mutex);
    bool done = t->m.waitUntil([t] { return t->finished; }, ms);
    pthread_mutex_unlock(&t->m.mutex);
    if (done && !t->joined) {
        pthread_join(t->id, nullptr);
        t->joined = true;
    }
    return done;
}

void Thread::terminate() {
    auto* t = static_cast<ThreadImpl*>(impl_);
    if (!t || t->joined) return;
    // Cancellation acts at the thread's next blocking call (a receive or a
    // wait); release() then detaches it.
    pthread_cancel(t->id);
}

bool Thread::isCurrent() const {
    auto* t = static_cast<ThreadImpl*>(impl_);
    return t && pthread_equal(t->id, pthread_self());
}

void Thread::release() {
    auto* t = static_cast<ThreadImpl*>(impl_);
    if (!t) return;
    if (!t->joined) pthread_detach(t->id);
    impl_ = nullptr;
    t->unref();
}

}  // namespace tvx::platform
