// Clang's thread-safety attributes, for -Wthread-safety: which lock guards a
// variable, which locks a function expects or takes. Other compilers (GCC,
// mingw-w64) see nothing; the rules they state are checked by clang's builds.
#pragma once

#if defined(__clang__)
#define VOSTREL_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define VOSTREL_THREAD_ATTRIBUTE(x)
#endif

// On a type: its objects are locks.
#define CAPABILITY(name) VOSTREL_THREAD_ATTRIBUTE(capability(name))
// On a type: its objects hold a lock from construction to destruction.
#define SCOPED_CAPABILITY VOSTREL_THREAD_ATTRIBUTE(scoped_lockable)

// On a variable: read or written only while the lock is held.
#define GUARDED_BY(lock) VOSTREL_THREAD_ATTRIBUTE(guarded_by(lock))
// On a pointer: what it points to is read or written only under the lock.
#define PT_GUARDED_BY(lock) VOSTREL_THREAD_ATTRIBUTE(pt_guarded_by(lock))

// On a lock: the order in which locks are taken (checked with
// -Wthread-safety-beta).
#define ACQUIRED_BEFORE(...) VOSTREL_THREAD_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) VOSTREL_THREAD_ATTRIBUTE(acquired_after(__VA_ARGS__))

// On a function: the caller holds the locks, and still holds them after.
#define REQUIRES(...) VOSTREL_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
// On a function: the caller must not hold the locks (the function takes them).
#define EXCLUDES(...) VOSTREL_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
// On a function: it returns holding the locks (none named: the object itself).
#define ACQUIRE(...) VOSTREL_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
// On a function: it returns holding the locks when its result is `result`.
#define TRY_ACQUIRE(...) VOSTREL_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
// On a function: the caller held the locks, and no longer does after it.
#define RELEASE(...) VOSTREL_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))

// On a function's definition: its body is not checked. Only where the
// analysis cannot follow the code; a comment there says why.
#define NO_THREAD_SAFETY_ANALYSIS VOSTREL_THREAD_ATTRIBUTE(no_thread_safety_analysis)
