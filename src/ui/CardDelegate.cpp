#include "CardDelegate.h"

#include "CardGridModel.h"
#include "ContentPreview.h"
#include "SymbolIcons.h"
#include "ThumbnailCache.h"

#include "config/ColorNames.h"
#include "model/ClipboardItem.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace snipbrook {
namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

QFont sized(const QFont &base, qreal points, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

// The desktop's small text styles, relative to its body font.
QFont caption(const QFont &base, QFont::Weight weight = QFont::Normal)
{
    return sized(base, std::max(7.0, base.pointSizeF() - 1), weight);
}
QFont caption2(const QFont &base, QFont::Weight weight = QFont::Normal)
{
    return sized(base, std::max(6.5, base.pointSizeF() - 2), weight);
}

bool emojiFontInstalled()
{
    static const bool installed = [] {
        const QStringList families = QFontDatabase::families();
        return std::any_of(families.begin(), families.end(),
                           [](const QString &family) { return family.contains(QLatin1String("emoji"), Qt::CaseInsensitive); });
    }();
    return installed;
}

// The visual lines of a text wrapped to `width`, at most `maxLines`, the last one elided when
// text is left over. The text is already cut to what fits a card, so this lays out little.
QStringList wrappedLines(const QString &text, const QFont &font, int width, int maxLines)
{
    QStringList lines;
    if (text.isEmpty() || width <= 0 || maxLines <= 0)
        return lines;
    QString flowing = text;
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    const QFontMetrics metrics(font);
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        const QString shown = flowing.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator);
        if (lines.size() + 1 == maxLines) {
            const int end = line.textStart() + line.textLength();
            if (end < flowing.size()) {
                // Text continues: the last line ends in an ellipsis.
                QString rest = flowing.mid(line.textStart()).section(QChar::LineSeparator, 0, 0);
                if (rest.size() <= line.textLength())
                    rest += QChar(0x2026);
                lines.append(metrics.elidedText(rest, Qt::ElideRight, width));
            } else {
                lines.append(shown);
            }
            break;
        }
        lines.append(shown);
    }
    layout.endLayout();
    return lines;
}

void drawLines(QPainter *painter, const QStringList &lines, const QFont &font, const QColor &color, const QRect &box,
               Qt::Alignment horizontal)
{
    const QFontMetrics metrics(font);
    painter->setFont(font);
    painter->setPen(color);
    int y = box.top();
    for (const QString &line : lines) {
        painter->drawText(QRect(box.left(), y, box.width(), metrics.height()), horizontal | Qt::AlignVCenter | Qt::TextSingleLine,
                          line);
        y += metrics.lineSpacing();
    }
}

int linesHeight(const QStringList &lines, const QFont &font)
{
    const QFontMetrics metrics(font);
    return lines.isEmpty() ? 0 : int(lines.size() - 1) * metrics.lineSpacing() + metrics.height();
}

} // namespace

CardDelegate::CardDelegate(ThumbnailCache &thumbnails, AppIconLookup appIcons, QObject *parent)
    : QStyledItemDelegate(parent), m_thumbnails(thumbnails), m_appIconLookup(std::move(appIcons))
{
}

void CardDelegate::setHover(const QModelIndex &index, qreal progress)
{
    m_hovered = index;
    m_hoverProgress = progress;
}

void CardDelegate::setCopied(const QUuid &id, qreal opacity)
{
    m_copiedId = id;
    m_copiedOpacity = opacity;
}

QSize CardDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {m_cardWidth + 2 * cellMargin, cardHeight + 2 * cellMargin};
}

QRect CardDelegate::previewRect(const QRect &cardRect)
{
    return {cardRect.left() + padding, cardRect.top() + padding, cardRect.width() - 2 * padding, previewHeight};
}

QSize CardDelegate::thumbnailPixelSize(qreal devicePixelRatio) const
{
    const QRect preview = previewRect(QRect(0, 0, m_cardWidth, cardHeight));
    return (QSizeF(preview.size()) * devicePixelRatio).toSize();
}

void CardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto item = index.data(CardGridModel::ItemRole).value<ClipboardItem>();
    const QPalette &palette = option.palette;
    const QRect card = cardRect(option.rect);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // Only a scaled card needs smooth pictures (the view hands over the hint set): with it, even a
    // picture drawn at a whole pixel leaves the raster engine's plain blit for its slow path.
    const bool scaled = m_hovered.isValid() && m_hovered == index && m_hoverProgress > 0;
    painter->setRenderHint(QPainter::SmoothPixmapTransform, scaled);
    if (scaled) {
        const qreal scale = 1.0 + (hoverScale - 1.0) * m_hoverProgress;
        const QPointF centre = QRectF(card).center();
        painter->translate(centre);
        painter->scale(scale, scale);
        painter->translate(-centre);
    }
    paintSurface(painter, card, palette);
    if (option.state & QStyle::State_HasFocus && option.state & QStyle::State_Selected) {
        painter->setPen(QPen(withAlpha(palette.color(QPalette::Highlight), 0.8), 1.5));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(card).adjusted(1, 1, -1, -1), 16, 16);
    }

    const QRect preview = previewRect(card);
    const PreviewLook look = previewFor(item);
    paintPreview(painter, preview, item, look, option);

    const QRect badgeRow(preview.left(), preview.bottom() + 1 + 4, preview.width(), badgeRowHeight);
    paintBadges(painter, badgeRow, metadataBadges(item.metadata, item.type), option);

    const QFont timeFont = caption(option.font);
    painter->setFont(timeFont);
    painter->setPen(palette.color(QPalette::PlaceholderText));
    const QRect timeRow(preview.left(), badgeRow.bottom() + 1 + 2, preview.width(), timeRowHeight);
    painter->drawText(timeRow, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(CardGridModel::RelativeTimeRole).toString());

    if (item.isFavorite) {
        // The heart sits on a small round of the card's material in the preview's top corner.
        const int size = 22;
        const QRect mark(preview.right() - size - 4, preview.top() + 4, size, size);
        painter->setPen(Qt::NoPen);
        painter->setBrush(withAlpha(palette.color(QPalette::Base), 0.85));
        painter->drawEllipse(mark);
        const qreal ratio = painter->device()->devicePixelRatioF();
        painter->drawPixmap(mark.adjusted(4, 4, -4, -4), symbolPixmap(QStringLiteral("heart.fill"), colorForName(QStringLiteral("red")), 14, ratio));
    }
    if (item.id == m_copiedId && m_copiedOpacity > 0)
        paintCopiedBadge(painter, preview, option.font, m_copiedOpacity);
    painter->restore();
}

void CardDelegate::paintSurface(QPainter *painter, const QRect &card, const QPalette &palette) const
{
    // The shadow reaches a little beyond the card, most below it.
    const QMargins shadow(2, 2, 2, 4);
    const QColor material = withAlpha(palette.color(QPalette::Base), 0.85);
    const QColor hairline = withAlpha(palette.color(QPalette::WindowText), 0.08);
    const ShapeImageCache::Key key{surfaceShape, card.size().grownBy(shadow), material.rgba(), hairline.rgba(),
                                   painter->device()->devicePixelRatioF()};
    const QImage surface = m_shapes.image(key, [&](QPainter &shape) {
        const QRectF rect = QRectF(QRect(QPoint(shadow.left(), shadow.top()), card.size())).adjusted(0.5, 0.5, -0.5, -0.5);
        // A soft shadow (two faint layers stand in for a blur), then the thin material and its rim.
        shape.setPen(Qt::NoPen);
        shape.setBrush(QColor(0, 0, 0, 8));
        shape.drawRoundedRect(rect.translated(0, 2).adjusted(-1, -1, 1, 1), 17, 17);
        shape.setBrush(QColor(0, 0, 0, 6));
        shape.drawRoundedRect(rect.translated(0, 3), 16, 16);
        shape.setBrush(material);
        shape.setPen(QPen(QColor(255, 255, 255, 51), 0.5));
        shape.drawRoundedRect(rect, 16, 16);
        // White at 20 % vanishes on a light surface; a faint dark hairline keeps the edge.
        shape.setPen(QPen(hairline, 0.5));
        shape.setBrush(Qt::NoBrush);
        shape.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 15.5, 15.5);
    });
    painter->drawImage(card.topLeft() - QPoint(shadow.left(), shadow.top()), surface);
}

void CardDelegate::paintPreview(QPainter *painter, const QRect &box, const ClipboardItem &item, const PreviewLook &look,
                                const QStyleOptionViewItem &option) const
{
    const QPalette &palette = option.palette;
    const QColor primary = palette.color(QPalette::WindowText);
    const QColor secondary = palette.color(QPalette::PlaceholderText);
    const QRectF panel = QRectF(box);
    const QColor fill = look.fill.isValid() ? look.fill : withAlpha(colorForName(look.tintName), look.tintOpacity);
    const ShapeImageCache::Key key{panelShape, box.size(), fill.rgba(), 0, painter->device()->devicePixelRatioF()};
    painter->drawImage(box.topLeft(), m_shapes.image(key, [&](QPainter &shape) {
        shape.setPen(Qt::NoPen);
        shape.setBrush(fill);
        shape.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(box.size())), panelRadius, panelRadius);
    }));
    const QRect inner = box.adjusted(8, 8, -8, -8);

    switch (look.kind) {
    case PreviewKind::text:
    case PreviewKind::richText: {
        const QFont font = sized(option.font, 14);
        const QStringList lines = wrappedLines(look.body, font, inner.width(), std::min(look.maxLines, inner.height() / QFontMetrics(font).lineSpacing()));
        const int height = linesHeight(lines, font);
        drawLines(painter, lines, font, primary, QRect(inner.left(), inner.center().y() - height / 2, inner.width(), height),
                  Qt::AlignLeft);
        return;
    }
    case PreviewKind::image: {
        const qreal ratio = painter->device()->devicePixelRatioF();
        const QImage thumbnail = m_thumbnails.thumbnail(item, thumbnailPixelSize(ratio), panelRadius * ratio);
        if (thumbnail.isNull()) {
            paintSymbol(painter, box, look, option.font);
            return;
        }
        // The thumbnail comes with the panel's rounded corners cut out.
        painter->drawImage(panel, thumbnail);
        return;
    }
    case PreviewKind::code: {
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(caption(option.font).pointSizeF());
        const QFont languageFont = caption2(option.font);
        const QRect column = box.adjusted(8, 4, -8, -8);
        int top = column.top();
        if (!look.languageLine.isEmpty()) {
            painter->setFont(languageFont);
            painter->setPen(colorForName(QStringLiteral("orange")));
            const int height = QFontMetrics(languageFont).height();
            painter->drawText(QRect(column.left(), top, column.width(), height), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              look.languageLine);
            top += height + 2;
        }
        const QStringList lines = wrappedLines(look.body, mono, column.width(), look.maxLines);
        drawLines(painter, lines, mono, colorForName(QStringLiteral("green")), QRect(column.left(), top, column.width(), column.bottom() - top),
                  Qt::AlignLeft);
        return;
    }
    case PreviewKind::color: {
        const QFont font = caption(option.font, QFont::Bold);
        painter->setFont(font);
        const QString text = QFontMetrics(font).elidedText(look.body, Qt::ElideRight, inner.width());
        painter->setPen(QColor(0, 0, 0, 84));
        painter->drawText(inner.translated(0, 1), Qt::AlignCenter | Qt::TextSingleLine, text);
        painter->setPen(Qt::white);
        painter->drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, text);
        return;
    }
    case PreviewKind::emoji:
        paintSymbol(painter, box, look, option.font);
        return;
    case PreviewKind::file:
    case PreviewKind::multipleFiles:
    case PreviewKind::link:
    case PreviewKind::email:
    case PreviewKind::phone: {
        // A centred column: the big symbol, then the text.
        const bool medium = look.kind == PreviewKind::link || look.kind == PreviewKind::email || look.kind == PreviewKind::phone;
        const QFont font = caption(option.font, medium ? QFont::Medium : QFont::Normal);
        const QStringList lines = wrappedLines(look.body, font, inner.width(), look.maxLines);
        const int textHeight = linesHeight(lines, font);
        const int symbolHeight = int(look.symbolPointSize * 1.5);
        const int total = symbolHeight + 4 + textHeight;
        const int top = inner.center().y() - total / 2;
        paintSymbol(painter, QRect(inner.left(), top, inner.width(), symbolHeight), look, option.font);
        drawLines(painter, lines, font, medium ? primary : secondary, QRect(inner.left(), top + symbolHeight + 4, inner.width(), textHeight),
                  Qt::AlignHCenter);
        return;
    }
    }
}

void CardDelegate::paintSymbol(QPainter *painter, const QRect &box, const PreviewLook &look, const QFont &base) const
{
    if (look.symbol.isEmpty() && look.symbolFallback.isEmpty())
        return;
    if (emojiFontInstalled() && !look.symbol.isEmpty()) {
        const QFont font = sized(base, look.symbolPointSize);
        painter->setFont(font);
        painter->setPen(Qt::black);
        painter->drawText(box, Qt::AlignCenter | Qt::TextSingleLine,
                          QFontMetrics(font).elidedText(look.symbol, Qt::ElideRight, box.width()));
        return;
    }
    // No colour emoji on this desktop: a plain text sign where the font has one (the symbol
    // table draws no envelope, phone or face), else the kind's drawn symbol, at the emoji's size.
    static const QHash<QString, char32_t> signs{
        {QStringLiteral("envelope"), U'\u2709'},
        {QStringLiteral("phone"), U'\u260E'},
        {QStringLiteral("face.smiling"), U'\u263A'},
    };
    if (const auto sign = signs.constFind(look.symbolFallback); sign != signs.constEnd()) {
        const QFont font = sized(base, look.symbolPointSize * 0.8);
        if (QFontMetrics(font).inFontUcs4(*sign)) {
            painter->setFont(font);
            painter->setPen(QColor(0x8a, 0x8d, 0x91));
            painter->drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QString::fromUcs4(&*sign, 1));
            return;
        }
    }
    const int size = std::min({int(look.symbolPointSize * 1.2), box.height(), box.width()});
    const qreal ratio = painter->device()->devicePixelRatioF();
    painter->drawPixmap(QRect(box.center().x() - size / 2 + 1, box.center().y() - size / 2 + 1, size, size),
                        symbolIcon(look.symbolFallback).pixmap(QSize(size, size), ratio));
}

void CardDelegate::paintBadges(QPainter *painter, const QRect &row, const MetadataBadges &badges,
                               const QStyleOptionViewItem &option) const
{
    if (badges.isEmpty())
        return;
    const QFont font = caption2(option.font);
    const QFontMetrics metrics(font);
    painter->setFont(font);
    const qreal ratio = painter->device()->devicePixelRatioF();
    const int height = std::min(row.height(), metrics.height() + 2);
    const int top = row.center().y() - height / 2 + 1;
    int x = row.left();
    const int right = row.right() + 1;

    if (!badges.sourceApp.isEmpty()) {
        const QColor blue = colorForName(QStringLiteral("blue"));
        const int iconSize = 12;
        const int available = right - x - 8 - iconSize - 2;
        const QString name = metrics.elidedText(badges.sourceApp, Qt::ElideRight, std::max(0, available / 2));
        const int width = 4 + iconSize + 2 + metrics.horizontalAdvance(name) + 4;
        painter->setPen(Qt::NoPen);
        painter->setBrush(withAlpha(blue, 0.1));
        painter->drawRoundedRect(QRectF(x, top, width, height), 3, 3);
        QPixmap icon = appIcon(badges.sourceAppBundle, ratio);
        if (icon.isNull())
            icon = symbolIcon(QStringLiteral("app")).pixmap(QSize(iconSize, iconSize), ratio);
        painter->drawPixmap(QRect(x + 4, top + (height - iconSize) / 2, iconSize, iconSize), icon);
        painter->setPen(blue);
        painter->drawText(QRect(x + 4 + iconSize + 2, top, width, height), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
        x += width + 4;
    }
    if (!badges.fileCountText.isEmpty() && x < right) {
        painter->setPen(option.palette.color(QPalette::PlaceholderText));
        const QString text = metrics.elidedText(badges.fileCountText, Qt::ElideRight, right - x);
        painter->drawText(QRect(x, top, right - x, height), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        x += metrics.horizontalAdvance(text) + 4;
    }
    if (!badges.language.isEmpty() && x + 16 < right) {
        const QColor orange = colorForName(QStringLiteral("orange"));
        const QString text = metrics.elidedText(badges.language, Qt::ElideRight, right - x - 8);
        const int width = metrics.horizontalAdvance(text) + 8;
        painter->setPen(Qt::NoPen);
        painter->setBrush(withAlpha(orange, 0.1));
        painter->drawRoundedRect(QRectF(x, top, width, height), 3, 3);
        painter->setPen(orange);
        painter->drawText(QRect(x + 4, top, width - 8, height), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
}

void CardDelegate::paintCopiedBadge(QPainter *painter, const QRect &preview, const QFont &base, qreal opacity) const
{
    const QFont font = caption(base, QFont::Medium);
    const QFontMetrics metrics(font);
    const QString text = QStringLiteral("Copied!");
    const int iconSize = 12;
    const int width = 8 + iconSize + 4 + metrics.horizontalAdvance(text) + 8;
    const int height = metrics.height() + 8;
    const QRect badge(preview.center().x() - width / 2, preview.bottom() - height - 6, width, height);
    painter->save();
    painter->setOpacity(opacity);
    painter->setPen(Qt::NoPen);
    const QColor accent = m_accent.isValid() ? m_accent : colorForName(QStringLiteral("blue"));
    painter->setBrush(withAlpha(accent, 0.8));
    painter->drawRoundedRect(QRectF(badge), height / 2.0, height / 2.0);
    const qreal ratio = painter->device()->devicePixelRatioF();
    painter->drawPixmap(QRect(badge.left() + 8, badge.center().y() - iconSize / 2 + 1, iconSize, iconSize),
                        symbolPixmap(QStringLiteral("checkmark.circle.fill"), Qt::white, iconSize, ratio));
    painter->setFont(font);
    painter->setPen(Qt::white);
    painter->drawText(badge.adjusted(8 + iconSize + 4, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}

QPixmap CardDelegate::appIcon(const QString &bundle, qreal devicePixelRatio) const
{
    if (bundle.isEmpty() || !m_appIconLookup)
        return {};
    const auto known = m_appIcons.constFind(bundle);
    if (known != m_appIcons.constEnd())
        return *known;
    const QImage image = m_appIconLookup(bundle);
    QPixmap pixmap;
    if (!image.isNull()) {
        const int pixels = int(12 * devicePixelRatio + 0.5);
        pixmap = QPixmap::fromImage(image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(devicePixelRatio);
    }
    m_appIcons.insert(bundle, pixmap);
    return pixmap;
}

} // namespace snipbrook
