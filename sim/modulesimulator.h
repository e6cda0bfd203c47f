// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/settingsjson.h"

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
        bool ignoreWrites = false; // acknowledge writes but keep the old values
        bool deafOnceWritten = false; // answer nothing from the first write on (a module that dies when written)
        // A production line: this many modules one after another, each taken
        // off offAfterMs after it has been written and read back, the next
        // plugged in plugGapMs later. 0: one module, always there.
        int lineModules = 0;
        int offAfterMs = 300;
        int plugGapMs = 500;
        // Faults of a line: the first module swapped for the next at once
        // after this many writes (an operator too quick, mid-write); a module
        // that goes back to its factory settings this long after its last
        // write; every module coming with one factory MAC, or with this
        // factory IP.
        int swapAfterWrites = 0;  // 0: never
        int revertAfterMs = -1;   // -1: never
        QString sharedMac;
        QString factoryIp;
        QString statePath;        // JSON file the settings persist in; empty keeps them in memory
    };

    static SettingValues defaultSettings();
    // The factory settings of the module at this place in a line: each has
    // a MAC address of its own.
    static SettingValues lineModuleSettings(int index);
    // What a module holding `settings` answers to one command (up to and
    // with its '#'); a sound write changes `settings`. For players of
    // modules of their own that must answer as this one does.
    static QByteArray answer(const QByteArray &command, SettingValues &settings);

    ~ModuleSimulator() override;
    ModuleSimulator(int fd, const Options &options, const SettingValues &settings, QTextStream &log);

    // A second leg of the line, as a Y cable gives it: the module hears
    // commands from it too, and everything it sends reaches it delayMs late.
    void addLeg(int fd, int delayMs);

    const SettingValues &settings() const { return m_settings; }
    // The factory settings of the module at this place in the line, with
    // the line's shared MAC or factory IP.
    SettingValues factorySettings(int index) const;

signals:
    // The line was hung up after --hangup-after commands.
    void hungUp();
    // In a line of modules: the last one has been taken off.
    void lineEnded();

private:
    void readLine(int fd, QByteArray &input, QSocketNotifier *reader);
    void handle(const QByteArray &command);
    void written();
    void swap();
    void revert();
    QByteArray answerTo(const QByteArray &command);
    void sendAnswer(const QByteArray &answer);
    void sendDue();
    void queue(const QByteArray &bytes);
    void writeQueued();
    void startPacing();
    void sendNoise();
    void maybeHangUp();
    void note(const char *direction, const QByteArray &bytes);
    void takeOff();
    void plugIn();
    void noteSettings(const char *what);

    int m_fd;
    Options m_options;
    SettingValues m_settings;
    SettingValues m_started; // a lone module's own settings, which it goes back to
    QTextStream &m_log;
    QSocketNotifier *m_reader;
    QByteArray m_input;
    struct Leg {
        int fd;
        int delayMs;
        QSocketNotifier *reader;
        QByteArray input;
    };
    QList<Leg *> m_legs;
    QByteArray m_output;
    QTimer m_pacer;
    QElapsedTimer m_paceClock;
    qint64 m_pacedUntilNs = 0; // the clock's reading the credit counts up to
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
    bool m_dropping = false;  // the output queue was full at the last answer
    // A line of modules: which one is on the line, if any, and whether it
    // has been written to since it was plugged in.
    int m_module = 0;
    bool m_present = true;
    bool m_written = false;
    int m_writes = 0;
    bool m_swapped = false;
    QTimer m_offTimer;
    QTimer m_plugTimer;
    QTimer m_revertTimer;

    static constexpr int maxQueuedBytes = 64 * 1024;
};
