#pragma once

#include <QString>

#include <optional>

namespace snipbrook {

// Where the instance's lock and socket live, for the instance and the command line alike:
// $XDG_RUNTIME_DIR when it is set, else a folder of our own in /tmp named after the user id.
// Not Qt's fallback: it shares one name per user name, which anyone may create first.
struct RuntimeFolder {
    QString path;
    // Why the folder cannot be used (another owner, a looser mode, a link); empty when it can.
    QString problem;

    // The folder's path; nothing is created.
    static QString location();
    // The folder, made sure of: the session's created when missing, ours created and checked.
    static RuntimeFolder claim();
};

// Creates the folder (mode 0700) when it is missing, then checks that it is a real folder (not
// a link) owned by us that nobody else may enter (exactly 0700). Nothing when it is usable,
// the reason otherwise. The folder sits in sticky /tmp, so nobody else can swap it afterwards.
std::optional<QString> claimPrivateFolder(const QString &path);

} // namespace snipbrook
