// Qt hands a posted event to the user-interface thread under its own lock, which ThreadSanitizer cannot
// see (Qt is not instrumented). HandOverEvent before posting and TakeOverEvent on receipt tell it what
// Qt guarantees: everything the poster wrote before posting is seen by the receiver. They do nothing in
// other builds.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define DIALDEX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define DIALDEX_THREAD_SANITIZER 1
#endif
#endif

#if defined(DIALDEX_THREAD_SANITIZER)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
inline void HandOverEvent(void* event) {
    __tsan_release(event);
}
inline void TakeOverEvent(void* event) {
    __tsan_acquire(event);
}
#else
inline void HandOverEvent(void*) {}
inline void TakeOverEvent(void*) {}
#endif
