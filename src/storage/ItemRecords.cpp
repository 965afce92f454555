#include "ItemRecords.h"

#include "Sqlite.h"

#include "model/ReferenceDate.h"
#include "model/UnicodeText.h"
#include "model/Uuid.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

namespace snipbrook::itemRecords {
namespace {

#define SELECT_ITEMS                                                                                   \
    "SELECT i.recordId, i.id, i.type, i.content, i.preview, i.timestamp, i.isFavorite, m.recordId, "  \
    "m.size, m.fileCount, m.colorValue, m.url, m.language, m.sourceApp, m.sourceAppBundle, "           \
    "m.sourceProcessID, m.embeddingVersion "                                                          \
    "FROM ClipboardItemEntity i LEFT JOIN ClipboardMetadataEntity m ON m.clipboardItem = i.recordId "
#define NEWEST_FIRST " ORDER BY i.timestamp DESC, i.recordId DESC"

const QString imageType = QStringLiteral("image");

std::optional<QDateTime> readTimestamp(const SqliteStatement &row, int column)
{
    if (!row.isNumber(column))
        return std::nullopt;
    const QDateTime date = dateFromReferenceSeconds(row.real(column));
    return date.isValid() ? std::optional(date) : std::nullopt;
}

// Texts that thousands of rows repeat (types, application names and identifiers, languages)
// read once per query and shared, which saves both the allocations and the memory.
class RepeatedTexts {
public:
    std::optional<QString> read(const SqliteStatement &row, int column)
    {
        if (row.isNull(column))
            return std::nullopt;
        const std::string_view bytes = row.utf8(column);
        if (bytes.size() > longest)
            return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        const auto known = m_texts.find(bytes);
        if (known != m_texts.end())
            return known->second;
        const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        if (m_texts.size() < capacity)
            m_texts.emplace(std::string(bytes), text);
        return text;
    }

private:
    static constexpr size_t longest = 128;
    static constexpr size_t capacity = 4096;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_texts;
};

// What a read does with the data of large images.
enum class ImageData { read, leftOut };

ClipboardItemEntity readEntity(const SqliteStatement &row, RepeatedTexts &repeated, ImageData images = ImageData::read)
{
    ClipboardItemEntity entity;
    entity.recordId = row.int64(0);
    if (!row.isNull(1)) {
        const std::string_view idText = row.utf8(1);
        entity.id = parseUuid(QUtf8StringView(idText.data(), qsizetype(idText.size())));
    }
    entity.type = repeated.read(row, 2);
    if (images == ImageData::leftOut && entity.type == imageType && !row.isNull(3) &&
        qsizetype(row.utf8(3).size()) > largeImageContentBytes) {
        // Hashed straight from the store's UTF-8 text: the picture is never copied into memory.
        const std::string_view stored = row.utf8(3);
        entity.contentDigest = contentDigest(QByteArrayView(stored.data(), qsizetype(stored.size())));
        entity.content = QString();
        entity.preview = QString();
    } else {
        entity.content = row.optionalText(3);
        // Stored once: a missing preview is the content itself (and shares its text).
        entity.preview = row.isNull(4) ? entity.content : row.optionalText(4);
    }
    entity.timestamp = readTimestamp(row, 5);
    entity.isFavorite = row.int64(6) != 0;
    if (!row.isNull(7)) {
        ClipboardMetadataEntity metadata;
        metadata.size = row.int64(8);
        metadata.fileCount = row.int64(9);
        metadata.colorValue = repeated.read(row, 10);
        metadata.url = row.optionalText(11);
        metadata.language = repeated.read(row, 12);
        metadata.sourceApp = repeated.read(row, 13);
        metadata.sourceAppBundle = repeated.read(row, 14);
        // Beyond 32 bits is not a process id; it reads as absent.
        const qint64 pid = row.int64(15);
        metadata.sourceProcessID = pid == static_cast<qint32>(pid) ? static_cast<qint32>(pid) : 0;
        metadata.embeddingVersion = repeated.read(row, 16);
        entity.metadata = metadata;
    }
    return entity;
}

QList<ClipboardItemEntity> readAll(SqliteStatement &statement, ImageData images = ImageData::read)
{
    QList<ClipboardItemEntity> entities;
    RepeatedTexts repeated;
    while (statement.step())
        entities.append(readEntity(statement, repeated, images));
    return entities;
}

// The folded copy keyword search compares with, or nothing when the text folds to itself (search
// then reads the text) or is an image's (never searched).
std::optional<QString> folded(const ClipboardItemEntity &entity, const std::optional<QString> &text)
{
    if (!text || entity.type == imageType)
        return std::nullopt;
    QString foldedText = foldCaseAndDiacritics(*text);
    if (foldedText == *text)
        return std::nullopt;
    return foldedText;
}

// The preview as stored: nothing when it is the content itself.
std::optional<QString> storedPreview(const ClipboardItemEntity &entity)
{
    if (entity.preview && entity.content && *entity.preview == *entity.content)
        return std::nullopt;
    return entity.preview;
}

// Binds the item columns in the order of the INSERT and UPDATE statements below, from `first` on.
void bindItemColumns(SqliteStatement &statement, int first, const ClipboardItemEntity &entity)
{
    // Writing it would replace the stored picture with nothing.
    if (!entity.contentDigest.isEmpty())
        throw SqliteError(SQLITE_MISUSE, QStringLiteral("a record read without its image data cannot be written"));
    if (entity.id)
        statement.bind(first, uuidString(*entity.id));
    else
        statement.bindNull(first);
    statement.bind(first + 1, entity.type);
    statement.bind(first + 2, entity.content);
    const std::optional<QString> preview = storedPreview(entity);
    statement.bind(first + 3, preview);
    if (entity.timestamp)
        statement.bind(first + 4, referenceSecondsFromDate(*entity.timestamp));
    else
        statement.bindNull(first + 4);
    statement.bind(first + 5, qint64(entity.isFavorite ? 1 : 0));
    statement.bind(first + 6, folded(entity, entity.content));
    statement.bind(first + 7, folded(entity, preview));
}

void writeMetadata(SqliteDatabase &db, qint64 recordId, const std::optional<ClipboardMetadataEntity> &metadata)
{
    if (!metadata) {
        auto statement = db.query("DELETE FROM ClipboardMetadataEntity WHERE clipboardItem = ?1");
        statement->bind(1, recordId);
        statement->run();
        return;
    }
    auto statement = db.query(
        "INSERT INTO ClipboardMetadataEntity (clipboardItem, size, fileCount, colorValue, url, language, "
        "sourceApp, sourceAppBundle, sourceProcessID, embeddingVersion) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) "
        "ON CONFLICT(clipboardItem) DO UPDATE SET size = excluded.size, fileCount = excluded.fileCount, "
        "colorValue = excluded.colorValue, url = excluded.url, language = excluded.language, "
        "sourceApp = excluded.sourceApp, sourceAppBundle = excluded.sourceAppBundle, "
        "sourceProcessID = excluded.sourceProcessID, embeddingVersion = excluded.embeddingVersion");
    statement->bind(1, recordId);
    statement->bind(2, metadata->size);
    statement->bind(3, metadata->fileCount);
    statement->bind(4, metadata->colorValue);
    statement->bind(5, metadata->url);
    statement->bind(6, metadata->language);
    statement->bind(7, metadata->sourceApp);
    statement->bind(8, metadata->sourceAppBundle);
    statement->bind(9, qint64(metadata->sourceProcessID));
    statement->bind(10, metadata->embeddingVersion);
    statement->run();
}

} // namespace

std::optional<ClipboardItemEntity> find(SqliteDatabase &db, const QUuid &id)
{
    auto statement = db.query(SELECT_ITEMS "WHERE i.id = ?1 LIMIT 1");
    statement->bind(1, uuidString(id));
    if (!statement->step())
        return std::nullopt;
    RepeatedTexts repeated;
    return readEntity(*statement, repeated);
}

QList<ClipboardItemEntity> newest(SqliteDatabase &db, qint64 limit)
{
    auto statement = db.query(SELECT_ITEMS NEWEST_FIRST " LIMIT ?1");
    statement->bind(1, limit > 0 ? limit : qint64(-1));
    return readAll(*statement);
}

QList<ClipboardItemEntity> newestForHistory(SqliteDatabase &db, qint64 limit)
{
    auto statement = db.query(SELECT_ITEMS NEWEST_FIRST " LIMIT ?1");
    statement->bind(1, limit > 0 ? limit : qint64(-1));
    return readAll(*statement, ImageData::leftOut);
}

QList<ClipboardItemEntity> favorites(SqliteDatabase &db)
{
    auto statement = db.query(SELECT_ITEMS "WHERE i.isFavorite = 1" NEWEST_FIRST);
    return readAll(*statement);
}

QList<QUuid> ids(SqliteDatabase &db)
{
    auto statement = db.query("SELECT id FROM ClipboardItemEntity");
    QList<QUuid> result;
    while (statement->step()) {
        if (const auto text = statement->optionalText(0))
            if (const auto id = parseUuid(*text))
                result.append(*id);
    }
    return result;
}

QList<ClipboardItemEntity> withIds(SqliteDatabase &db, const QList<QUuid> &ids)
{
    QList<ClipboardItemEntity> records;
    RepeatedTexts repeated;
    auto statement = db.query(SELECT_ITEMS "WHERE i.id = ?1");
    for (const QUuid &id : ids) {
        statement->reset();
        statement->bind(1, uuidString(id));
        if (statement->step())
            records.append(readEntity(*statement, repeated));
    }
    std::sort(records.begin(), records.end(), [](const ClipboardItemEntity &a, const ClipboardItemEntity &b) {
        const double at = a.timestamp ? double(a.timestamp->toMSecsSinceEpoch()) : 0.0;
        const double bt = b.timestamp ? double(b.timestamp->toMSecsSinceEpoch()) : 0.0;
        return at != bt ? at > bt : a.recordId > b.recordId;
    });
    return records;
}

QList<ClipboardItemEntity> containing(SqliteDatabase &db, const QString &foldedQuery)
{
    // contains_text() compares plain text, so %, _, quotes and backslashes in a query are just
    // characters. Every row is tested anyway, so the table is read in storage order and only the
    // hits are sorted ("+" keeps the timestamp index out of it).
    auto statement = db.query(SELECT_ITEMS
                              "WHERE i.type IS NOT 'image' "
                              "AND (contains_text(coalesce(i.foldedContent, i.content), ?1) "
                              "OR contains_text(coalesce(i.foldedPreview, i.preview), ?1)) "
                              "ORDER BY +i.timestamp DESC, i.recordId DESC");
    statement->bind(1, foldedQuery);
    return readAll(*statement);
}

bool insertUnlessStored(SqliteDatabase &db, const ClipboardItemEntity &entity)
{
    {
        auto statement = db.query(
            "INSERT INTO ClipboardItemEntity (id, type, content, preview, timestamp, isFavorite, foldedContent, "
            "foldedPreview) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT(id) DO NOTHING");
        bindItemColumns(*statement, 1, entity);
        statement->run();
    }
    if (db.changes() == 0)
        return false;
    if (entity.metadata)
        writeMetadata(db, db.lastInsertRowId(), entity.metadata);
    return true;
}

void update(SqliteDatabase &db, const ClipboardItemEntity &entity)
{
    {
        auto statement = db.query(
            "UPDATE ClipboardItemEntity SET id = ?2, type = ?3, content = ?4, preview = ?5, timestamp = ?6, "
            "isFavorite = ?7, foldedContent = ?8, foldedPreview = ?9 WHERE recordId = ?1");
        statement->bind(1, entity.recordId);
        bindItemColumns(*statement, 2, entity);
        statement->run();
    }
    if (db.changes() > 0)
        writeMetadata(db, entity.recordId, entity.metadata);
}

QList<QUuid> removeOlderThan(SqliteDatabase &db, const QDateTime &cutoff)
{
    const double before = referenceSecondsFromDate(cutoff);
    QList<QUuid> removed;
    {
        auto statement = db.query("SELECT id FROM ClipboardItemEntity WHERE isFavorite = 0 AND typeof(timestamp) IN "
                                  "('real', 'integer') AND timestamp < ?1");
        statement->bind(1, before);
        while (statement->step())
            if (const auto text = statement->optionalText(0))
                if (const auto id = parseUuid(*text))
                    removed.append(*id);
    }
    auto statement = db.query("DELETE FROM ClipboardItemEntity WHERE isFavorite = 0 AND typeof(timestamp) IN "
                              "('real', 'integer') AND timestamp < ?1");
    statement->bind(1, before);
    statement->run();
    return removed;
}

void remove(SqliteDatabase &db, qint64 recordId)
{
    auto statement = db.query("DELETE FROM ClipboardItemEntity WHERE recordId = ?1");
    statement->bind(1, recordId);
    statement->run();
}

qint64 removeAll(SqliteDatabase &db)
{
    // The metadata records first, so that deleting the items has no cascade left to run.
    db.query("DELETE FROM ClipboardMetadataEntity")->run();
    db.query("DELETE FROM ClipboardItemEntity")->run();
    return db.changes();
}

} // namespace snipbrook::itemRecords
