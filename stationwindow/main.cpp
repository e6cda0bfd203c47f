// SPDX-License-Identifier: MIT
// vev-station: the production line's window over the station that vev-cli
// provision runs.

#include "host/signalwatch.h"
#include "stationwindow/stationwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <csignal>

int main(int argc, char *argv[])
{
    // As vev-config: no OpenGL drawn, so no GL driver loaded at start.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-station"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.telvor.VevStation"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A production line's station window: a tile per serial port (lane) with PASS or FAIL in large type, the "
        "plan's progress, the last audit records and the rows in doubt. The options fill the set-up in; without "
        "them it shows the last set-up."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption plan {QStringLiteral("plan"), QStringLiteral("The plan, a CSV file."), QStringLiteral("PLAN.csv")};
    const QCommandLineOption audit {QStringLiteral("audit"), QStringLiteral("The audit trail (JSON lines), appended to."),
                                    QStringLiteral("AUDIT.jsonl")};
    const QCommandLineOption port {QStringLiteral("port"), QStringLiteral("A serial port, one lane each; give it once per lane."),
                                   QStringLiteral("PATH")};
    const QCommandLineOption station {QStringLiteral("station"),
                                      QStringLiteral("The station's name in the audit (default: the host name)."),
                                      QStringLiteral("NAME")};
    const QCommandLineOption operatorName {QStringLiteral("operator"),
                                           QStringLiteral("The operator's name, recorded on every audit line."),
                                           QStringLiteral("NAME")};
    const QCommandLineOption startNow {QStringLiteral("start"), QStringLiteral("Start the run at once.")};
    parser.addOptions({plan, audit, port, station, operatorName, startNow});
    QTextStream err(stderr);
    // A bad command line is a usage error, exit 2, as with vev-cli.
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "vev-station: " << parser.errorText() << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        QTextStream(stdout) << "vev-station " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "vev-station: unexpected argument \"" << parser.positionalArguments().first() << "\"" << Qt::endl;
        return 2;
    }

    StationWindow window(HostEnvironment::system(), [] { QApplication::beep(); });
    StationSetup setup = window.setup();
    const auto given = [&parser](const QCommandLineOption &option, QString &field) {
        if (parser.isSet(option))
            field = parser.value(option);
    };
    given(plan, setup.planPath);
    given(audit, setup.auditPath);
    // Remembered for the next start, which may be from another folder.
    for (QString *path : {&setup.planPath, &setup.auditPath}) {
        if (!path->isEmpty())
            *path = QFileInfo(*path).absoluteFilePath();
    }
    given(station, setup.station);
    given(operatorName, setup.operatorName);
    if (parser.isSet(port))
        setup.ports = parser.values(port);
    window.setSetup(setup);

    // SIGTERM and SIGINT stop as Stop does, and the program ends once the
    // modules in hand are recorded; so does SIGHUP, the terminal it was
    // started from closing.
    SignalWatch stopSignals({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&stopSignals, &SignalWatch::caught, &window, &StationWindow::stopAndClose);

    window.show();
    if (parser.isSet(startNow))
        QTimer::singleShot(0, &window, &StationWindow::start);
    return app.exec();
}
