#include <new>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace tvx::platform {
namespace {

struct ThreadImpl {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

// Handed to the new thread, which frees it once it has read it; the owner
// never touches it, so a detached or terminated thread needs no protocol.
struct StartBlock {
    Thread::Entry fn;
    void* arg;
};

DWORD WINAPI threadMain(LPVOID p) {
    StartBlock start = *static_cast<StartBlock*>(p);
    delete static_cast<StartBlock*>(p);
    start.fn(start.arg);
    return 0;
}

}  // namespace

bool Thread::start(Entry fn, void* arg) {
    release();
    auto* t = new (std::nothrow) ThreadImpl{};
    auto* block = new (std::nothrow) StartBlock{fn, arg};
    if (!t || !block) {
        delete t;
        delete block;
        return false;
    }
    t->handle = CreateThread(nullptr, 0, threadMain, block, 0, &t->id);
    if (!t->handle) {
        delete block;
        delete t;
        return false;
    }
    impl_ = t;
    return true;
}

bool Thread::joinFor(uint32_t ms) {
    auto* t = static_cast<ThreadImpl*>(impl_);
    if (!t) return true;
    return WaitForSingleObject(t->handle, boundedWait(ms)) == WAIT_OBJECT_0;
}

void Thread::terminate() {
    auto* t = static_cast<ThreadImpl*>(impl_);
    if (!t) return;
    // Last resort only: the thread gets no chance to release what it holds.
    // Wait briefly so that release() never races a thread still running.
    TerminateThread(t->handle, 1);
    WaitForSingleObject(t->handle, 1000);
}

bool Thread::isCurrent() const {
    auto* t = static_cast<ThreadImpl*>(impl_);
    return t && t->id == GetCurrentThreadId();
}

void Thread::release() {
    auto* t = static_cast<ThreadImpl*>(impl_);
    if (!t) return;
    // Closing the handle detaches a thread that is still running.
    CloseHandle(t->handle);
    delete t;
    impl_ = nullptr;
}

}  // namespace tvx::platform
