// SPDX-License-Identifier: MIT
#pragma once

// Codes scanned in the station window go to a lane, never guessed: each
// tile's scan field is its lane's. When one lane alone holds a module
// waiting for its serial, the focus goes to that lane's field, so that a
// keyboard scanner's code lands there; when several wait, the operator
// picks the lane by clicking its field. A failed unit's tile can say it is
// back from rework.

#include "station/station.h"
#include "stationwindow/lanetile.h"

#include <QHash>
#include <QObject>

class ScanRouter : public QObject
{
    Q_OBJECT

public:
    ScanRouter(Station *station, QObject *parent);
    void add(Lane *lane, LaneTile *tile);
    // Enter pressed outside any field: acknowledges the FAIL of the one
    // lane that holds one; with several, says to click a tile. False when
    // no lane holds one.
    bool acknowledgeTheOne();

signals:
    // A line for the window's message line; problem: in the colour of one.
    void said(const QString &text, bool problem);

private:
    void laneChanged(Lane *lane);
    void scanned(Lane *lane, const QString &code);
    void reworked(Lane *lane);
    QList<Lane *> holding() const;

    Station *m_station;
    QHash<Lane *, LaneTile *> m_tiles;
    QList<Lane *> m_waiting; // lanes whose module waits for its serial, as last seen
};
