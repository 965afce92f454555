#include "PanelPlacement.h"

#include <algorithm>

namespace snipbrook {

QPoint panelPosition(QSize window, int margin, const std::optional<QRect> &anchor, QPoint pointer,
                     const QRect &available)
{
    const QSize content = window - QSize(2 * margin, 2 * margin);
    QPoint topLeft; // of the content
    if (anchor && anchor->isValid()) {
        topLeft.setX(anchor->center().x() - content.width() / 2);
        const bool roomBelow = anchor->bottom() + 1 + content.height() <= available.bottom() + 1;
        topLeft.setY(roomBelow ? anchor->bottom() + 1 : anchor->top() - content.height());
    } else {
        topLeft = pointer;
        if (pointer.x() + content.width() > available.right() + 1)
            topLeft.setX(pointer.x() - content.width());
        if (pointer.y() + content.height() > available.bottom() + 1)
            topLeft.setY(pointer.y() - content.height());
    }
    // A screen smaller than the panel keeps its top-left corner in view.
    topLeft.setX(std::max(available.left(), std::min(topLeft.x(), available.right() + 1 - content.width())));
    topLeft.setY(std::max(available.top(), std::min(topLeft.y(), available.bottom() + 1 - content.height())));
    return topLeft - QPoint(margin, margin);
}

} // namespace snipbrook
