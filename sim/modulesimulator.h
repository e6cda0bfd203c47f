// SPDX-License-Identifier: MIT
#pragma once

#include "settingsjson.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <QTimer>

class QSocketNotifier;

// Plays the gateway module on one end of a serial line: answers read and
// write commands from its four stored settings, with faults on request.
class ModuleSimulator : public QObject
{
    Q_OBJECT

public:
    struct Options {
        int delayMs = 0;          // before each answer
        int lineRate = 0;         // baud to pace output at; 0 sends at once
        int split = 1;            // pieces per answer
        int splitGapMs = 50;      // between pieces
        bool silent = false;
        bool noise = false;
        int hangupAfter = 0;      // commands; 0 never
        QString statePath;        // JSON file the settings persist in; empty keeps them in memory
    };

    static SettingValues defaultSettings();

    ModuleSimulator(int fd, const Options &options, const SettingValues &settings, QTextStream &log);

    const SettingValues &settings() const { return m_settings; }

signals:
    // The line was hung up after --hangup-after commands.
    void hungUp();

private:
    void readLine();
    void handle(const QByteArray &command);
    QByteArray answerTo(const QByteArray &command);
    void sendAnswer(const QByteArray &answer);
    void sendDue();
    void queue(const QByteArray &bytes);
    void writeQueued();
    void sendNoise();
    void maybeHangUp();
    void note(const char *direction, const QByteArray &bytes);

    int m_fd;
    Options m_options;
    SettingValues m_settings;
    QTextStream &m_log;
    QSocketNotifier *m_reader;
    QByteArray m_input;
    QByteArray m_output;
    QTimer m_pacer;
    QElapsedTimer m_paceClock;
    double m_credit = 0;      // bytes the line could have carried and did not
    QTimer m_noise;
    int m_commands = 0;
    struct Due {
        qint64 at; // on m_clock
        QByteArray bytes;
    };
    QList<Due> m_due;         // answer pieces waiting for their time, in order
    QTimer m_dueTimer;
    QElapsedTimer m_clock;
    qint64 m_busyUntil = 0;   // on m_clock: when the last scheduled piece goes
    bool m_hangingUp = false;
};
