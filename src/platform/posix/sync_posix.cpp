#include <new>

#include "platform/platform.h"
#include "platform/posix/monitor.h"

namespace tvx::platform {
namespace {

struct EventImpl {
    Monitor m;
    bool manualReset;
    bool signalled = false;
};

struct SemaphoreImpl {
    Monitor m;
    bool available = true;
};

}  // namespace

bool Event::create(bool manualReset) {
    close();
    auto* e = new (std::nothrow) EventImpl{{}, manualReset};
    if (!e) return false;
    if (!e->m.init()) {
        delete e;
        return false;
    }
    impl_ = e;
    return true;
}

void Event::close() {
    auto* e = static_cast<EventImpl*>(impl_);
    if (!e) return;
    e->m.destroy();
    delete e;
    impl_ = nullptr;
}

void Event::set() {
    auto* e = static_cast<EventImpl*>(impl_);
    if (!e) return;
    pthread_mutex_lock(&e->m.mutex);
    e->signalled = true;
    if (e->manualReset)
        pthread_cond_broadcast(&e->m.cond);
    else
        pthread_cond_signal(&e->m.cond);
    pthread_mutex_unlock(&e->m.mutex);
}

void Event::reset() {
    auto* e = static_cast<EventImpl*>(impl_);
    if (!e) return;
    pthread_mutex_lock(&e->m.mutex);
    e->signalled = false;
    pthread_mutex_unlock(&e->m.mutex);
}

bool Event::waitFor(uint32_t ms) {
    auto* e = static_cast<EventImpl*>(impl_);
    if (!e) return false;
    pthread_mutex_lock(&e->m.mutex);
    bool got = e->m.waitUntil([e] { return e->signalled; }, ms);
    if (got && !e->manualReset) e->signalled = false;
    pthread_mutex_unlock(&e->m.mutex);
    return got;
}

bool Semaphore::create() {
    close();
    auto* s = new (std::nothrow) SemaphoreImpl{};
    if (!s) return false;
    if (!s->m.init()) {
        delete s;
        return false;
    }
    impl_ = s;
    return true;
}

void Semaphore::close() {
    auto* s = static_cast<SemaphoreImpl*>(impl_);
    if (!s) return;
    s->m.destroy();
    delete s;
    impl_ = nullptr;
}

void Semaphore::wait() {
    auto* s = static_cast<SemaphoreImpl*>(impl_);
    if (!s) return;
    pthread_mutex_lock(&s->m.mutex);
    s->m.waitForever([s] { return s->available; });
    s->available = false;
    pthread_mutex_unlock(&s->m.mutex);
}

bool Semaphore::waitFor(uint32_t ms) {
    auto* s = static_cast<SemaphoreImpl*>(impl_);
    if (!s) return false;
    pthread_mutex_lock(&s->m.mutex);
    bool got = s->m.waitUntil([s] { return s->available; }, ms);
    if (got) s->available = false;
    pthread_mutex_unlock(&s->m.mutex);
    return got;
}

void Semaphore::release() {
    auto* s = static_cast<SemaphoreImpl*>(impl_);
    if (!s) return;
    pthread_mutex_lock(&s->m.mutex);
    s->available = true;
    pthread_cond_signal(&s->m.cond);
    pthread_mutex_unlock(&s->m.mutex);
}

}  // namespace tvx::platform
