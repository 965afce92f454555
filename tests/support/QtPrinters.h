#pragma once

// Failing comparisons of Qt values print readable text instead of raw bytes. Qt's types live in
// the global namespace, so gtest finds these overloads there by argument-dependent lookup, also
// for values inside containers and optionals. Every test program gets this header before its own
// code (tests/support/CMakeLists.txt).

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <iosfwd>

// Quoted, with quotes, backslashes and control characters escaped.
void PrintTo(const QString &text, std::ostream *os);
// As text when the bytes are UTF-8, other bytes as \xNN; long arrays are cut, with their size.
void PrintTo(const QByteArray &bytes, std::ostream *os);
// The upper-case form used in files and log lines.
void PrintTo(const QUuid &id, std::ostream *os);
