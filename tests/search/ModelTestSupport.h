#pragma once

#include "search/SentenceEncoder.h"

#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

#include <memory>

namespace snipbrook::test {

// The model folder the program would use (first complete candidate), loaded once for all tests;
// empty and null when the weights are not there.
QString testModelDirectory();
std::shared_ptr<const SentenceEncoder> testEncoder();

// A JSON document under the folder named by an environment variable; empty when unreadable.
QJsonObject jsonUnder(const char *folderVariable, const QString &relativePath);

float cosine(const std::vector<float> &a, const std::vector<float> &b);

} // namespace snipbrook::test

// Model-dependent tests run wherever scripts/setup.sh fetched the weights (always in CI).
#define SKIP_WITHOUT_MODEL()                                                                                   \
    do {                                                                                                       \
        if (!snipbrook::test::testEncoder())                                                                   \
            GTEST_SKIP() << "sentence-encoder weights not found (scripts/fetch-model.sh); model test skipped"; \
    } while (false)
