#include "CommandHandler.h"

#include "ItemListing.h"
#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "model/Uuid.h"

#include <QJsonDocument>
#include <QPointer>
#include <QTimer>

namespace snipbrook {
namespace {

// Long enough for a search by meaning over a large history on a slow machine.
constexpr int searchTimeoutMs = 25000;

QString compactJson(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

CliResponse noSuchItem(const QString &target)
{
    return CliResponse::failed(QStringLiteral("snipbrook: no item ") + target);
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
    if (command == QLatin1String("list")) {
        list(args, reply);
    } else if (command == QLatin1String("search")) {
        search(args, reply);
    } else if (command == QLatin1String("copy")) {
        copy(args, reply);
    } else if (command == QLatin1String("add")) {
        add(args, reply);
    } else if (command == QLatin1String("delete")) {
        remove(args, reply);
    } else if (command == QLatin1String("favorite")) {
        favorite(args, reply);
    } else if (command == QLatin1String("dedupe")) {
        dedupe(reply);
    } else if (command == QLatin1String("clear")) {
        m_clipboard.clearAllHistory();
        reply(CliResponse::ok(QStringLiteral("Cleared the whole history.")));
    } else if (command == QLatin1String("ignore")) {
        ignore(args, reply);
    } else if (command == QLatin1String("status")) {
        reply(CliResponse::ok(m_hooks.statusText ? m_hooks.statusText() : QString()));
    } else if (command == QLatin1String("activate")) {
        reply(CliResponse::ok(QStringLiteral("Snipbrook is already running.")));
    } else if (command == QLatin1String("quit")) {
        reply(CliResponse::ok(QStringLiteral("Snipbrook is quitting.")));
        if (m_hooks.quit)
            m_hooks.quit();
    } else {
        reply(CliResponse{exitBadUsage, {}, QStringLiteral("snipbrook: unknown command '") + command + QLatin1Char('\'')});
    }
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
    const auto it = std::find_if(items.begin(), items.end(), [&](const ClipboardItem &item) { return item.id == *id; });
    if (it == items.end())
        return std::nullopt;
    ClipboardItem item = *it;
    item.isFavorite = m_clipboard.favoriteItems().contains(item.id);
    return item;
}

void CommandHandler::list(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString category = args.value(QLatin1String("category")).toString(QStringLiteral("All"));
    QList<ClipboardItem> items = m_clipboard.itemsForCategory(category);
    if (args.contains(QLatin1String("limit")))
        items = items.mid(0, args.value(QLatin1String("limit")).toInt());
    const bool json = args.value(QLatin1String("json")).toBool();
    reply(CliResponse::ok(json ? compactJson(itemsJson(items)) : itemLines(items)));
}

void CommandHandler::search(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString query = args.value(QLatin1String("query")).toString();
    const bool useSemantic = !args.value(QLatin1String("keyword")).toBool();
    const bool json = args.value(QLatin1String("json")).toBool();

    // The history publishes only its newest search; this request waits for that to end.
    auto *waiter = new QObject(this);
    auto finish = [this, waiter, query, json, reply] {
        if (m_clipboard.isSearching())
            return;
        waiter->deleteLater();
        disconnect(&m_clipboard, nullptr, waiter, nullptr);
        if (m_clipboard.currentSearchQuery() != query) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: a newer search replaced this one")));
            return;
        }
        const QList<SimilaritySearchResult> &results = m_clipboard.searchResults();
        reply(CliResponse::ok(json ? compactJson(resultsJson(results)) : resultLines(results)));
    };
    connect(&m_clipboard, &ClipboardManager::isSearchingChanged, waiter, finish);
    QTimer::singleShot(searchTimeoutMs, waiter, [waiter, reply] {
        waiter->deleteLater();
        reply(CliResponse::failed(QStringLiteral("snipbrook: the search did not finish in time")));
    });
    m_clipboard.search(query, useSemantic);
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
    m_clipboard.copyItem(*item, [reply, kind] { reply(CliResponse::ok(QStringLiteral("Copied ") + kind + QStringLiteral(" to the clipboard."))); });
}

void CommandHandler::add(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const auto item = m_clipboard.recordText(args.value(QLatin1String("text")).toString());
    if (!item) {
        reply(CliResponse::failed(QStringLiteral("snipbrook: nothing to add, the text is blank")));
        return;
    }
    // The item reaches the history on the next turn of the event loop; answer once it is there,
    // so that a `list` right after shows it.
    auto *waiter = new QObject(this);
    const auto answer = [this, waiter, item, reply] {
        const QList<ClipboardItem> &items = m_clipboard.clipboardItems();
        if (std::none_of(items.begin(), items.end(), [&](const ClipboardItem &i) { return i.id == item->id; }))
            return;
        disconnect(&m_clipboard, nullptr, waiter, nullptr);
        waiter->deleteLater();
        reply(CliResponse::ok(QStringLiteral("Added ") + uuidString(item->id) + QStringLiteral(" (") + rawValue(item->type) +
                              QLatin1Char(')')));
    };
    connect(&m_clipboard, &ClipboardManager::clipboardItemsChanged, waiter, answer);
}

void CommandHandler::remove(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString target = args.value(QLatin1String("target")).toString();
    const auto item = resolveTarget(target, false);
    if (!item) {
        reply(noSuchItem(target));
        return;
    }
    m_clipboard.deleteItem(item->id);
    reply(CliResponse::ok(QStringLiteral("Deleted ") + uuidString(item->id) + QLatin1Char('.')));
}

void CommandHandler::favorite(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString target = args.value(QLatin1String("target")).toString();
    const auto item = resolveTarget(target, false);
    if (!item) {
        reply(noSuchItem(target));
        return;
    }
    m_clipboard.toggleFavorite(item->id);
    const bool now = m_clipboard.favoriteItems().contains(item->id);
    reply(CliResponse::ok((now ? QStringLiteral("Marked ") : QStringLiteral("Unmarked ")) + uuidString(item->id) +
                          QStringLiteral(" as a favourite.")));
}

void CommandHandler::dedupe(const InstanceServer::Reply &reply)
{
    const qsizetype before = m_clipboard.clipboardItems().size();
    m_clipboard.removeDuplicates();
    const qsizetype removed = before - m_clipboard.clipboardItems().size();
    reply(CliResponse::ok(QStringLiteral("Removed %1 duplicate item%2.").arg(removed).arg(removed == 1 ? "" : "s")));
}

void CommandHandler::ignore(const QJsonObject &args, const InstanceServer::Reply &reply)
{
    const QString action = args.value(QLatin1String("action")).toString();
    const QString bundle = args.value(QLatin1String("bundle")).toString();
    if (action == QLatin1String("add")) {
        m_configuration.addBlacklistedBundleId(bundle);
        reply(CliResponse::ok(QStringLiteral("Ignoring copies from ") + bundle + QLatin1Char('.')));
    } else if (action == QLatin1String("remove")) {
        const QStringList before = m_configuration.configuration().settings.blacklistedBundleIdsOrEmpty();
        if (!before.contains(bundle)) {
            reply(CliResponse::failed(QStringLiteral("snipbrook: ") + bundle + QStringLiteral(" is not ignored")));
            return;
        }
        m_configuration.removeBlacklistedBundleId(bundle);
        reply(CliResponse::ok(QStringLiteral("No longer ignoring ") + bundle + QLatin1Char('.')));
    } else {
        reply(CliResponse::ok(m_configuration.configuration().settings.blacklistedBundleIdsOrEmpty().join(QLatin1Char('\n'))));
    }
}

} // namespace snipbrook
