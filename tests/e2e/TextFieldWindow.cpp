// A paste target of another process: one window with a text field that has the focus. Prints
// its X window id once shown, then the field's whole text as one line whenever it changes, so a
// test or benchmark sees what a paste put there. Ends when its standard input closes.
//   snipbrook-text-window [TITLE]
#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLineEdit field;
    field.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Paste target"));
    field.setAccessibleName(QStringLiteral("Paste target"));
    field.resize(360, 40);
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString &text) {
        std::printf("%s\n", text.toUtf8().constData());
        std::fflush(stdout);
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
