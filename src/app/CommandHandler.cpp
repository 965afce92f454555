#include "CommandHandler.h"
#include "core/BackgroundPool.h"

#include "ItemListing.h"
#include "ItemsFile.h"
#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "core/Async.h"
#include "model/TerminalText.h"
#include "model/Uuid.h"

#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <utility>

namespace snipbrook {
namespace {

// The results with their items' data read back; those whose data could not be read (logged) go.
QList<SimilaritySearchResult> withItems(const QList<SimilaritySearchResult> &results, const QFuture<QList<ClipboardItem>> &read)
{
    QHash<QUuid, ClipboardItem> full;
    if (read.resultCount() > 0)
        for (const ClipboardItem &item : read.result())
            full.insert(item.id, item);
    QList<SimilaritySearchResult> kept;
    for (SimilaritySearchResult result : results) {
        const auto it = full.constFind(result.item.id);
        if (it == full.constEnd())
            continue;
        result.item = *it;
        kept.append(std::move(result));
    }
    return kept;
}

// Long enough for a search by meaning over a large history on a slow machine.
constexpr int searchTimeoutMs = 25000;
// The first load of the history normally takes milliseconds; a legacy import can take longer.
constexpr int historyLoadTimeoutMs = 60000;

CliResponse noSuchItem(const QString &target)
{
    return CliResponse::failed(QStringLiteral("snipbrook: no item ") + terminalField(target));
}

CliResponse settingsNotSaved()
{
    return CliResponse::failed(QStringLiteral("snipbrook: the settings file could not be written, nothing changed"));
}

// An import reads its whole file at once: a quarter of a gigabyte is far more than any history.
constexpr qint64 maxImportFileBytes = 256LL * 1024 * 1024;
// One item may be as large as one request to the instance.
constexpr qint64 maxItemBytes = maxRequestBytes;

bool needsHistory(const QString &command)
{
    static const QStringList commands{QStringLiteral("list"),   QStringLiteral("search"),   QStringLiteral("copy"),
                                      QStringLiteral("add"),    QStringLiteral("import"),   QStringLiteral("delete"),
                                      QStringLiteral("favorite"), QStringLiteral("dedupe"), QStringLiteral("clear")};
    return commands.contains(command);
}

} // namespace

CommandHandler::CommandHandler(ClipboardManager &clipboard, ConfigurationManager &configuration, Hooks hooks,
                               QObject *parent)
    : QObject(parent), m_clipboard(clipboard), m_configuration(configuration), m_hooks(std::move(hooks))
{
}

void CommandHandler::handle(const CliRequest &request, const InstanceServer::Reply &reply)
{
    const QString &command = request.command;
    const QJsonObject &args = request.args;
    if (needsHistory(command) && !m_clipboard.isLoaded()) {
        handleOnceLoaded(request, reply);
    } else if (command == QLatin1String("list")) {
        list(args, reply);
    } else if (command == QLatin1String("search")) {
        search(args, reply);
    } else if (command == QLatin1String("copy")) {
        copy(args, reply);
    } else if (command == QLatin1String("add")) {
        add(args, reply);
    } else if (command == QLatin1String("import")) {
        importFile(args, reply);
    } else if (command == QLatin1String("delete")) {
        remove(args, reply);
    } else if (command == QLatin1String("favorite")) {
        favorite(args, reply);
    } else if (command == QLatin1String("dedupe")) {
        dedupe(reply);
    } else if (command == QLatin1String("clear")) {
        answerWhenStored(m_clipboard.clearAllHistory(), reply, QStringLiteral("Cleared the whole history."));
    } else if (command == QLatin1String("ignore")) {
        ignore(args, reply);
    } else if (command == QLatin1String("status")) {
        reply(CliResponse::ok(m_hooks.statusText ? m_hooks.statusText() : QString()));
    } else if (command == QLatin1String("activate")) {
        // Started again from the application menu: the user wants to see it. Not so for a start
        // at login that finds Snipbrook running already.
        if (!args.value(QLatin1String("background")).toBool() && m_hooks.showMainWindow)
            m_hooks.showMainWindow();
        reply(CliResponse::ok(QStringLiteral("Snipbrook is already running.")));
    } else if (command == QLatin1String("popup")) {
        if (m_hooks.showQuickAccess && m_hooks.showQuickAccess())
            reply(CliResponse::ok(QString()));
        else
            reply(CliResponse::failed(QStringLiteral("snipbrook: the quick-access panel needs a display")));
    } else if (command == QLatin1String("show") || command == QLatin1String("hide")) {
        const auto &hook = command == QLatin1String("show") ? m_hooks.showMainWindow : m_hooks.hideMainWindow;
        if (hook && hook())
            reply(CliResponse::ok(QString()));
        else
            reply(CliResponse::failed(QStringLiteral("snipbrook: the main window needs a display")));
    } else if (command == QLatin1String("settings")) {
        if (m_hooks.showSettings && m_hooks.showSettings())
            reply(CliResponse::ok(QString()));
        else
            reply(CliResponse::failed(QStringLiteral("snipbrook: the settings window needs a display")));
    } else if (command == QLatin1String("quit")) {
        reply(CliResponse::ok(QStringLiteral("Snipbrook is quitting.")));
        if (m_hooks.quit)
            m_hooks.quit();
    } else {
        reply(CliResponse{exitBadUsage, {},
                          QStringLiteral("snipbrook: unknown command '") + terminalField(command) + QLatin1Char('\'')});
    }
}

// A command that reads or changes the history right after start-up must not see it half loaded.
void CommandHandler::handleOnceLoaded(const CliRequest &request, const InstanceServer::Reply &reply)
{
    auto answered = std::make_shared<bool>(false);
    whenFinished(m_clipboard.loaded(), this, [this, request, reply, answered](const QFuture<void> &) {
        if (std::exchange(*answered, true))
            return;
        if (m_clipboard.isLoaded())
            handle(request, reply);
        else
            reply(CliResponse::failed(QStringLiteral("snipbrook: the history could not be loaded")));
    });
    QTimer::singleShot(historyLoadTimeoutMs, this, [reply, answered] {
        if (std::exchange(*answered, true))
            return;
        reply(CliResponse::failed(QStringLiteral("snipbrook: the history is still loading, try again in a moment")));
    });
}

void CommandHandler::answerWhenStored(const QFuture<bool> &stored, const InstanceServer::Reply &reply, const QString &done)
{
    whenFinished(stored, this, [reply, done](const QFuture<bool> &future) {
        if (future.resultCount() > 0 && future.result())
            reply(CliResponse::ok(done));
        else
            reply(CliResponse::failed(QStringLiteral("snipbrook: the change could not be stored (see the log)")));
    });
}

std::optional<ClipboardItem> CommandHandler::resolveTarget(const QString &target, bool allowPosition) const
{
    const QList<ClipboardItem> &items = m_clipboard.clipboardItems();
    if (allowPosition) {
        bool isNumber = false;
        const qlonglong position = target.toLongLong(&isNumber);
        if (isNumber)
            return position >= 0 && position < items.size() ? std::optional(items.at(position)) : std::nullopt;
    }
    const auto id = parseUuid(target.trimmed());
    if (!id)
        return std::nullopt;
    return m_clipboard.findItem(*id);
}

void CommandHandler::list(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString category = args.value(QLatin1String("category")).toString(QStringLiteral("All"));
    QList<ClipboardItem> items = m_clipboard.itemsForCategory(category);
    if (args.contains(QLatin1String("limit")))
        items = items.mid(0, args.value(QLatin1String("limit")).toInt());
    if (!args.value(QLatin1String("json")).toBool()) {
        reply(CliResponse::ok(itemLines(items)));
        return;
    }
    // JSON carries each image's data, which the history may have left in the store.
    whenFinished(m_clipboard.withContents(items), this, [reply](const QFuture<QList<ClipboardItem>> &read) {
        reply(CliResponse::ok(terminalJson(itemsJson(read.resultCount() > 0 ? read.result() : QList<ClipboardItem>{}))));
    });
}

void CommandHandler::search(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString query = args.value(QLatin1String("query")).toString();
    const bool useSemantic = !args.value(QLatin1String("keyword")).toBool();
    const bool json = args.value(QLatin1String("json")).toBool();

    // A search of its own: the published results belong to the views.
    auto answered = std::make_shared<bool>(false);
    whenFinished(m_clipboard.findItems(query, useSemantic), this,
                 [this, reply, json, answered](const QFuture<QList<SimilaritySearchResult>> &future) {
                     if (std::exchange(*answered, true))
                         return;
                     const QList<SimilaritySearchResult> results =
                         future.resultCount() > 0 ? future.result() : QList<SimilaritySearchResult>{};
                     if (!json) {
                         reply(CliResponse::ok(resultLines(results)));
                         return;
                     }
                     QList<ClipboardItem> items;
                     for (const SimilaritySearchResult &result : results)
                         items.append(result.item);
                     whenFinished(m_clipboard.withContents(items), this,
                                  [reply, results](const QFuture<QList<ClipboardItem>> &read) {
                                      reply(CliResponse::ok(terminalJson(resultsJson(withItems(results, read)))));
                                  });
                 });
    QTimer::singleShot(searchTimeoutMs, this, [reply, answered] {
        if (!std::exchange(*answered, true))
            reply(CliResponse::failed(QStringLiteral("snipbrook: the search did not finish in time")));
    });
}

void CommandHandler::copy(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString target = args.value(QLatin1String("target")).toString();
    const auto item = resolveTarget(target, true);
    if (!item) {
        reply(noSuchItem(target));
        return;
    }
    const QString kind = displayName(item->type);
    m_clipboard.copyItem(*item, [reply, kind](bool written) {
        if (written)
            reply(CliResponse::ok(QStringLiteral("Copied ") + kind + QStringLiteral(" to the clipboard.")));
        else
            reply(CliResponse::failed(QStringLiteral("snipbrook: could not write to the clipboard")));
    });
}

void CommandHandler::add(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    if (args.value(QLatin1String("lines")).toBool()) {
        addLines(args.value(QLatin1String("text")).toString(), reply);
        return;
    }
    // Classifying a large text takes a while: off the main thread, like a copy.
    const QFuture<std::optional<ClipboardItem>> classified =
        runOnPool(backgroundPool(), [clipboard = &m_clipboard, text = args.value(QLatin1String("text")).toString()] {
            return clipboard->itemForText(text);
        });
    whenFinished(classified, this, [this, reply](const QFuture<std::optional<ClipboardItem>> &future) {
        const std::optional<ClipboardItem> item = future.resultCount() > 0 ? future.result() : std::nullopt;
        if (!item) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: nothing to add, the text is blank")));
            return;
        }
        answerWhenStored(m_clipboard.addItem(*item), reply,
                         QStringLiteral("Added ") + uuidString(item->id) + QStringLiteral(" (") + rawValue(item->type) + QLatin1Char(')'));
    });
}

void CommandHandler::addLines(const QString &text, const InstanceServer::Reply &reply)
{
    QList<ClipboardItem> items;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (const auto item = m_clipboard.itemForText(line.toString()))
            items.append(*item);
    }
    if (items.isEmpty()) {
        reply(CliResponse::failed(QStringLiteral("snipbrook: nothing to add, every line is blank")));
        return;
    }
    whenFinished(m_clipboard.addItems(items), this, [reply, count = items.size()](const QFuture<BatchInsertResult> &future) {
        if (future.resultCount() == 0 || !future.result().saved) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: the items could not be stored (see the log)")));
            return;
        }
        reply(CliResponse::ok(QStringLiteral("Added %1 item%2.").arg(count).arg(count == 1 ? "" : "s")));
    });
}

void CommandHandler::importFile(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString path = args.value(QLatin1String("file")).toString();
    const QFuture<ItemsFile> read = runOnPool(backgroundPool(), [path] {
        return readItemsFile(path, maxImportFileBytes, maxItemBytes);
    });
    whenFinished(read, this, [this, reply](const QFuture<ItemsFile> &future) {
        const ItemsFile file = future.resultCount() > 0 ? future.result() : ItemsFile{QStringLiteral("the file could not be read"), {}};
        if (file.error) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: ") + terminalField(*file.error)));
            return;
        }
        QStringList skipped;
        if (file.unreadable > 0)
            skipped.append(QStringLiteral("%1 not in the item form").arg(file.unreadable));
        if (file.repeated > 0)
            skipped.append(QStringLiteral("%1 with a repeated id").arg(file.repeated));
        if (file.tooLarge > 0)
            skipped.append(QStringLiteral("%1 too large").arg(file.tooLarge));
        if (file.items.isEmpty()) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: nothing to import") +
                                      (skipped.isEmpty() ? QString() : QStringLiteral(" (skipped: ") + skipped.join(QStringLiteral(", ")) + QLatin1Char(')'))));
            return;
        }
        whenFinished(m_clipboard.importItems(file.items), this,
                     [reply, skipped](const QFuture<BatchInsertResult> &stored) {
                         if (stored.resultCount() == 0 || !stored.result().saved) {
                             reply(CliResponse::failed(QStringLiteral("snipbrook: the items could not be stored (see the log)")));
                             return;
                         }
                         QStringList notes = skipped;
                         if (stored.result().skipped > 0)
                             notes.prepend(QStringLiteral("%1 already stored").arg(stored.result().skipped));
                         reply(CliResponse::ok(QStringLiteral("Imported %1 item%2.").arg(stored.result().inserted)
                                                   .arg(stored.result().inserted == 1 ? "" : "s") +
                                               (notes.isEmpty() ? QString() : QStringLiteral(" Skipped: ") + notes.join(QStringLiteral(", ")) + QLatin1Char('.'))));
                     });
    });
}

void CommandHandler::remove(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString target = args.value(QLatin1String("target")).toString();
    const auto item = resolveTarget(target, false);
    if (!item) {
        reply(noSuchItem(target));
        return;
    }
    answerWhenStored(m_clipboard.deleteItem(item->id), reply, QStringLiteral("Deleted ") + uuidString(item->id) + QLatin1Char('.'));
}

void CommandHandler::favorite(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString target = args.value(QLatin1String("target")).toString();
    const auto item = resolveTarget(target, false);
    if (!item) {
        reply(noSuchItem(target));
        return;
    }
    const QString text = (item->isFavorite ? QStringLiteral("Unmarked ") : QStringLiteral("Marked ")) + uuidString(item->id) +
                         QStringLiteral(" as a favourite.");
    answerWhenStored(m_clipboard.toggleFavorite(item->id), reply, text);
}

void CommandHandler::dedupe(const InstanceServer::Reply &reply)
{
    const qsizetype before = m_clipboard.clipboardItems().size();
    const QFuture<int> deleted = m_clipboard.removeDuplicates();
    const qsizetype shown = before - m_clipboard.clipboardItems().size();
    whenFinished(deleted, this, [reply, shown](const QFuture<int> &future) {
        // Stored duplicates older than the history count too.
        const qsizetype removed = std::max<qsizetype>(shown, future.resultCount() > 0 ? future.result() : 0);
        reply(CliResponse::ok(QStringLiteral("Removed %1 duplicate item%2.").arg(removed).arg(removed == 1 ? "" : "s")));
    });
}

void CommandHandler::ignore(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString action = args.value(QLatin1String("action")).toString();
    const QString bundle = args.value(QLatin1String("bundle")).toString();
    if (action == QLatin1String("add")) {
        if (!m_configuration.addBlacklistedBundleId(bundle)) {
            reply(settingsNotSaved());
            return;
        }
        reply(CliResponse::ok(QStringLiteral("Ignoring copies from ") + terminalField(bundle) + QLatin1Char('.')));
    } else if (action == QLatin1String("remove")) {
        const QStringList before = m_configuration.configuration().settings.blacklistedBundleIdsOrEmpty();
        if (!before.contains(bundle)) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: ") + terminalField(bundle) + QStringLiteral(" is not ignored")));
            return;
        }
        if (!m_configuration.removeBlacklistedBundleId(bundle)) {
            reply(settingsNotSaved());
            return;
        }
        reply(CliResponse::ok(QStringLiteral("No longer ignoring ") + terminalField(bundle) + QLatin1Char('.')));
    } else {
        // One entry a line: an entry from a hand-edited settings file must not make more.
        QStringList entries = m_configuration.configuration().settings.blacklistedBundleIdsOrEmpty();
        for (QString &entry : entries)
            entry = terminalField(entry);
        reply(CliResponse::ok(entries.join(QLatin1Char('\n'))));
    }
}

} // namespace snipbrook
