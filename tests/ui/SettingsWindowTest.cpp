#include "DarkPalette.h"
#include "SettingsTestSupport.h"

#include "system/HotkeyRecorder.h"
#include "ui/HotkeyRecorderField.h"
#include "ui/SettingsWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace snipbrook::test {
namespace {

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

// Answers every request on 127.0.0.1 with the same HTTP response.
class OneAnswerServer {
public:
    explicit OneAnswerServer(QByteArray body)
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, body] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, body] {
                    socket->readAll();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: "
                                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/releases.json").arg(m_server.serverPort())); }

private:
    QTcpServer m_server;
};

class SettingsWindowTest : public SettingsFixture {
protected:
    std::unique_ptr<SettingsWindow> window;
    bool confirmAnswer = false;
    int confirmations = 0;
    QStringList rejections;

    void openWindow()
    {
        openSettings();
        SettingsWindow::Options options;
        options.confirmClearHistory = [this](QWidget *) {
            ++confirmations;
            return confirmAnswer;
        };
        options.rejectedHotkeyAlert = [this](QWidget *, const QString &, const QString &message) {
            rejections.append(message);
        };
        window = std::make_unique<SettingsWindow>(*settings, options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        SettingsFixture::TearDown();
    }
    template <typename T>
    T *child(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QList<QWidget *> ignoredRows() const { return window->findChildren<QWidget *>(QStringLiteral("ignoredApp")); }
};

TEST_F(SettingsWindowTest, PlainEscapeClosesTheWindowAndGoesNoFurther)
{
    openWindow();
    auto *picker = child<QComboBox>("runningPicker");
    picker->setFocus();
    KeyCounter counter;
    picker->installEventFilter(&counter);

    QTest::keyClick(picker, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible()) << "Escape with a modifier is not for the window";
    QTest::keyClick(picker, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(window->isVisible());
    const int before = counter.presses;

    QTest::keyClick(picker, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(counter.presses, before) << "the closing Escape is swallowed";

    // Shown again, it closes again; hidden, it leaves Escape to other windows.
    window->show();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    QWidget other;
    other.show();
    KeyCounter otherCounter;
    other.installEventFilter(&otherCounter);
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_EQ(otherCounter.presses, 1);
}

TEST_F(SettingsWindowTest, EscapeBelongsToTheRecorderWhileItRecords)
{
    openWindow();
    window->viewModel().recorder().startRecording();
    ASSERT_TRUE(window->viewModel().recorder().isRecording());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    window->viewModel().recorder().stopRecording();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(keyCapture.stops, 1);
}

TEST_F(SettingsWindowTest, ARecordingThroughTheFieldShowsAsTheCurrentHotkey)
{
    openWindow();
    auto *field = window->recorderField()->field();
    QTest::mouseClick(field, Qt::LeftButton);
    ASSERT_TRUE(keyCapture.isCapturing());
    keyCapture.press({std::nullopt, QStringLiteral("v"), {}});
    EXPECT_EQ(rejections.size(), 1) << "a rejected recording raises the alert";
    EXPECT_EQ(child<QLabel>("currentHotkey")->text(), "Ctrl+Shift+Space");

    QTest::mouseClick(field, Qt::LeftButton);
    keyCapture.press({std::nullopt, QStringLiteral("b"), Qt::ControlModifier | Qt::AltModifier});
    EXPECT_EQ(child<QLabel>("currentHotkey")->text(), "Ctrl+Alt+B");
    EXPECT_EQ(shortcut.registered, (FakeGlobalShortcut::Combination{Qt::Key_B, Qt::ControlModifier | Qt::AltModifier}));
}

TEST_F(SettingsWindowTest, EveryControlHasAnAccessibleName)
{
    configuration.setBlacklistedBundleIds({QStringLiteral("org.ghost")});
    workspace.running = {FakeWorkspace::app(QStringLiteral("Vault"), QStringLiteral("org.vault"), 1)};
    openWindow();
    ASSERT_EQ(ignoredRows().size(), 1);

    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget);
        const auto *label = qobject_cast<QLabel *>(widget);
        const bool text = label && !label->text().isEmpty();
        if ((control || text) && widget->accessibleName().isEmpty())
            unnamed.append(widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName());
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(u", ").toStdString();
    EXPECT_EQ(child<QAbstractButton>("closeSettings")->accessibleName(), "Close Settings (Esc)");
    EXPECT_EQ(child<QAbstractButton>("removeIgnored")->accessibleName(), "Remove from ignored list");
    EXPECT_EQ(child<QAbstractButton>("addRunning")->accessibleName(), "Add selected app to ignored list");
}

TEST_F(SettingsWindowTest, CancellingTheClearHistoryAlertKeepsEveryItem)
{
    start();
    addAll({makeItem(Type::text, QStringLiteral("one")), makeItem(Type::text, QStringLiteral("two"))});
    history->toggleFavorite(history->clipboardItems()[0].id);
    openWindow();
    auto *clear = child<QPushButton>("clearAllHistory");
    EXPECT_EQ(child<QLabel>("itemCount")->text(), "2 items stored");
    EXPECT_EQ(child<QLabel>("favoriteCount")->text(), "1 items");

    confirmAnswer = false;
    clear->click();
    EXPECT_EQ(confirmations, 1);
    EXPECT_EQ(history->clipboardItems().size(), 2);
    EXPECT_EQ(history->favoriteItems().size(), 1);

    confirmAnswer = true;
    clear->click();
    EXPECT_TRUE(history->clipboardItems().isEmpty());
    EXPECT_TRUE(history->favoriteItems().isEmpty());
    EXPECT_EQ(child<QLabel>("itemCount")->text(), "0 items stored");
}

TEST_F(SettingsWindowTest, IgnoredAppRowsAndPickersChangeTheListOnlyWithASelection)
{
    workspace.running = {FakeWorkspace::app(QStringLiteral("Vault"), QStringLiteral("org.vault"), 1),
                         FakeWorkspace::app(QStringLiteral("Snipbrook"), QStringLiteral("com.snipbrook.app"), 2)};
    workspace.installed.insert(QStringLiteral("com.snipbrook.app"), QStringLiteral("/apps/com.snipbrook.app.desktop"));
    workspace.installed.insert(QStringLiteral("org.notes"), QStringLiteral("/apps/org.notes.desktop"));
    openWindow();
    ASSERT_TRUE(scanned());
    EXPECT_TRUE(child<QLabel>("noIgnoredApps"));

    auto *running = child<QComboBox>("runningPicker");
    auto *installed = child<QComboBox>("installedPicker");
    EXPECT_EQ(running->count(), 2) << "\"Select app\" and Vault, never Snipbrook";
    EXPECT_EQ(running->itemText(0), "Select app");
    EXPECT_EQ(installed->findData(QStringLiteral("com.snipbrook.app")), -1);
    EXPECT_EQ(installed->width(), SettingsWindow::pickerWidth);

    child<QAbstractButton>("addRunning")->click();
    EXPECT_TRUE(ignoredIds().isEmpty()) << "nothing chosen, nothing added";

    running->setCurrentIndex(1);
    emit running->activated(1);
    child<QAbstractButton>("addRunning")->click();
    EXPECT_EQ(ignoredIds(), QStringList{"org.vault"});
    EXPECT_EQ(running->currentIndex(), 0) << "the picker is reset";
    ASSERT_EQ(ignoredRows().size(), 1);
    EXPECT_FALSE(window->findChild<QLabel *>(QStringLiteral("noIgnoredApps")));

    const int notes = installed->findData(QStringLiteral("org.notes"));
    ASSERT_GT(notes, 0);
    installed->setCurrentIndex(notes);
    emit installed->activated(notes);
    child<QAbstractButton>("addInstalled")->click();
    EXPECT_EQ(ignoredIds(), (QStringList{"org.notes", "org.vault"}));
    ASSERT_EQ(ignoredRows().size(), 2);

    ignoredRows()[0]->findChild<QAbstractButton *>(QStringLiteral("removeIgnored"))->click();
    EXPECT_EQ(ignoredIds(), QStringList{"org.vault"});
    EXPECT_TRUE(waitFor([&] { return ignoredRows().size() == 1; }));
}

TEST_F(SettingsWindowTest, ABuildWithoutAFeedSaysSoAndCannotCheck)
{
    openWindow();
    EXPECT_TRUE(child<QLabel>("updatesNotConfigured")->isVisible());
    EXPECT_EQ(child<QLabel>("updatesNotConfigured")->text(), "Update checks are not set up for this build");
    EXPECT_FALSE(child<QPushButton>("checkForUpdates")->isEnabled());
    EXPECT_FALSE(child<QWidget>("updateAvailable")->isVisible());
    EXPECT_FALSE(child<QLabel>("lastChecked")->isVisible());
    EXPECT_EQ(child<QLabel>("currentVersion")->text(), "0.1.0 (1)");
}

TEST_F(SettingsWindowTest, AFoundReleaseShowsItsBoxAndItsDownload)
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    OneAnswerServer server(R"({"releases": [{"version": "9.0", "buildNumber": 3, "releaseNotes": "",
        "downloadURL": "https://downloads.example.org/snipbrook", "isRequired": true}]})");
    feedUrl = server.url();
    openWindow();
    auto *check = child<QPushButton>("checkForUpdates");
    EXPECT_TRUE(check->isEnabled());
    EXPECT_FALSE(child<QLabel>("updatesNotConfigured")->isVisible());

    check->click();
    EXPECT_TRUE(child<QWidget>("checkingForUpdates")->isVisible()) << "progress in place of the button";
    EXPECT_FALSE(check->isVisible());
    ASSERT_TRUE(waitFor([&] { return !settings->isCheckingForUpdates(); }));
    EXPECT_TRUE(check->isVisible());
    ASSERT_TRUE(child<QWidget>("updateAvailable")->isVisible());
    QStringList texts;
    for (QLabel *label : child<QWidget>("updateAvailable")->findChildren<QLabel *>())
        if (label->isVisible())
            texts.append(label->text());
    EXPECT_TRUE(texts.contains("Update Available: 9.0")) << texts.join(u'|').toStdString();
    EXPECT_TRUE(texts.contains("Required Update"));
    EXPECT_TRUE(child<QLabel>("lastChecked")->text().startsWith("Last checked: "));

    child<QPushButton>("downloadUpdate")->click();
    EXPECT_EQ(openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://downloads.example.org/snipbrook"))});

    const QString folder = qEnvironmentVariable("SNIPBROOK_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        window->resize(SettingsWindow::defaultSize.width(), 1100);
        QCoreApplication::processEvents();
        window->grab().save(folder + QStringLiteral("/settings-update.png"));
    }
}

TEST_F(SettingsWindowTest, SwitchesShowAndChangeTheSettings)
{
    openWindow();
    auto switches = window->findChildren<QAbstractButton *>();
    const auto named = [&](const QString &name) -> QAbstractButton * {
        for (QAbstractButton *button : switches)
            if (button->accessibleName() == name)
                return button;
        return nullptr;
    };
    QAbstractButton *enabled = named(QStringLiteral("Enable Global Hotkey"));
    QAbstractButton *hidden = named(QStringLiteral("Start hidden in the tray"));
    QAbstractButton *login = named(QStringLiteral("Launch at login"));
    ASSERT_TRUE(enabled && hidden && login);
    EXPECT_TRUE(enabled->isChecked());
    EXPECT_EQ(child<QLabel>("currentHotkey")->text(), "Ctrl+Shift+Space");

    QTest::mouseClick(enabled, Qt::LeftButton);
    EXPECT_FALSE(shortcut.registered);
    EXPECT_FALSE(configuration.configuration().hotkeyConfiguration.enabled);
    QTest::mouseClick(hidden, Qt::LeftButton);
    EXPECT_TRUE(preferences.boolean(QStringLiteral("startInBackground")));
    autostart.refuse = true;
    QTest::mouseClick(login, Qt::LeftButton);
    EXPECT_FALSE(login->isChecked()) << "a refused change shows what is true";
}

TEST_F(SettingsWindowTest, SectionsKeepTheirMeasuresAndDrawInLightAndDarkPalettes)
{
    configuration.setBlacklistedBundleIds({QStringLiteral("org.ghost"), QStringLiteral("org.notes")});
    workspace.installed.insert(QStringLiteral("org.notes"), QStringLiteral("/apps/org.notes.desktop"));
    workspace.installedNames.insert(QStringLiteral("org.notes"), QStringLiteral("Notes"));
    openWindow();
    window->resize(1100, 900);
    QCoreApplication::processEvents();
    EXPECT_LE(child<QWidget>("settingsContent")->width(), SettingsWindow::contentMaximumWidth);
    EXPECT_EQ(window->windowTitle(), "Snipbrook Settings");

    // A tiling compositor ignores the minimum size: the shortcut's key caps stay whole, and what
    // no longer fits is reached by scrolling.
    window->setMinimumSize(0, 0);
    window->resize(480, 700);
    QCoreApplication::processEvents();
    auto *scroll = child<QScrollArea>("settingsScroll");
    QAbstractButton *keys = nullptr;
    for (auto *button : child<QWidget>("hotkeyRecorder")->findChildren<QAbstractButton *>())
        if (button->accessibleName() == QLatin1StringView("Global Search Hotkey"))
            keys = button;
    ASSERT_TRUE(keys);
    EXPECT_GE(keys->width(), keys->sizeHint().width());
    const int overflow = keys->mapTo(scroll->widget(), QPoint(keys->width(), 0)).x() - scroll->viewport()->width();
    EXPECT_TRUE(overflow <= 0 || scroll->horizontalScrollBar()->isVisible()) << overflow;

    const QString folder = qEnvironmentVariable("SNIPBROOK_SCREENSHOT_DIR");
    for (const bool dark : {false, true}) {
        window->setPalette(dark ? darkPalette() : QPalette());
        window->resize(SettingsWindow::defaultSize.width(), 1180);
        QCoreApplication::processEvents();
        const QImage image = window->grab().toImage();
        // The window surface and a section panel differ, in both schemes.
        const QColor surface = image.pixelColor(4, image.height() / 2);
        QWidget *panel = nullptr;
        for (QWidget *widget : window->findChildren<QWidget *>())
            if (widget->accessibleName() == QLatin1StringView("Hotkeys") && !qobject_cast<QLabel *>(widget))
                panel = widget;
        ASSERT_TRUE(panel);
        const QPoint inPanel = panel->mapTo(window.get(), QPoint(8, panel->height() / 2));
        EXPECT_NE(image.pixelColor(inPanel), surface) << (dark ? "dark" : "light");
        EXPECT_EQ(surface, window->palette().color(QPalette::Window));
        if (!folder.isEmpty())
            image.save(folder + (dark ? QStringLiteral("/settings-dark.png") : QStringLiteral("/settings-light.png")));
    }
}

} // namespace
} // namespace snipbrook::test
