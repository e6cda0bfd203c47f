// SPDX-License-Identifier: MIT
#pragma once

// Has labels printed by vev-label, one process a label and a few at a time,
// so that neither drawing nor a slow printer holds up the caller's loop (a
// station's lanes, vev-cli's). Every job ends with its callback, once, on
// the caller's thread: printed, or not with the reason.

#include "base/exitcodes.h"
#include "label/labeljob.h"

#include <QList>
#include <QObject>

#include <chrono>
#include <functional>

class QProcess;

// How vev-label begins its line for a label sent whole that the printer did
// not confirm, so that the runner can tell it from one printed.
inline QString labelSentWord()
{
    return QStringLiteral("Sent the label");
}

class LabelRunner : public QObject
{
    Q_OBJECT

public:
    struct Result {
        ExitCode code = ExitCode::Ok; // the helper's: Ok, Usage, LabelNotPrinted, or Failure when it did not run
        QString output;               // what it printed on success
        QString reason;               // why not
        bool sent = false;            // ok, but the printer did not say it printed
        bool ok() const { return code == ExitCode::Ok; }
    };
    using Done = std::function<void(const Result &)>;

    explicit LabelRunner(QObject *parent = nullptr);
    // Ends the helpers still running, without calling back.
    ~LabelRunner() override;

    void print(const LabelJob &job, Done done);
    // Before any module is written: whether labels can go to target at all
    // (the widest label of a plan of rows rows fits its size, a folder can be
    // written, a CUPS printer exists).
    // serial: a unit's serial of the length the run's units have, laid out
    // as the labels will carry it (in the code too with qrSerial); none
    // when the run takes no serials.
    void check(const LabelTarget &target, int rows, Done done, const QString &serial = {}, bool qrSerial = false);

    // Queued and running jobs.
    int pending() const { return int(m_queue.size() + m_running.size()); }
    // Jobs still pending after this time end as not printed: the run that
    // asked for them is over.
    void giveUpAfter(std::chrono::milliseconds time);

    // Longer than the helper's own limits (a ZPL printer's 3 s to accept,
    // 10 s to take the label and 5 s to report its status); a helper still
    // running then is ended.
    static constexpr std::chrono::milliseconds labelTimeout {30000};
    // One a core: more would only slow the lanes that share them.
    static constexpr int maxRunning = 2;

private:
    struct Job {
        QStringList arguments;
        Done done;
    };
    struct Running {
        QProcess *process;
        Done done;
    };

    void start(const QStringList &arguments, Done done);
    void startNext();
    void end(QProcess *process, const Result &result);

    QList<Job> m_queue;
    QList<Running> m_running;
};
