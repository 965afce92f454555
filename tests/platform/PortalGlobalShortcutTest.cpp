#include "platform/linux/PortalGlobalShortcut.h"
#include "PrivateSessionBus.h"
#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// Close is all a client calls on a session.
class FakeSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")
public:
    bool closed = false;
public slots:
    void Close() { closed = true; }
};

// The GlobalShortcuts portal as a desktop that has it: sessions at the paths the tokens give,
// every answer through a Response signal of the Request object, as the portal does it.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    struct Binding { QString session; QList<PortalShortcut> shortcuts; };

    explicit FakePortal(QDBusConnection bus) : m_bus(bus) {}
    uint version() const { return 1; }

    uint bindResponse = 0; // 1: the user cancelled
    QList<Binding> bindings;
    std::map<QString, std::unique_ptr<FakeSession>> sessions;

    bool isClosed(const QString &session) const { return sessions.count(session) && sessions.at(session)->closed; }

    void activate(const QString &session, const QString &id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(portalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                                         QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << quint64(1234) << QVariantMap();
        m_bus.send(signal);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options)
    {
        const QString session = portalPath + QStringLiteral("/session/") + sender() + u'/'
                                + options.value(QStringLiteral("session_handle_token")).toString();
        sessions[session] = std::make_unique<FakeSession>();
        m_bus.registerObject(session, sessions[session].get(), QDBusConnection::ExportAllSlots);
        return respond(options, 0, {{QStringLiteral("session_handle"), session}});
    }

    // The namespace is spelled out: the bus matches the slot by its type's registered name.
    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session, const QList<snipbrook::PortalShortcut> &shortcuts,
                                  const QString &, const QVariantMap &options)
    {
        bindings.append({session.path(), shortcuts});
        QList<PortalShortcut> bound = shortcuts;
        for (PortalShortcut &shortcut : bound)
            shortcut.properties = {{QStringLiteral("trigger_description"), QStringLiteral("Ctrl+Shift+Space")}};
        return respond(options, bindResponse, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }

private:
    QString sender() const { return message().service().mid(1).replace(u'.', u'_'); }

    // The Response goes out after the call's reply, as the portal's dialogs make it.
    QDBusObjectPath respond(const QVariantMap &options, uint response, const QVariantMap &results)
    {
        const QString request = portalPath + QStringLiteral("/request/") + sender() + u'/'
                                + options.value(QStringLiteral("handle_token")).toString();
        QMetaObject::invokeMethod(this, [this, request, response, results] {
            QDBusMessage signal = QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"),
                                                             QStringLiteral("Response"));
            signal << response << results;
            m_bus.send(signal);
        }, Qt::QueuedConnection);
        return QDBusObjectPath(request);
    }

    QDBusConnection m_bus;
};

// A session bus of the test's own, so the desktop's portal is never touched.
class PortalGlobalShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateSessionBus::isAvailable())
            GTEST_SKIP() << "dbus-daemon is not installed";
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        address = privateBus.start();
        ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
        client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, QStringLiteral("client")));
        ASSERT_TRUE(client->isConnected());
    }
    void TearDown() override
    {
        shortcut.reset();
        portal.reset();
        client.reset();
        for (const char *name : {"client", "portal"})
            QDBusConnection::disconnectFromBus(QString::fromLatin1(name));
    }
    FakePortal &startPortal()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
        portal = std::make_unique<FakePortal>(bus);
        EXPECT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        EXPECT_TRUE(bus.registerObject(portalPath, portal.get(),
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        return *portal;
    }
    PortalGlobalShortcut &make() { return *(shortcut = std::make_unique<PortalGlobalShortcut>(*client)); }

    PrivateSessionBus privateBus;
    QString address;
    std::unique_ptr<QDBusConnection> client;
    std::unique_ptr<FakePortal> portal;
    std::unique_ptr<PortalGlobalShortcut> shortcut;
    DiagnosticsCapture log;
};

const auto ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
const QString ourId = QStringLiteral("show-quick-access");

TEST_F(PortalGlobalShortcutTest, TheDesktopGetsTheCombinationAndOnlyOurSessionsPressReachesUs)
{
    FakePortal &fake = startPortal();
    PortalGlobalShortcut &global = make();
    QSignalSpy pressed(&global, &GlobalShortcut::pressed);
    EXPECT_EQ(global.registerShortcut(Qt::Key_Space, ctrlShift), GlobalShortcut::success);
    ASSERT_TRUE(waitFor([&] { return global.isBound(); }));
    ASSERT_EQ(fake.bindings.size(), 1);
    const QString session = fake.bindings[0].session;
    EXPECT_EQ(fake.bindings[0].shortcuts.value(0).properties.value(QStringLiteral("preferred_trigger")),
              QStringLiteral("CTRL+SHIFT+space"));
    EXPECT_TRUE(log.contains(QStringLiteral("ℹ️ The desktop bound the global shortcut: Ctrl+Shift+Space")));

    // Signals arrive in order: the first two are not ours.
    fake.activate(session, QStringLiteral("something-else"));
    fake.activate(portalPath + QStringLiteral("/session/other/s1"), ourId);
    fake.activate(session, ourId);
    ASSERT_TRUE(waitFor([&] { return pressed.size() == 1; }));
    fake.activate(session, ourId);
    ASSERT_TRUE(waitFor([&] { return pressed.size() == 2; }));
    // The desktop decided the press: the combination counts as held.
    EXPECT_EQ(global.heldModifiers(), ctrlShift);
    EXPECT_EQ(log.count(QStringLiteral("⚠️")), 0);
}

TEST_F(PortalGlobalShortcutTest, TheBlockingStartUpCheckFindsAPortalThatOffersShortcuts)
{
    FakePortal &fake = startPortal();
    QThread thread; // the check waits on the bus, so the portal answers from elsewhere
    fake.moveToThread(&thread);
    thread.start();
    EXPECT_TRUE(PortalGlobalShortcut::isOffered(*client));
    thread.quit();
    thread.wait();
    EXPECT_EQ(log.lines().size(), 0);
}

TEST_F(PortalGlobalShortcutTest, AnotherCombinationReplacesTheSessionAndNoOldOrLateSessionStaysOpen)
{
    FakePortal &fake = startPortal();
    PortalGlobalShortcut &global = make();
    QSignalSpy pressed(&global, &GlobalShortcut::pressed);
    global.registerShortcut(Qt::Key_Space, ctrlShift);
    ASSERT_TRUE(waitFor([&] { return global.isBound(); }));
    global.registerShortcut(Qt::Key_Space, ctrlShift); // the same again is no new request
    global.registerShortcut(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier);
    ASSERT_TRUE(waitFor([&] { return fake.bindings.size() == 2 && global.isBound(); }));
    const QString first = fake.bindings[0].session;
    const QString second = fake.bindings[1].session;
    EXPECT_NE(first, second);
    ASSERT_TRUE(waitFor([&] { return fake.isClosed(first); }));
    fake.activate(first, ourId);
    fake.activate(second, ourId);
    ASSERT_TRUE(waitFor([&] { return pressed.size() >= 1; }));
    EXPECT_EQ(pressed.size(), 1);

    global.unregisterShortcut();
    ASSERT_TRUE(waitFor([&] { return fake.isClosed(second); }));
    // Released while a session is still being opened: that session is closed once it comes.
    global.registerShortcut(Qt::Key_Space, Qt::ControlModifier);
    global.unregisterShortcut();
    ASSERT_TRUE(waitFor([&] {
        return fake.sessions.size() == 3
               && std::all_of(fake.sessions.begin(), fake.sessions.end(), [](const auto &s) { return s.second->closed; });
    }));
    EXPECT_EQ(fake.bindings.size(), 2);
}

TEST_F(PortalGlobalShortcutTest, ARefusalByTheDesktopIsLoggedWithWhatToDoInstead)
{
    startPortal().bindResponse = 1;
    PortalGlobalShortcut &global = make();
    EXPECT_EQ(global.registerShortcut(Qt::Key_Space, ctrlShift), GlobalShortcut::success);
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("⚠️")) == 1; }));
    EXPECT_EQ(log.lines().last(),
              QStringLiteral("⚠️ The desktop refused the global shortcut CTRL+SHIFT+space (cancelled); set it in the "
                             "desktop's shortcut settings, or bind `snipbrook popup` there"));
    EXPECT_FALSE(global.isBound());
}

TEST_F(PortalGlobalShortcutTest, WithoutThePortalTheUserIsToldToBindTheKeysInTheCompositor)
{
    EXPECT_FALSE(PortalGlobalShortcut::isOffered(*client));
    EXPECT_TRUE(log.contains(
        QStringLiteral("ℹ️ The desktop offers no GlobalShortcuts portal (org.freedesktop.DBus.Error.ServiceUnknown)")));
    PortalGlobalShortcut &global = make();
    EXPECT_EQ(global.registerShortcut(Qt::Key_Space, ctrlShift), GlobalShortcut::success);
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("⚠️")) == 1; }));
    EXPECT_EQ(log.lines().last(), QStringLiteral("⚠️ The desktop offers no GlobalShortcuts portal "
                                                 "(org.freedesktop.DBus.Error.ServiceUnknown): the shortcut does not "
                                                 "work; bind `snipbrook popup` in the compositor"));
    EXPECT_EQ(global.registerShortcut(Qt::Key_K, Qt::ControlModifier), GlobalShortcut::boundByDesktop);

    const QDBusConnection noBus(QStringLiteral("never connected"));
    EXPECT_EQ(PortalGlobalShortcut(noBus).registerShortcut(Qt::Key_Space, Qt::ControlModifier),
              GlobalShortcut::boundByDesktop);
    EXPECT_FALSE(PortalGlobalShortcut::isOffered(noBus));
    // A key the portal's syntax cannot name is refused rather than bound as something else.
    EXPECT_EQ(PortalGlobalShortcut(noBus).registerShortcut(Qt::Key_Exclam, Qt::ShiftModifier),
              GlobalShortcut::keyUnavailable);
}

} // namespace

#include "PortalGlobalShortcutTest.moc"
