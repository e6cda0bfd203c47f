// SPDX-License-Identifier: MIT
#pragma once

// One lane of the station as the operator sees it from a step away: its
// number and port, its state as one word in type as large as the tile
// allows on the state's colour (READY, WORKING, PASS, FAIL, ...), what to
// do next under it, the step under way, then what the lane does in full,
// the row in hand, the module's settings before and a failure's reason;
// a tile short of room keeps the banner, what to do and the reason, and
// moves the others, last first, into its tooltip. A verdict shows only
// while its module is on the lane. A screen reader gets
// the same: the tile's accessible name carries the lane, the state and
// what to do, its description everything else.
//
// A FAIL held for acknowledgement is acknowledged by a click on the tile,
// Enter in its scan field, or the acknowledge code scanned there.

#include "station/lane.h"
#include "stationtext/lanestate.h"

#include <QFrame>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class LaneTile : public QFrame
{
    Q_OBJECT

public:
    // number: the lane's, 1 for the first, as instructions name lanes.
    explicit LaneTile(const QString &port, int number = 1, QWidget *parent = nullptr);

    void setInstructions(const Instructions &instructions) { m_instructions = instructions; }
    // writingLane: the lane writing the row a module in conflict carries; 0: none.
    void setStatus(const Lane::Status &status, int writingLane = 0);
    QString port() const { return m_portName; }
    LaneState state() const { return m_state; }
    // The lane holds a FAIL for the operator to acknowledge.
    bool awaitsAcknowledgement() const { return m_awaitsAck; }
    // The lane takes serial numbers: its scan field shows, for a keyboard
    // scanner's codes (typed text ended by Enter) and the operator's own.
    void setTakesSerials(bool takes);
    // Why the last code scanned here was refused; empty: it was taken.
    void setScanRefusal(const QString &why);
    void focusScanField();
    void leaveScanField();
    bool scanFieldHasFocus() const;

    // The result's type at its smallest, in multiples of the tile's font.
    static constexpr double smallestResultScale = 2.0;

signals:
    void scanned(const QString &code);
    // The failed unit on the lane is back from rework.
    void reworkAsked();
    // The operator acknowledged the FAIL the lane holds.
    void acknowledged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    QSize sizeHint() const override;

private:
    void fitResultFont();
    void keepLinesWhole();
    void showView(const LaneView &view);
    void describe(const QString &banner, const QString &action);

    QString m_portName;
    int m_number;
    Instructions m_instructions;
    LaneState m_state = LaneState::Ready;
    bool m_awaitsAck = false;
    bool m_takesSerials = false;
    bool m_fitting = false;  // keepLinesWhole() under way
    int m_wholeHeight = 0;   // with every line shown, at the tile's width
    QLabel *m_port;
    QLabel *m_action;
    QLabel *m_ack;
    QProgressBar *m_progress;
    QLabel *m_activity;
    QLabel *m_row;
    QLabel *m_before;
    QLabel *m_result;
    QLabel *m_reason;
    QLineEdit *m_scan;
    QLabel *m_scanRefusal;
    QPushButton *m_rework;
};

// "IP 10.0.5.21, gateway 10.0.5.1, port 502, MAC 02:00:00:00:10:01", the
// settings that have a value.
QString settingsText(const SettingValues &values);
