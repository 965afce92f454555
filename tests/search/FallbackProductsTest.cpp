// The products the encoder falls back on without OpenBLAS agree with the reference BLAS's meaning
// for every combination of transposes, leading dimensions and beta.
#include "search/LazyBlas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace snipbrook;

namespace {

// Column-major element (row, column) of op(M), M stored with leading dimension ld.
float at(const std::vector<float> &m, int ld, bool transposed, int row, int column)
{
    return transposed ? m[std::size_t(row) * ld + column] : m[std::size_t(column) * ld + row];
}

std::vector<float> filled(std::size_t count, float seed)
{
    std::vector<float> v(count);
    for (std::size_t i = 0; i < count; ++i)
        v[i] = std::sin(seed + float(i) * 0.37f);
    return v;
}

} // namespace

TEST(FallbackProducts, MatrixProductMatchesTheDefinition)
{
    const int m = 5, n = 3, k = 4;
    for (const bool tA : {false, true}) {
        for (const bool tB : {false, true}) {
            for (const float beta : {0.0f, 0.5f}) {
                SCOPED_TRACE(testing::Message() << "tA " << tA << " tB " << tB << " beta " << beta);
                // Leading dimensions larger than the rows, as in a block of a bigger matrix.
                const int lda = (tA ? k : m) + 2, ldb = (tB ? n : k) + 1, ldc = m + 3;
                const std::vector<float> a = filled(std::size_t(lda) * (tA ? m : k), 1.0f);
                const std::vector<float> b = filled(std::size_t(ldb) * (tB ? k : n), 2.0f);
                std::vector<float> c = filled(std::size_t(ldc) * n, 3.0f);
                if (beta == 0.0f)
                    for (int col = 0; col < n; ++col)
                        c[std::size_t(col) * ldc] = NAN; // not read when beta is 0
                std::vector<float> expected = c;
                for (int row = 0; row < m; ++row) {
                    for (int col = 0; col < n; ++col) {
                        float sum = 0;
                        for (int i = 0; i < k; ++i)
                            sum += at(a, lda, tA, row, i) * at(b, ldb, tB, i, col);
                        float &e = expected[std::size_t(col) * ldc + row];
                        e = 1.5f * sum + (beta == 0.0f ? 0.0f : beta * e);
                    }
                }
                fallbackGemm(tA ? "T" : "N", tB ? "T" : "N", m, n, k, 1.5f, a.data(), lda, b.data(), ldb, beta,
                             c.data(), ldc);
                for (std::size_t i = 0; i < c.size(); ++i) {
                    if (std::isnan(expected[i]))
                        continue; // padding outside C keeps what it had, NaN included
                    ASSERT_NEAR(c[i], expected[i], 1e-5f) << i;
                }
            }
        }
    }
}

TEST(FallbackProducts, MatrixVectorProductMatchesTheDefinitionWithStrides)
{
    const int m = 4, n = 3, lda = 6;
    const std::vector<float> a = filled(std::size_t(lda) * n, 0.5f);
    for (const bool t : {false, true}) {
        SCOPED_TRACE(t);
        const int xCount = t ? m : n, yCount = t ? n : m;
        const std::vector<float> x = filled(std::size_t(xCount) * 2, 4.0f); // every other element
        std::vector<float> y = filled(std::size_t(yCount) * 3, 5.0f);      // every third element
        std::vector<float> expected = y;
        for (int r = 0; r < yCount; ++r) {
            float sum = 0;
            for (int i = 0; i < xCount; ++i)
                sum += at(a, lda, t, r, i) * x[std::size_t(i) * 2];
            expected[std::size_t(r) * 3] = 2.0f * sum + 0.25f * expected[std::size_t(r) * 3];
        }
        fallbackGemv(t ? "T" : "N", m, n, 2.0f, a.data(), lda, x.data(), 2, 0.25f, y.data(), 3);
        for (std::size_t i = 0; i < y.size(); ++i)
            ASSERT_NEAR(y[i], expected[i], 1e-5f) << i;
    }
}
