#include "platform/linux/DBusNotifier.h"
#include "PrivateSessionBus.h"
#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QDBusContext>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// A notification service on the private bus; when hung it takes calls and never answers.
class FakeNotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    bool hang = false;
    QStringList received;
    QVariantMap lastHints;

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        received.append(summary + u'|' + body);
        lastHints = hints;
        if (hang)
            setDelayedReply(true);
        return uint(received.size());
    }
};

// A session bus of the test's own, so the desktop's notification service is never touched.
class DBusNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateSessionBus::isAvailable())
            GTEST_SKIP() << "dbus-daemon is not installed";
        address = privateBus.start();
        ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
        client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, QStringLiteral("client")));
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override
    {
        notifier.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    }
    void startService()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("service"));
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                       QDBusConnection::ExportAllSlots));
    }
    DBusNotifier &make(int timeoutMs = 5000, int maxWaiting = 4)
    {
        notifier = std::make_unique<DBusNotifier>(DBusNotifier::Options{*client, timeoutMs, maxWaiting});
        return *notifier;
    }

    PrivateSessionBus privateBus;
    QString address;
    std::unique_ptr<QDBusConnection> client;
    FakeNotificationService service;
    std::unique_ptr<DBusNotifier> notifier;
    DiagnosticsCapture log;
};

TEST_F(DBusNotifierTest, TheServiceGetsTitleAndBodyWithoutSound)
{
    startService();
    DBusNotifier &notify = make();
    notify.post(QStringLiteral("Pasted"), QStringLiteral("Item pasted into current app"));
    ASSERT_TRUE(waitFor([&] { return notify.waiting() == 0; }));
    EXPECT_EQ(service.received, QStringList{QStringLiteral("Pasted|Item pasted into current app")});
    EXPECT_EQ(service.lastHints.value(QStringLiteral("suppress-sound")), QVariant(true));
    EXPECT_EQ(log.count(QStringLiteral("⚠️")), 0);
}

TEST_F(DBusNotifierTest, NoServiceOrNoBusCostsOneLineForTheWholeRun)
{
    DBusNotifier &notify = make();
    for (int i = 0; i < 3; ++i)
        notify.post(QStringLiteral("Copied"), QStringLiteral("Item copied to clipboard"));
    ASSERT_TRUE(waitFor([&] { return notify.waiting() == 0; }));
    notify.post(QStringLiteral("Copied"), QStringLiteral("Item copied to clipboard"));
    ASSERT_TRUE(waitFor([&] { return notify.waiting() == 0; }));
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Notifications are not shown: org.freedesktop.DBus.Error.ServiceUnknown")), 1)
        << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(log.lines().size(), 1);

    DBusNotifier withoutBus(DBusNotifier::Options{QDBusConnection(QStringLiteral("never connected")), 5000, 4});
    withoutBus.post(QStringLiteral("Copied"), QStringLiteral("Item copied to clipboard"));
    withoutBus.post(QStringLiteral("Copied"), QStringLiteral("Item copied to clipboard"));
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Notifications are not shown: no session bus")), 1);
}

TEST_F(DBusNotifierTest, AHungServiceNeitherBlocksNorCollectsCalls)
{
    service.hang = true;
    startService();
    DBusNotifier &notify = make(200, 2);
    for (int i = 0; i < 5; ++i)
        notify.post(QStringLiteral("Pasted"), QString::number(i));
    EXPECT_EQ(notify.waiting(), 2) << "calls beyond the limit are dropped, not queued";
    ASSERT_TRUE(waitFor([&] { return notify.waiting() == 0; }));
    EXPECT_EQ(service.received.size(), 2);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Notifications are not shown")), 1);
}

} // namespace

#include "DBusNotifierTest.moc"
