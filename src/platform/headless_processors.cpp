// The headless back end's count of processor cores: the online processors of the
// machine, as the operating system reports them. Any thread.
#include <unistd.h>

#include "platform/system.h"

i64 system_processor_count() {
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? (i64)count : 1;
}
