// The two BLAS products Eigen hands over (sgemm_, sgemv_), served by OpenBLAS loaded on first use
// instead of at program start. Linked at start, OpenBLAS starts a worker thread per core from its
// initialiser, and each spins for about a tenth of a second: on a two-core machine that takes a
// whole core from start-up. Loaded here, it is told to use the calling thread only, before it
// initialises. Without OpenBLAS, Eigen's own products do the work.
//
// The fallback uses Eigen's coefficient-wise (lazy) products: Eigen's blocked products are
// compiled elsewhere to call the functions defined here.
#include "LazyBlas.h"

#include <Eigen/Core>

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace {

using Gemm = int (*)(const char *, const char *, const int *, const int *, const int *, const float *, const float *,
                     const int *, const float *, const int *, const float *, float *, const int *);
using Gemv = int (*)(const char *, const int *, const int *, const float *, const float *, const int *, const float *,
                     const int *, const float *, float *, const int *);

struct Library {
    Gemm gemm = nullptr;
    Gemv gemv = nullptr;
};

const Library &library()
{
    static Library found;
    static std::once_flag once;
    std::call_once(once, [] {
        void *handle = dlopen("libopenblas.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        const auto gemm = reinterpret_cast<Gemm>(dlsym(handle, "sgemm_"));
        const auto gemv = reinterpret_cast<Gemv>(dlsym(handle, "sgemv_"));
        using SetThreads = void (*)(int);
        if (const auto setThreads = reinterpret_cast<SetThreads>(dlsym(handle, "openblas_set_num_threads")))
            setThreads(1); // callers choose their own threads
        if (gemm && gemv)
            found = {gemm, gemv};
    });
    return found;
}

} // namespace

namespace snipbrook {
namespace {

using Matrix = Eigen::Matrix<float, Eigen::Dynamic, Eigen::Dynamic, Eigen::ColMajor>;
using MatrixMap = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;
using Vector = Eigen::Matrix<float, Eigen::Dynamic, 1>;
using VectorMap = Eigen::Map<const Vector, 0, Eigen::InnerStride<>>;
using MutableVectorMap = Eigen::Map<Vector, 0, Eigen::InnerStride<>>;

bool transposed(const char *flag) { return *flag == 'T' || *flag == 't' || *flag == 'C' || *flag == 'c'; }

} // namespace

void fallbackGemm(const char *ta, const char *tb, int m, int n, int k, float alpha, const float *a, int lda,
               const float *b, int ldb, float beta, float *c, int ldc)
{
    const bool tA = transposed(ta), tB = transposed(tb);
    const MatrixMap A(a, tA ? k : m, tA ? m : k, Eigen::OuterStride<>(lda));
    const MatrixMap B(b, tB ? n : k, tB ? k : n, Eigen::OuterStride<>(ldb));
    Eigen::Map<Matrix, 0, Eigen::OuterStride<>> C(c, m, n, Eigen::OuterStride<>(ldc));
    Matrix product(m, n);
    if (tA && tB)
        product.noalias() = A.transpose().lazyProduct(B.transpose());
    else if (tA)
        product.noalias() = A.transpose().lazyProduct(B);
    else if (tB)
        product.noalias() = A.lazyProduct(B.transpose());
    else
        product.noalias() = A.lazyProduct(B);
    if (beta == 0.0f) // C may hold anything, NaN included: it is not read
        C = alpha * product;
    else
        C = alpha * product + beta * C;
}

void fallbackGemv(const char *t, int m, int n, float alpha, const float *a, int lda, const float *x, int incx, float beta,
               float *y, int incy)
{
    const bool tA = transposed(t);
    const MatrixMap A(a, m, n, Eigen::OuterStride<>(lda));
    const VectorMap X(x, tA ? m : n, Eigen::InnerStride<>(incx));
    MutableVectorMap Y(y, tA ? n : m, Eigen::InnerStride<>(incy));
    const Vector product = tA ? Vector(A.transpose().lazyProduct(X)) : Vector(A.lazyProduct(X));
    if (beta == 0.0f)
        Y = alpha * product;
    else
        Y = alpha * product + beta * Y;
}

void keepLinearAlgebraOnCallingThreads()
{
    // Read by OpenBLAS when it initialises; a value the user set stands.
    setenv("OPENBLAS_NUM_THREADS", "1", 0);
}

} // namespace snipbrook

extern "C" {

int sgemm_(const char *ta, const char *tb, const int *m, const int *n, const int *k, const float *alpha, const float *a,
           const int *lda, const float *b, const int *ldb, const float *beta, float *c, const int *ldc)
{
    if (const Gemm gemm = library().gemm)
        return gemm(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc);
    snipbrook::fallbackGemm(ta, tb, *m, *n, *k, *alpha, a, *lda, b, *ldb, *beta, c, *ldc);
    return 0;
}

int sgemv_(const char *t, const int *m, const int *n, const float *alpha, const float *a, const int *lda, const float *x,
           const int *incx, const float *beta, float *y, const int *incy)
{
    if (const Gemv gemv = library().gemv)
        return gemv(t, m, n, alpha, a, lda, x, incx, beta, y, incy);
    snipbrook::fallbackGemv(t, *m, *n, *alpha, a, *lda, x, *incx, *beta, y, *incy);
    return 0;
}

} // extern "C"
