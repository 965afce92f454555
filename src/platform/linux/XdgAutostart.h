#pragma once

#include "platform/Autostart.h"

#include <QString>
#include <QStringList>

namespace snipbrook {

// Start at login through the XDG autostart entry $XDG_CONFIG_HOME/autostart/com.snipbrook.app.desktop
// (~/.config when XDG_CONFIG_HOME is unset or not absolute). On = the entry exists and neither
// says Hidden=true nor X-GNOME-Autostart-enabled=false. Enabling writes the whole entry at once
// (private file, folder created private when missing); disabling removes it.
class XdgAutostart : public Autostart {
public:
    static constexpr const char *entryName = "com.snipbrook.app.desktop";

    // `program`: absolute path of the command to run at login; `arguments` follow it. The config
    // folder is read from the environment when empty.
    XdgAutostart(QString program, QStringList arguments, QString configHome = {});

    bool isEnabled() const override;
    bool setEnabled(bool enabled, QString *error) override;

    QString entryPath() const { return m_entryPath; }
    // The text of the entry this object writes; empty (and `error` set) when the command cannot
    // be written as an Exec line.
    QString entryText(QString *error) const;

private:
    QString m_program;
    QStringList m_arguments;
    QString m_folder;
    QString m_entryPath;
};

// One argument of an Exec line, quoted as desktop entries need when it holds spaces or reserved
// characters; empty when it cannot be written there (control characters).
QString quotedExecArgument(const QString &argument, bool *ok);

} // namespace snipbrook
