#pragma once

// Gives memory that the program has freed back to the system, where the
// allocator keeps it otherwise (after a flood of datagrams, for example).
void ReleaseFreedMemory();
