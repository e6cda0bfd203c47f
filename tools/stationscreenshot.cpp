// SPDX-License-Identifier: MIT
// Runs the station window on the given ports with a plan and an audit,
// waits until each lane shows the state asked of it, and saves a picture of
// the window. Each port is given with its lane's state, named as the banner
// reads in English in lower case, a space as "-": ready, working (the
// module being written), pass, fail, port-lost, ...
//   vev-station-screenshot [--language CODE] OUTPUT.png PLAN.csv AUDIT.jsonl STATE:PORT...

#include "desktop/language.h"
#include "stationwindow/lanetile.h"
#include "stationwindow/stationwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTextStream>

#include <optional>

namespace {

constexpr int longestRunMs = 20000;
// The window as it opens maximised on a laptop's screen; the picture is
// four fifths of it, a size a README shows whole.
const QSize windowSize(1280, 800);
const QSize pictureSize(1024, 640);
// A working lane is shown once it writes: its progress has something to say.
constexpr int writingStep = 3;
constexpr int settleMs = 300;

std::optional<LaneState> stateNamed(const QString &name)
{
    for (const LaneStateStyle &style : laneStates) {
        if (QString::fromLatin1(style.word).toLower().replace(QLatin1Char(' '), QLatin1Char('-')) == name)
            return style.state;
    }
    return std::nullopt;
}

bool shows(const LaneTile &tile, LaneState state)
{
    if (tile.state() != state)
        return false;
    const auto *progress = tile.findChild<QProgressBar *>(QStringLiteral("tile_progress"));
    return state != LaneState::Working || (progress && progress->value() >= writingStep);
}

bool everyLaneShows(const QWidget &window, const QList<LaneState> &states)
{
    const auto tiles = window.findChildren<LaneTile *>();
    if (tiles.size() != states.size())
        return false;
    for (const LaneTile *tile : tiles) {
        const int lane = tile->objectName().mid(QStringLiteral("tile_").size()).toInt() - 1;
        if (lane < 0 || lane >= states.size() || !shows(*tile, states[lane]))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-station-screenshot"));
    QTextStream err(stderr);
    QCommandLineParser parser;
    const QCommandLineOption language = languageOption();
    parser.addOption(language);
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() < 4) {
        err << "usage: vev-station-screenshot [--language CODE] OUTPUT.png PLAN.csv AUDIT.jsonl STATE:PORT..." << Qt::endl;
        return 2;
    }
    QString why;
    if (!languageAvailable(QStringLiteral("vev-station"), parser.value(language), &why)) {
        err << "vev-station-screenshot: " << why << Qt::endl;
        return 2;
    }
    installTranslations(QStringLiteral("vev-station"), parser.value(language));

    StationSetup setup;
    setup.planPath = args[1];
    setup.auditPath = args[2];
    setup.station = QStringLiteral("bench-1");
    setup.operatorName = QStringLiteral("Ana Lima");
    QList<LaneState> states;
    for (const QString &lane : args.mid(3)) {
        const int colon = lane.indexOf(QLatin1Char(':'));
        const auto state = stateNamed(lane.left(colon));
        if (colon < 0 || !state) {
            err << "vev-station-screenshot: \"" << lane << "\" is not STATE:PORT with a lane's state" << Qt::endl;
            return 2;
        }
        states << *state;
        setup.ports << lane.mid(colon + 1);
    }

    StationWindow window(HostEnvironment::system(), {});
    window.setSetup(setup);
    window.resize(windowSize);
    window.show();
    window.start();

    QElapsedTimer clock;
    clock.start();
    // Taken once the lanes have shown their states for a while: the window
    // lays out what they show in more than one pass.
    QElapsedTimer steady;
    bool shown = false;
    while (clock.elapsed() < longestRunMs && !shown) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!everyLaneShows(window, states))
            steady.invalidate();
        else if (!steady.isValid())
            steady.start();
        shown = steady.isValid() && steady.elapsed() >= settleMs;
    }
    if (!shown) {
        err << "vev-station-screenshot: the lanes did not show " << args.mid(3).join(QLatin1Char(' ')) << " within "
            << longestRunMs << " ms" << Qt::endl;
        return 1;
    }
    const QPixmap picture = window.grab().scaled(pictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!picture.save(args[0])) {
        err << "vev-station-screenshot: cannot write " << args[0] << Qt::endl;
        return 1;
    }
    return 0;
}
