#pragma once

#include "model/ClipboardItem.h"

#include <QImage>
#include <QSize>

namespace snipbrook {

// The picture of an image item scaled to fit `size` (aspect kept, centred on a transparent
// square), decoded from its Base64 preview, or its content when the preview is empty or not a
// picture. A null image when neither is Base64 of a picture. Safe on any thread; a large picture takes
// a while, so callers on the main thread run it on a pool.
QImage itemThumbnail(const ClipboardItem &item, QSize size);

} // namespace snipbrook
