#pragma once

// Under AddressSanitizer, runs the leak check now instead of at exit. Called at the end of
// main while Qt's worker threads are idle: at exit they may be ending, and LeakSanitizer's walk
// of the threads can crash on one half gone (a failure that is no leak). Nothing otherwise.
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define MOVENDI_CONTROLE_FUITES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define MOVENDI_CONTROLE_FUITES 1
#endif
#endif

namespace Movendi::Platform {

inline void controlerFuitesMaintenant()
{
#ifdef MOVENDI_CONTROLE_FUITES
    __lsan_do_leak_check();
#endif
}

} // namespace Movendi::Platform
