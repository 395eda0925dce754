#include "platform/FreedMemory.h"

#include <malloc.h>

void ReleaseFreedMemory() {
    // All arenas, including those of the socket readers' threads.
    malloc_trim(0);
}
