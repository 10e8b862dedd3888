#include "platform/Lifetime.h"

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMORA_LEAK_CHECKER 1
#endif
#endif

#ifdef LUMORA_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

void keepForLifetime(const void* object) {
#ifdef LUMORA_LEAK_CHECKER
    // Objects not on the heap (an effect on a test's stack) are passed over.
    if (object != nullptr) {
        __lsan_ignore_object(object);
    }
#else
    (void)object;
#endif
}
