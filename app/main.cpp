// SPDX-License-Identifier: MIT
#include "desktop/desktopstart.h"
#include "desktop/language.h"
#include "window/cloudconfigured.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <optional>

namespace {

const QString catalog = QStringLiteral("vev-config");

// The language asked for (empty: the system's), or the exit code when the
// command line was --help, --version or bad.
std::optional<QString> readCommandLine(int *exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads and writes the Ethernet settings (IP address, gateway, TCP port and MAC address) of a VeV-Idire "
        "gateway module on a serial line. The port last opened is remembered in %1.")
                                         .arg(cloudConfigured::settingsPath()));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption language = languageOption();
    parser.addOption(language);

    QTextStream err(stderr);
    // A bad command line is a usage error, exit 2, as with vev-cli.
    *exitCode = 2;
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "vev-config: " << parser.errorText() << Qt::endl;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "vev-config: unexpected argument \"" << parser.positionalArguments().first() << "\"" << Qt::endl;
        return std::nullopt;
    }
    QString why;
    if (!languageAvailable(catalog, parser.value(language), &why)) {
        err << "vev-config: " << why << Qt::endl;
        return std::nullopt;
    }
    *exitCode = 0;
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        QTextStream(stdout) << "vev-config " << QCoreApplication::applicationVersion() << Qt::endl;
        return std::nullopt;
    }
    return parser.value(language);
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before any display is reached, so that
    // --help, --version and a mistake are answered without one.
    std::optional<QString> language;
    {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vev-config"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
        int exitCode = 0;
        language = readCommandLine(&exitCode);
        if (!language)
            return exitCode;
    }

    prepareDesktopStart();
    QApplication app(argc, argv);
    installTranslations(catalog, *language);
    // Lets the desktop match the window to its launcher entry and icon,
    // whatever the working directory.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.telvor.VevConfig"));
    cloudConfigured window;
    window.show();
    return app.exec();
}
