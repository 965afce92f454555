#include "Memory.h"

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

} // namespace snipbrook
