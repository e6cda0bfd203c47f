// SPDX-License-Identifier: MIT
#pragma once

// The set-up of a run: the plan, the audit, the station's name, the
// roster, where labels go, what the tiles say to do and whether a FAIL
// holds its lane, and the lanes, ticked from the ports
// the computer lists (adapters plugged in while it is open appear) or typed
// as a device path.

#include "host/hostenvironment.h"
#include "stationwindow/stationsetup.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

class SetupPanel : public QGroupBox
{
    Q_OBJECT

public:
    explicit SetupPanel(HostEnvironment env, QWidget *parent = nullptr);

    // Fills the fields and ticks the ports; ports the computer does not
    // list are added, ticked.
    void setSetup(const StationSetup &setup);
    // The fields and the ticked ports in list order; the bell and the
    // timeout are left as they are.
    StationSetup setup() const;

    // Adds a typed port to the list, ticked.
    void addPort(const QString &port);
    void scanPorts();

    // A plugged adapter makes several device nodes at once: one rescan once
    // they have settled.
    static constexpr int hotplugSettleMs = 300;

signals:
    // The plan or the audit was chosen or edited.
    void filesChanged();

private:
    QLineEdit *fileField(const char *name, const QString &accessibleName);
    void layOut(QPushButton *browsePlan, QPushButton *browseAudit, QPushButton *add);
    void browse(QLineEdit *field, bool audit);

    HostEnvironment m_env;
    QLineEdit *m_plan;
    QLineEdit *m_audit;
    QLineEdit *m_station;
    QComboBox *m_labels;
    QLineEdit *m_labelDestination;
    QComboBox *m_serial;
    QLineEdit *m_serialPattern;
    int m_maxAttempts = -1; // as given; the panel has no field for it
    QListWidget *m_ports;
    QLineEdit *m_typedPort;
    QTimer *m_rescan;
    QLineEdit *m_roster = nullptr; // empty: no roster (a database's own, if it keeps one)
    QLineEdit *m_instructions = nullptr; // empty: the tiles' own words
    QCheckBox *m_ackFail = nullptr;
};
