// SPDX-License-Identifier: MIT
#include "station/lane.h"

#include "protocol/values.h"

#include <QSysInfo>

namespace {

QString describe(const PlanRow &row)
{
    QStringList values;
    for (Setting setting : allSettings)
        values << valueOf(row.values, setting).value_or(QString());
    return QStringLiteral("row %1 (%2)").arg(row.row).arg(values.join(QLatin1Char(' ')));
}

bool sameModule(const SettingValues &a, const SettingValues &b)
{
    for (Setting setting : allSettings) {
        const auto &x = valueOf(a, setting);
        const auto &y = valueOf(b, setting);
        if (x.has_value() != y.has_value() || (x && canonicalValue(setting, *x) != canonicalValue(setting, *y)))
            return false;
    }
    return true;
}

QString resultOf(const WriteOutcome &outcome)
{
    if (outcome.status == WriteOutcome::Lost)
        return QStringLiteral("aborted");
    const bool answered = !outcome.acknowledged.isEmpty() || (outcome.readBack && outcome.readBack->answered);
    if (!answered)
        return QStringLiteral("no-answer");
    if (outcome.acknowledged != outcome.sent)
        return QStringLiteral("not-acknowledged");
    if (!outcome.differs.isEmpty())
        return QStringLiteral("fail");
    return QStringLiteral("pass");
}

} // namespace

Lane::Lane(const QString &port, Hooks hooks, std::chrono::milliseconds timeout, bool once, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_hooks(std::move(hooks))
    , m_timeout(timeout)
    , m_once(once)
{
    m_next.setSingleShot(true);
    m_next.setInterval(probePause);
    connect(&m_next, &QTimer::timeout, this, &Lane::probe);
    connect(&m_client, &GatewayClient::readFinished, this, &Lane::readFinished);
    connect(&m_client, &GatewayClient::writeFinished, this, &Lane::writeFinished);
}

OpenFailure Lane::open(QString *reason)
{
    return m_client.open(m_port, reason);
}

void Lane::start()
{
    m_state = State::Waiting;
    m_waiting.start();
    setStatus(QStringLiteral("waiting for a module"));
    probe();
}

namespace {

QString endingStatus(Lane::Ending ending)
{
    return ending == Lane::Ending::PlanUsedUp ? QStringLiteral("plan used up") : QStringLiteral("stopped");
}

} // namespace

void Lane::stop(Ending ending)
{
    m_stopping = true;
    m_stopEnding = ending;
    if (m_state == State::Waiting || m_state == State::Removing || m_state == State::Idle)
        finish(ending, endingStatus(ending));
}

void Lane::probe()
{
    if (m_state == State::Waiting || m_state == State::Removing)
        m_client.startRead(probeTimeout);
}

void Lane::readFinished(const ReadOutcome &outcome)
{
    if (outcome.status == ReadOutcome::Lost) {
        // A module in hand is recorded as aborted by writeFinished; here
        // none is, and a lane without its port can do nothing more.
        finish(Ending::Lost, QStringLiteral("port lost: ") + outcome.reason);
        return;
    }
    if (m_state == State::Removing) {
        // Gone when nothing answers; and a module that answers otherwise than
        // the one in hand did is the next one, put on before a probe could
        // find the line empty.
        const bool gone = outcome.status == ReadOutcome::NoAnswer && !outcome.answered;
        const bool another = outcome.status == ReadOutcome::Read && !sameModule(outcome.values, m_inHand);
        if (gone || another) {
            m_state = State::Waiting;
            m_waiting.start();
            setStatus(QStringLiteral("waiting for a module"));
        }
        if (!another) {
            m_next.start();
            return;
        }
    }
    if (m_state != State::Waiting)
        return;
    if (outcome.status != ReadOutcome::Read) {
        if (m_once && m_waiting.elapsed() > m_timeout.count())
            finish(Ending::NoModule, QStringLiteral("no module within %1 ms").arg(m_timeout.count()));
        else
            m_next.start();
        return;
    }

    const auto row = m_hooks.claim();
    if (!row) {
        finish(Ending::PlanUsedUp, QStringLiteral("plan used up"));
        return;
    }
    m_row = *row;
    m_before = outcome.values;
    m_state = State::Writing;
    setStatus(QStringLiteral("writing ") + describe(m_row));
    m_client.startWrite(m_row.values, m_timeout, true);
}

void Lane::writeFinished(const WriteOutcome &outcome)
{
    if (m_state != State::Writing)
        return;
    AuditRecord record;
    record.station = QSysInfo::machineHostName();
    record.port = m_port;
    record.row = m_row.row;
    record.before = m_before;
    record.written = m_row.values;
    if (outcome.readBack)
        record.readBack = outcome.readBack->values;
    record.result = resultOf(outcome);
    m_results << record.result;
    m_inHand = outcome.readBack && outcome.readBack->status == ReadOutcome::Read ? outcome.readBack->values : m_before;
    if (!m_hooks.record(record)) {
        finish(Ending::Failed, QStringLiteral("the audit could not be written"));
        return;
    }
    emit recorded(record);

    if (outcome.status == WriteOutcome::Lost) {
        finish(Ending::Lost, QStringLiteral("port lost: ") + outcome.reason);
        return;
    }
    if (m_stopping) {
        finish(m_stopEnding, endingStatus(m_stopEnding));
        return;
    }
    if (m_once) {
        finish(Ending::None, QStringLiteral("done"));
        return;
    }
    m_state = State::Removing;
    setStatus(record.result == QLatin1String("pass") ? QStringLiteral("passed; take the module off")
                                                       : QStringLiteral("FAILED; take the module off"));
    m_next.start();
}

void Lane::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(status);
}

void Lane::finish(Ending ending, const QString &status)
{
    if (m_state == State::Done)
        return;
    m_state = State::Done;
    m_ending = ending;
    m_next.stop();
    m_client.close();
    setStatus(status);
    emit finished();
}
