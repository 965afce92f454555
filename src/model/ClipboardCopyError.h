#pragma once

#include <QString>

namespace snipbrook {

// Why writing an item back to the clipboard failed.
class ClipboardCopyError {
public:
    enum class Kind { pasteboardError, invalidImageData, invalidFileURL, unknownType };

    static ClipboardCopyError pasteboardError(QString message) { return {Kind::pasteboardError, std::move(message)}; }
    static ClipboardCopyError invalidImageData() { return {Kind::invalidImageData, {}}; }
    static ClipboardCopyError invalidFileURL() { return {Kind::invalidFileURL, {}}; }
    static ClipboardCopyError unknownType() { return {Kind::unknownType, {}}; }

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }
    QString description() const;

    bool operator==(const ClipboardCopyError &) const = default;

private:
    ClipboardCopyError(Kind kind, QString message) : m_kind(kind), m_message(std::move(message)) {}

    Kind m_kind;
    QString m_message;
};

} // namespace snipbrook
