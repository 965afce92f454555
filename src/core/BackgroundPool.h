#pragma once

#include <QThreadPool>

namespace snipbrook {

// The pool for the program's own background work (loading, searching, importing, backups).
// Qt's raster engine hands parts of large fills to QThreadPool::globalInstance() and waits for
// them while it paints, so a long task of ours there would hold a repaint back: ours run here.
QThreadPool &backgroundPool();

} // namespace snipbrook
