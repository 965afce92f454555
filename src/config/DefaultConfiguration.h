#pragma once

#include "AppConfiguration.h"

namespace snipbrook {

// The document used when nothing readable is stored. Every id is generated afresh on each call,
// so palette selection rests on the document actually stored.
AppConfiguration defaultConfiguration();

// Sunset, Ocean, Forest, Lavender, Graphite, with fresh ids; also the fallback when the
// selected palette is missing.
QList<ColorPalette> builtInPalettes();

} // namespace snipbrook
