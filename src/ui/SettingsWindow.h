#pragma once

#include "SettingsViewModel.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace snipbrook {

class HotkeyRecorderField;
class PanelSpinner;
class ToggleSwitch;

// What the settings window takes besides its view-model.
struct SettingsWindowOptions {
    // Asks whether to clear the whole history; true for "Clear All". A message box when unset.
    std::function<bool(QWidget *parent)> confirmClearHistory;
    // Shows a rejected recording; the recorder field's message box when unset.
    std::function<void(QWidget *parent, const QString &title, const QString &message)> rejectedHotkeyAlert;
};

// The settings window: a header and the sections Hotkeys, Startup, Storage, Ignored Apps and
// Updates on rounded panels in a scroll area. It draws a SettingsViewModel and forwards input to
// it. Built once and shown again on each request; every show reloads the view-model's state.
// Plain Escape closes it.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentMaximumWidth = 780;
    static constexpr int labelColumnWidth = 160;
    static constexpr int pickerWidth = 240;
    static constexpr QSize defaultSize{720, 680};

    using Options = SettingsWindowOptions;

    explicit SettingsWindow(SettingsViewModel &viewModel, Options options = {}, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    SettingsViewModel &viewModel() const { return m_viewModel; }
    HotkeyRecorderField *recorderField() const { return m_recorderField; }

    // The standard confirmation: "Clear All History" with "Cancel" and the destructive "Clear All".
    static bool askToClearHistory(QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildHeader();
    QWidget *buildHotkeys();
    QWidget *buildStartup();
    QWidget *buildStorage();
    QWidget *buildIgnoredApps();
    QWidget *buildUpdates();
    QWidget *pickerRow(const QString &title, const QString &subtitle, const QString &reloadTip, QComboBox *&picker,
                       bool installed);

    void showHotkey();
    void showStartup();
    void showStorage();
    void showIgnored();
    void fillPicker(QComboBox *picker, const QList<ApplicationChoice> &apps, const QString &selected);
    void showSelection();
    void showUpdates();
    void applyColors();
    void clearHistoryClicked();

    SettingsViewModel &m_viewModel;
    Options m_options;
    bool m_filtering = false;

    QLabel *m_currentHotkey = nullptr;
    HotkeyRecorderField *m_recorderField = nullptr;
    ToggleSwitch *m_hotkeyEnabled = nullptr;
    ToggleSwitch *m_launchAtLogin = nullptr;
    ToggleSwitch *m_startHidden = nullptr;
    QLabel *m_itemCount = nullptr;
    QLabel *m_favoriteCount = nullptr;
    QVBoxLayout *m_ignoredRows = nullptr;
    QComboBox *m_installedPicker = nullptr;
    QComboBox *m_runningPicker = nullptr;
    QLabel *m_versionText = nullptr;
    QPushButton *m_checkButton = nullptr;
    PanelSpinner *m_checking = nullptr;
    QLabel *m_notConfigured = nullptr;
    QWidget *m_updateBox = nullptr;
    QLabel *m_updateVersion = nullptr;
    QLabel *m_requiredUpdate = nullptr;
    QLabel *m_lastChecked = nullptr;
};

} // namespace snipbrook
