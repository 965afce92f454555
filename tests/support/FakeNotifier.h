#pragma once

#include "platform/Notifier.h"

#include <QList>
#include <QPair>

namespace snipbrook::test {

// Keeps the notifications posted, as (title, body).
class FakeNotifier : public Notifier {
public:
    QList<QPair<QString, QString>> posted;

    void post(const QString &title, const QString &body) override { posted.append({title, body}); }
    QStringList titles() const
    {
        QStringList result;
        for (const auto &notification : posted)
            result.append(notification.first);
        return result;
    }
};

} // namespace snipbrook::test
