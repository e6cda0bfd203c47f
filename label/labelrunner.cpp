// SPDX-License-Identifier: MIT
#include "label/labelrunner.h"

#include <QProcess>
#include <QTimer>

namespace {

QString seconds(std::chrono::milliseconds time)
{
    return QStringLiteral("%1 s").arg(double(time.count()) / 1000);
}

// The helper's last line on stderr is its reason.
QString lastLine(const QByteArray &text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last().trimmed());
}

} // namespace

LabelRunner::LabelRunner(QObject *parent)
    : QObject(parent)
{
}

LabelRunner::~LabelRunner()
{
    for (const Running &running : std::as_const(m_running)) {
        running.process->disconnect(this);
        running.process->kill();
        running.process->waitForFinished();
    }
}

void LabelRunner::print(const LabelJob &job, Done done)
{
    start(labelArguments(job), std::move(done));
}

void LabelRunner::check(const LabelTarget &target, int rows, Done done, const QString &serial, bool qrSerial)
{
    LabelJob job;
    job.row = rows;
    job.target = target;
    job.serial = serial;
    job.qrSerial = qrSerial;
    start(labelArguments(job, true), std::move(done));
}

void LabelRunner::start(const QStringList &arguments, Done done)
{
    m_queue.append({arguments, std::move(done)});
    startNext();
}

void LabelRunner::startNext()
{
    while (!m_queue.isEmpty() && m_running.size() < maxRunning) {
        const Job job = m_queue.takeFirst();
        auto *process = new QProcess(this);
        m_running.append({process, job.done});
        auto *deadline = new QTimer(process);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this, [this, process] {
            end(process, {ExitCode::LabelNotPrinted, QString(),
                          QStringLiteral("the label helper did not finish within %1").arg(seconds(labelTimeout))});
        });
        connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                end(process, {ExitCode::Failure, QString(), QStringLiteral("cannot start the label helper %1: %2")
                                                                .arg(process->program(), process->errorString())});
            }
        });
        connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
                [this, process](int code, QProcess::ExitStatus status) {
                    Result result;
                    result.output = QString::fromLocal8Bit(process->readAllStandardOutput());
                    result.sent = result.output.startsWith(labelSentWord());
                    const QString reason = lastLine(process->readAllStandardError());
                    if (status == QProcess::CrashExit) {
                        result.code = ExitCode::LabelNotPrinted;
                        result.reason = QStringLiteral("the label helper crashed");
                    } else if (code != toInt(ExitCode::Ok)) {
                        const bool known = code == toInt(ExitCode::Usage) || code == toInt(ExitCode::LabelNotPrinted);
                        result.code = known ? ExitCode(code) : ExitCode::Failure;
                        result.reason = reason.isEmpty() ? QStringLiteral("the label helper ended with exit code %1")
                                                               .arg(code)
                                                         : reason;
                    }
                    end(process, result);
                });
        deadline->start(labelTimeout);
        process->start(labelHelperPath(), job.arguments);
    }
}

void LabelRunner::end(QProcess *process, const Result &result)
{
    const auto running = std::find_if(m_running.begin(), m_running.end(),
                                      [process](const Running &entry) { return entry.process == process; });
    if (running == m_running.end())
        return;
    const Done done = running->done;
    m_running.erase(running);
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished();
    }
    process->deleteLater();
    startNext();
    done(result);
}

void LabelRunner::giveUpAfter(std::chrono::milliseconds time)
{
    QTimer::singleShot(time, this, [this, time] {
        const Result late {ExitCode::LabelNotPrinted, QString(),
                           QStringLiteral("not printed within %1 of the run's end").arg(seconds(time))};
        const QList<Job> queued = std::exchange(m_queue, {});
        for (const Job &job : queued)
            job.done(late);
        while (!m_running.isEmpty())
            end(m_running.first().process, late);
    });
}
