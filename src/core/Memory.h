#pragma once

namespace snipbrook {

// Returns heap memory freed by a large, short-lived job (loading an index, an import) to the
// system, so the idle program does not keep the job's peak. Cheap enough to call after each such job.
void releaseFreedMemory();

} // namespace snipbrook
