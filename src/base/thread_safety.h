// Clang's thread-safety annotations: which lock guards a member, which
// functions need it held. A clang build with -Wthread-safety refuses code
// that touches a guarded member without its lock; other compilers see
// nothing.
#pragma once

#if defined(__clang__)
#define ORVEX_TS(x) __attribute__((x))
#else
#define ORVEX_TS(x)
#endif

#define CAPABILITY(name) ORVEX_TS(capability(name))
#define SCOPED_CAPABILITY ORVEX_TS(scoped_lockable)
#define GUARDED_BY(lock) ORVEX_TS(guarded_by(lock))
#define REQUIRES(...) ORVEX_TS(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) ORVEX_TS(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ORVEX_TS(release_capability(__VA_ARGS__))
#define EXCLUDES(...) ORVEX_TS(locks_excluded(__VA_ARGS__))
