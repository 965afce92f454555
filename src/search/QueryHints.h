#pragma once

#include "model/ClipboardItemType.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace snipbrook {

// What a free-text query says about the day an item was copied, the application it came from
// and its kind. Built once per search, so every item is judged against the same "now".
class QueryHints {
public:
    static constexpr float timeBonusValue = 0.2f;
    static constexpr float appBonusValue = 0.15f;
    static constexpr float typeBonusValue = 0.05f;

    QueryHints(const QString &query, const Clock &clock);

    const QString &lowerQuery() const { return m_lowerQuery; }

    float timeBonus(const QDateTime &timestamp) const;
    float appBonus(const std::optional<QString> &appName) const;
    float typeBonus(ClipboardItemType type) const;

private:
    // Only the first time phrase found in the query counts.
    enum class TimeRule { none, sameDay, between, nearTime };

    void readTimeRule(const Clock &clock);

    QString m_lowerQuery;
    TimeRule m_timeRule = TimeRule::none;
    QTimeZone m_zone;
    QDateTime m_reference;  // the day for sameDay, the lower bound for between, the centre for nearTime
    QDateTime m_upperBound; // between: the start of today
};

} // namespace snipbrook
