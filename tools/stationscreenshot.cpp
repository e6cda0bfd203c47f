// SPDX-License-Identifier: MIT
// Runs the station window on the given ports with a plan and an audit,
// waits until every lane shows a result, and saves a picture of the window.
//   vev-station-screenshot OUTPUT.png PLAN.csv AUDIT.jsonl PORT...

#include "stationwindow/lanetile.h"
#include "stationwindow/stationwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextStream>

namespace {

constexpr int longestRunMs = 15000;

bool everyLaneHasAResult(const QWidget &window)
{
    const auto tiles = window.findChildren<LaneTile *>();
    return !tiles.isEmpty() && std::all_of(tiles.begin(), tiles.end(), [](const LaneTile *tile) {
        return !tile->findChild<QLabel *>(QStringLiteral("tile_result"))->text().isEmpty();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc < 5) {
        err << "usage: vev-station-screenshot OUTPUT.png PLAN.csv AUDIT.jsonl PORT..." << Qt::endl;
        return 2;
    }
    StationWindow window(HostEnvironment::system(), {});
    StationSetup setup;
    setup.planPath = QString::fromLocal8Bit(argv[2]);
    setup.auditPath = QString::fromLocal8Bit(argv[3]);
    setup.station = QStringLiteral("bench-1");
    setup.operatorName = QStringLiteral("Ana Lima");
    for (int i = 4; i < argc; ++i)
        setup.ports << QString::fromLocal8Bit(argv[i]);
    window.setSetup(setup);
    window.resize(1000, 700);
    window.show();
    window.start();

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < longestRunMs && !everyLaneHasAResult(window))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!everyLaneHasAResult(window)) {
        err << "vev-station-screenshot: not every lane had a result within " << longestRunMs << " ms" << Qt::endl;
        return 1;
    }
    QApplication::processEvents();
    const QString output = QString::fromLocal8Bit(argv[1]);
    if (!window.grab().save(output)) {
        err << "vev-station-screenshot: cannot write " << output << Qt::endl;
        return 1;
    }
    return 0;
}
