// The real back end's count of processor cores, from SDL. Any thread.
#include "platform/real_internal.h"

i64 system_processor_count() {
    int count = SDL_GetCPUCount();
    return count > 0 ? (i64)count : 1;
}
