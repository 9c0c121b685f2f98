#include "engine/net/heaptuning.h"

#include <malloc.h>

namespace uplark {

void keepTransferBuffersInHeap()
{
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
}

} // namespace uplark
