#pragma once

namespace snipbrook {

// Call first thing in main(), before any thread starts: OpenBLAS, loaded when the encoder first
// multiplies, then starts no worker threads of its own.
void keepLinearAlgebraOnCallingThreads();

// The products used when OpenBLAS cannot be loaded, with the reference BLAS's meaning
// (column-major; "N" or "T" for each operand): C = alpha·op(A)·op(B) + beta·C and
// y = alpha·op(A)·x + beta·y. C and y are not read when beta is 0.
void fallbackGemm(const char *transA, const char *transB, int m, int n, int k, float alpha, const float *a, int lda,
                  const float *b, int ldb, float beta, float *c, int ldc);
void fallbackGemv(const char *transA, int m, int n, float alpha, const float *a, int lda, const float *x, int incx,
                  float beta, float *y, int incy);

} // namespace snipbrook
