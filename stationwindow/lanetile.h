// SPDX-License-Identifier: MIT
#pragma once

// One lane of the station as the operator sees it from a step away: the
// port, what the lane does now, the row in hand and the module's settings
// before, and the last module's result as PASS or FAIL in type as large as
// the tile allows, with its colour and, for FAIL, the reason. A screen
// reader gets the same: the tile's accessible name carries the port, the
// state and the result, its description everything else.

#include "station/lane.h"

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;

class LaneTile : public QFrame
{
    Q_OBJECT

public:
    explicit LaneTile(const QString &port, QWidget *parent = nullptr);

    void setStatus(const Lane::Status &status);
    QString port() const { return m_portName; }
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitResultFont();

    QString m_portName;
    QLabel *m_port;
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
