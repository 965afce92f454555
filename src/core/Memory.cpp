#include "Memory.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace snipbrook {

void releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void shareHeapAmongBackgroundThreads()
{
#if defined(__GLIBC__)
    // glibc gives threads heaps of their own, up to eight per core. Ours allocate in bursts (a
    // history read, the index load, a batch of embeddings) and then sit idle for hours, each heap
    // keeping what its burst left scattered: at 10,000 items that was 6 MB more resident memory
    // than one heap for the main thread and one shared by the background threads. A limit the
    // user set stands.
    if (!std::getenv("MALLOC_ARENA_MAX"))
        mallopt(M_ARENA_MAX, 2);
#endif
}

} // namespace snipbrook
