#pragma once

#include "SentenceEncoder.h"

#include <QStringList>

#include <memory>

namespace snipbrook {

// Folders that may hold the encoder's files, in order: $SNIPBROOK_MODEL_DIR, the installed data
// folder, the build tree's data folder.
QStringList modelDirectoryCandidates();

// Loads the encoder from the first candidate folder that holds a complete, intact model set.
// A folder that exists but fails is reported with a "⚠️ " line when a later one serves; when none
// serves, one "❌ " line gives every folder's reason and the result is null.
std::shared_ptr<const SentenceEncoder> loadFirstAvailableEncoder(const QStringList &directories);

// The process's encoder, found and loaded on first use (at most once per process, safe when
// several threads ask at once); null when the model is unavailable.
std::shared_ptr<const SentenceEncoder> sharedSentenceEncoder();

} // namespace snipbrook
