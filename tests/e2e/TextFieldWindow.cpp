// A paste target of another process: one window with a text field that has the focus. Prints
// its X window id once shown, then the field's whole text as one line whenever it changes, so a
// test or benchmark sees what a paste put there. Ends when its standard input closes.
//   snipbrook-text-window [--app-id ID] [--copy TEXT] [TITLE]
// --app-id sets the desktop file name, which is the window's app id on Wayland. --copy puts TEXT
// on the clipboard when the first key is typed into the field: Wayland takes a copy only from the
// focused client, answering an input event of it.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

#include <utility>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QString title = QStringLiteral("Paste target");
    QString copy;
    bool copied = false;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--app-id") && i + 1 < arguments.size())
            QGuiApplication::setDesktopFileName(arguments[++i]);
        else if (arguments[i] == QLatin1String("--copy") && i + 1 < arguments.size())
            copy = arguments[++i];
        else
            title = arguments[i];
    }
    QLineEdit field;
    field.setWindowTitle(title);
    field.setAccessibleName(QStringLiteral("Paste target"));
    field.resize(360, 40);
    QObject::connect(&field, &QLineEdit::textChanged, [&](const QString &text) {
        std::printf("%s\n", text.toUtf8().constData());
        std::fflush(stdout);
        if (!copy.isEmpty() && !std::exchange(copied, true))
            QGuiApplication::clipboard()->setText(copy);
    });
    field.show();
    field.activateWindow();
    std::printf("%llu\n", static_cast<unsigned long long>(field.winId()));
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    return app.exec();
}
