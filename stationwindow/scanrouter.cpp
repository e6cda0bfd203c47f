// SPDX-License-Identifier: MIT
#include "stationwindow/scanrouter.h"

#include "protocol/wireformat.h"

#include <QPointer>

ScanRouter::ScanRouter(Station *station, QObject *parent)
    : QObject(parent)
    , m_station(station)
{
    connect(station, &Station::laneChanged, this, &ScanRouter::laneChanged);
}

void ScanRouter::add(Lane *lane, LaneTile *tile)
{
    m_tiles.insert(lane, tile);
    tile->setTakesSerials(lane->serialMode() != Lane::SerialMode::Off);
    connect(tile, &LaneTile::scanned, this, [this, lane](const QString &code) { scanned(lane, code); });
    connect(tile, &LaneTile::reworkAsked, this, [this, lane] { reworked(lane); });
    connect(tile, &LaneTile::acknowledged, lane, &Lane::acknowledge);
}

QList<Lane *> ScanRouter::holding() const
{
    QList<Lane *> lanes;
    for (Lane *lane : m_station->lanes()) {
        if (lane->status().unacknowledged > 0)
            lanes << lane;
    }
    return lanes;
}

bool ScanRouter::acknowledgeTheOne()
{
    const QList<Lane *> lanes = holding();
    if (lanes.size() == 1)
        lanes.first()->acknowledge();
    else if (lanes.size() > 1)
        emit said(tr("Several lanes hold a FAIL: click the tile of the one you have dealt with."), false);
    return !lanes.isEmpty();
}

void ScanRouter::laneChanged(Lane *lane)
{
    // A FAIL held on one lane alone: Enter, or the acknowledge code
    // scanned, goes to its field, unless a serial is awaited.
    if (lane->status().unacknowledged > 0 && m_waiting.isEmpty() && holding().size() == 1) {
        if (LaneTile *tile = m_tiles.value(lane); tile && !tile->scanFieldHasFocus())
            tile->focusScanField();
    }
    const bool waits = lane->status().activity == Lane::Activity::NeedsSerial;
    if (waits == m_waiting.contains(lane))
        return;
    if (waits)
        m_waiting << lane;
    else
        m_waiting.removeAll(lane);
    if (m_waiting.size() == 1) {
        if (LaneTile *tile = m_tiles.value(m_waiting.first()))
            tile->focusScanField();
        return;
    }
    if (waits && m_waiting.size() > 1) {
        // The field that had the focus was given it, not picked: a code
        // scanned now would be a guess.
        for (LaneTile *tile : std::as_const(m_tiles))
            tile->leaveScanField();
        QStringList ports;
        for (Lane *waiting : std::as_const(m_waiting))
            ports << printable(waiting->port());
        emit said(tr("Lanes %1 each wait for a serial: click the scan field of the lane the unit is on, "
                                 "then scan.").arg(ports.join(QStringLiteral(", "))), false);
    }
}

void ScanRouter::scanned(Lane *lane, const QString &code)
{
    const QString why = lane->scan(code);
    if (LaneTile *tile = m_tiles.value(lane))
        tile->setScanRefusal(why);
    if (!why.isEmpty())
        emit said(tr("Lane %1: scan refused: %2").arg(printable(lane->port()), why), true);
}

void ScanRouter::reworked(Lane *lane)
{
    const Lane::Status &status = lane->status();
    if (status.code.isEmpty() || !status.row)
        return;
    ReworkRecord rework {0, status.serial, {}, status.code, {}};
    if (rework.serial.isEmpty())
        rework.mac = canonicalOf(status.row->values, Setting::MacAddress);
    const QString unit = rework.serial.isEmpty() ? tr("with MAC ") + rework.mac
                                                 : tr("with serial ") + printable(rework.serial);
    QPointer<ScanRouter> self(this);
    m_station->store()->note(rework, [self, unit](const QString &error) {
        if (!self)
            return;
        if (!error.isEmpty())
            return emit self->said(tr("The rework of the unit %1 was not recorded: %2").arg(unit, error), true);
        emit self->said(tr("The unit %1 is back from rework: its next attempt is its first again.").arg(unit),
                        false);
    });
}
