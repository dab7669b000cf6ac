#pragma once
// Attributes for clang's thread-safety analysis (-Wthread-safety). They tell the compiler which
// mutex guards which member and which functions take, release or need it, so that a member read
// without its lock fails the clang build. Other compilers ignore them.
//
//   platform::Mutex lock_;
//   int count_ ORVANE_GUARDED_BY(lock_);
//   void Bump() ORVANE_REQUIRES(lock_);     // caller holds lock_
//   void Refresh() ORVANE_EXCLUDES(lock_);  // takes lock_ itself
#if defined(__clang__)
#define ORVANE_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define ORVANE_THREAD_ATTRIBUTE(x)
#endif

#define ORVANE_CAPABILITY(name) ORVANE_THREAD_ATTRIBUTE(capability(name))
#define ORVANE_SCOPED_CAPABILITY ORVANE_THREAD_ATTRIBUTE(scoped_lockable)
#define ORVANE_GUARDED_BY(mutex) ORVANE_THREAD_ATTRIBUTE(guarded_by(mutex))
#define ORVANE_PT_GUARDED_BY(mutex) ORVANE_THREAD_ATTRIBUTE(pt_guarded_by(mutex))
#define ORVANE_REQUIRES(...) ORVANE_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ORVANE_EXCLUDES(...) ORVANE_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ORVANE_ACQUIRE(...) ORVANE_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define ORVANE_RELEASE(...) ORVANE_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define ORVANE_TRY_ACQUIRE(...) ORVANE_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define ORVANE_ASSERT_CAPABILITY(mutex) ORVANE_THREAD_ATTRIBUTE(assert_capability(mutex))
#define ORVANE_RETURN_CAPABILITY(mutex) ORVANE_THREAD_ATTRIBUTE(lock_returned(mutex))
// For the rare function the analysis cannot follow; say why next to it.
#define ORVANE_NO_THREAD_SAFETY_ANALYSIS ORVANE_THREAD_ATTRIBUTE(no_thread_safety_analysis)
