#pragma once

namespace snipbrook {

// Call first thing in main(), before any thread starts: OpenBLAS, loaded when the encoder first
// multiplies, then starts no worker threads of its own.
void keepLinearAlgebraOnCallingThreads();

// Whether the products run in OpenBLAS (else in Eigen's fallback). Loads it on first call.
bool linearAlgebraLibraryLoaded();

} // namespace snipbrook
