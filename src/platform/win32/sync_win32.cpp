// Events and semaphores map directly onto kernel objects; impl_ holds the
// HANDLE.
#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace tvx::platform {
namespace {

HANDLE asHandle(void* impl) { return static_cast<HANDLE>(impl); }

bool signalledWithin(void* impl, uint32_t ms) {
    return impl && WaitForSingleObject(asHandle(impl), boundedWait(ms)) == WAIT_OBJECT_0;
}

}  // namespace

bool Event::create(bool manualReset) {
    close();
    impl_ = CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr);
    return impl_ != nullptr;
}

void Event::close() {
    if (!impl_) return;
    CloseHandle(asHandle(impl_));
    impl_ = nullptr;
}

void Event::set() {
    if (impl_) SetEvent(asHandle(impl_));
}

void Event::reset() {
    if (impl_) ResetEvent(asHandle(impl_));
}

bool Event::waitFor(uint32_t ms) { return signalledWithin(impl_, ms); }

bool Semaphore::create() {
    close();
    impl_ = CreateSemaphoreA(nullptr, 1, 1, nullptr);
    return impl_ != nullptr;
}

void Semaphore::close() {
    if (!impl_) return;
    CloseHandle(asHandle(impl_));
    impl_ = nullptr;
}

void Semaphore::wait() {
    if (impl_) WaitForSingleObject(asHandle(impl_), INFINITE);
}

bool Semaphore::waitFor(uint32_t ms) { return signalledWithin(impl_, ms); }

void Semaphore::release() {
    // At the maximum count of 1 ReleaseSemaphore fails and changes nothing,
    // which is the wanted behaviour for a release of a free semaphore.
    if (impl_) ReleaseSemaphore(asHandle(impl_), 1, nullptr);
}

}  // namespace tvx::platform
