#include "platform/FreedMemory.h"

#include <malloc.h>

void ReleaseFreedMemory() {
    // The C runtime's heap, from which the program allocates: free blocks are
    // joined and large free runs given back to the system.
    _heapmin();
}
