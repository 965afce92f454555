#pragma once

namespace snipbrook {

// Returns heap memory freed by a large, short-lived job (loading an index, an import) to the
// system, so the idle program does not keep the job's peak. Cheap enough to call after each such job.
void releaseFreedMemory();
// For a long-running program: the main thread keeps its heap and the background threads share one,
// instead of a heap for each. Call before any thread starts.
void shareHeapAmongBackgroundThreads();

} // namespace snipbrook
