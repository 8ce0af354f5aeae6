// The binary contract between the host and a gauge module: calling convention,
// export decoration and a guard for record layouts on the 32-bit Windows target.
#pragma once

// Every routine that crosses between host and module uses this convention, so
// that a host and a module built by different compilers agree on the stack.
#if defined(_WIN32) && defined(__i386__)
#define K729_CALL __cdecl
#else
#define K729_CALL
#endif

// The only two symbols a module exports are data records.
#if defined(_WIN32)
#define K729_EXPORT extern "C" __declspec(dllexport)
#else
#define K729_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// True where the record layouts are pinned: the 32-bit Windows modules that the
// real host loads. Other targets use the same field order with natural sizes.
#if defined(_WIN32) && defined(__i386__)
#define K729_PIN_LAYOUT 1
#else
#define K729_PIN_LAYOUT 0
#endif
