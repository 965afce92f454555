#pragma once

#include "model/ClipboardItem.h"

#include <QColor>
#include <QString>

#include <optional>

namespace snipbrook {

// What a card's preview shows for an item, as plain data for the delegate that paints it: the
// shape (which kind of preview), the panel's tint, the big symbol line and the text block, already
// cut to what can be drawn, so painting never lays out more than a few hundred characters.

enum class PreviewKind { text, richText, image, file, multipleFiles, link, code, email, phone, color, emoji };

struct PreviewLook {
    PreviewKind kind = PreviewKind::text;
    // The panel behind the preview: a named colour ("gray", "blue", ...) at an opacity. The code
    // and colour previews fill their panel themselves (fill below).
    QString tintName;
    qreal tintOpacity = 0;
    QColor fill; // code: black at 0.9; colour: the parsed colour, or red at 0.7
    // The large line above the text ("📧", the file emoji, the emoji item itself); empty for none.
    QString symbol;
    qreal symbolPointSize = 0;
    // The drawn stand-in for the symbol on a desktop without an emoji font.
    QString symbolFallback;
    // The text block, cut to at most `maxLines` lines of bounded length.
    QString body;
    int maxLines = 0;
    bool centred = false;
    // Code only: the language in upper case, empty when there is none or it is "unknown".
    QString languageLine;
};

// Longest line a preview keeps; anything longer cannot show on a card anyway.
inline constexpr int previewLineChars = 300;

// The preview for an item, chosen by its kind.
PreviewLook previewFor(const ClipboardItem &item);

// The first `maxLines` lines of the text, each cut to `maxChars`, with control characters (other
// than line breaks and tabs) shown as spaces. Reads no further than it keeps, so a 5 MB single
// line costs what its first few hundred characters cost.
QString cutForPreview(const QString &text, int maxLines, int maxChars = previewLineChars);

// A colour written as #RGB, #RRGGBB or #RRGGBBAA (the hash optional, white space around ignored);
// nothing for anything else.
std::optional<QColor> parseHexColor(const QString &text);

// The badges under a preview, each present only when its condition holds.
struct MetadataBadges {
    // Source application: shown when named and not "Unknown"; the bundle finds its icon.
    QString sourceApp;
    QString sourceAppBundle;
    // "2 files": only for more than one file.
    QString fileCountText;
    // The language as recorded: only when present and not "unknown".
    QString language;

    bool isEmpty() const { return sourceApp.isEmpty() && fileCountText.isEmpty() && language.isEmpty(); }
};

MetadataBadges metadataBadges(const SharedOptional<ClipboardMetadata> &metadata, ClipboardItemType type);

// What a screen reader hears for the card: the preview text on one line, or "Image" for images.
QString cardAccessibleText(const ClipboardItem &item);

} // namespace snipbrook
