#pragma once

namespace uplark {

// The file post moves through buffers of a few hundred KiB that are made
// and freed for every slice: the slice read from the file, the socket's
// buffer and, over TLS, the plain and encrypted buffers of the TLS socket.
// glibc hands out blocks of that size with mmap and unmaps them when they
// are freed, so every slice faults its pages in afresh, which over TLS cost
// three times the CPU of the encryption itself. Called once at the start of
// the program, this keeps blocks below 4 MiB in the heap and up to 8 MiB
// free at its top, where the next slice finds them.
void keepTransferBuffersInHeap();

} // namespace uplark
