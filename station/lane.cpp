// SPDX-License-Identifier: MIT
#include "station/lane.h"
#include "station/lanesettings.h"

#include "plan/failurecodes.h"

#include <QPointer>

namespace {

Result resultOf(const WriteOutcome &outcome)
{
    if (outcome.status == WriteOutcome::Lost)
        return Result::Aborted;
    const bool answered = !outcome.acknowledged.isEmpty() || (outcome.readBack && outcome.readBack->answered);
    if (!answered)
        return Result::NoAnswer;
    if (outcome.acknowledged != outcome.sent)
        return Result::NotAcknowledged;
    if (!outcome.differs.isEmpty())
        return Result::Fail;
    return Result::Pass;
}

// Which setting, and what came back instead: what the operator needs to
// decide what to do with the module.
QString reasonOf(const WriteOutcome &outcome, Result result, const SettingValues &written)
{
    const auto names = [](SettingSet settings) {
        QStringList list;
        for (Setting setting : settings.toList())
            list << QLatin1String(settingInfo(setting).name);
        return list.join(QStringLiteral(", "));
    };
    switch (result) {
    case Result::Pass: return {};
    case Result::Aborted: return QStringLiteral("port lost: ") + outcome.reason;
    case Result::NoAnswer: return QStringLiteral("no answer");
    case Result::NotAcknowledged:
        return QStringLiteral("not acknowledged: ") + names(outcome.sent - outcome.acknowledged);
    case Result::Fail: break;
    }
    QStringList reasons;
    for (Setting setting : outcome.differs.toList()) {
        const auto &back = outcome.readBack ? valueOf(outcome.readBack->values, setting) : std::nullopt;
        const QString name = QLatin1String(settingInfo(setting).name);
        reasons << (back ? QStringLiteral("%1 reads back \"%2\" instead of \"%3\"")
                               .arg(name, printable(*back), printable(valueOf(written, setting).value_or(QString())))
                         : QStringLiteral("%1 not read back").arg(name));
    }
    return reasons.join(QStringLiteral("; "));
}

// The same, as the word a report groups by: for a read-back, the first
// setting in the form's order that read back wrong; otherwise the one its
// result and reason give.
QString codeOf(const WriteOutcome &outcome, const OutcomeRecord &record)
{
    for (Setting setting : allSettings) {
        if (record.result == Result::Fail && outcome.differs.contains(setting))
            return readBackCode(setting);
    }
    return failureCode(record);
}

} // namespace

Lane::Lane(const QString &port, ProvisionStore *store, std::chrono::milliseconds timeout, bool once, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_store(store)
    , m_timeout(timeout)
    , m_once(once)
{
    m_status.timeout = timeout;
    for (QTimer *timer : {&m_probe, &m_silence, &m_undecided, &m_reopen, &m_settle, &m_guard}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_guard.setInterval(quietBeforeWriting);
    connect(&m_guard, &QTimer::timeout, this, [this] {
        if (m_phase != Phase::Guarding)
            return;
        if (m_stopping)
            return finish(m_stopEnding);
        claim();
    });
    connect(&m_settle, &QTimer::timeout, this, [this] {
        m_settling = false;
        m_client.forgetAsked();
        watch(false);
    });
    m_presence.setInterval(presenceCheck);
    connect(&m_presence, &QTimer::timeout, this, &Lane::checkPresence);
    // A module held back by a row written elsewhere is looked at again once
    // the store has moved.
    connect(m_store, &ProvisionStore::changed, this, [this] {
        if (m_phase == Phase::Watching && m_removing && m_status.activity == Activity::Conflict
            && m_status.conflict == PlanBook::Conflict::InHand) {
            m_removing = false;
            m_handledMacs.clear();
            identify();
        }
    });
    m_reopen.setInterval(reopenInterval);
    connect(&m_reopen, &QTimer::timeout, this, &Lane::reopen);
    connect(&m_client, &GatewayClient::lost, this, &Lane::lineLost);
    connect(&m_probe, &QTimer::timeout, this, &Lane::probeDue);
    connect(&m_silence, &QTimer::timeout, this, &Lane::silent);
    connect(&m_undecided, &QTimer::timeout, this, &Lane::identify);
    connect(&m_client, &GatewayClient::heard, this, &Lane::heard);
    connect(&m_client, &GatewayClient::readFinished, this, &Lane::readFinished);
    connect(&m_client, &GatewayClient::writeFinished, this, &Lane::writeFinished);
    connect(&m_client, &GatewayClient::unasked, this, &Lane::crossTalk);
    connect(&m_client, &GatewayClient::verifying, this, [this] {
        show(Activity::Verifying);
    });
    // A station that may have lost its name to another process writes
    // nothing more: the row in hand stays this station's, in doubt.
    connect(m_store, &ProvisionStore::ownershipLapsed, this, [this](bool lapsed, const QString &why) {
        if (lapsed && m_phase == Phase::Writing)
            abortRow(why);
    });
    // A claim or record the store has not answered for a while: say how long.
    connect(m_store, &ProvisionStore::waiting, this, [this](int seconds, const QString &why) {
        if (m_status.activity != Activity::Claiming && m_status.activity != Activity::Recording)
            return;
        m_status.storeWait = seconds;
        m_status.detail = why;
        emit statusChanged();
    });
    // The outcome in hand is kept and retried by the store: say so.
    connect(m_store, &ProvisionStore::reachabilityChanged, this, [this](bool reachable, const QString &why) {
        if (m_phase != Phase::Recording)
            return;
        if (reachable)
            show(Activity::Recording);
        else
            show(Activity::Retrying, why);
    });
}

OpenFailure Lane::open(QString *reason)
{
    m_openedFor.start();
    return m_client.open(m_port, reason);
}

void Lane::start()
{
    askLastPassed();
    settle();
}

void Lane::askLastPassed()
{
    QPointer<Lane> self(this);
    m_store->lastPassed(m_port, [self](const std::optional<RowEntry> &last) {
        if (self)
            self->m_lastPassed = last;
    });
}

bool Lane::holdsModule() const
{
    return m_phase == Phase::Claiming || m_phase == Phase::Writing || m_phase == Phase::Recording;
}

void Lane::stop(Ending ending)
{
    m_stopping = true;
    m_stopEnding = ending;
    // A module being read is not in hand yet: nothing of a row is on it.
    if (!holdsModule())
        finish(ending);
}

void Lane::halt(const QString &why)
{
    m_client.abort();
    m_stopping = true;
    m_stopEnding = Ending::Stopped;
    if (m_phase == Phase::Writing) {
        abortRow(why);
        return;
    }
    // A claim or a record under way ends the lane once it is answered.
    if (!holdsModule())
        finish(Ending::Stopped, why);
}

// --- One module -------------------------------------------------------------

void Lane::claim()
{
    if (m_serialMode == SerialMode::Required && m_serial.isEmpty())
        return awaitSerial();
    m_phase = Phase::Claiming;
    m_serialUsed = true;
    show(Activity::Claiming);
    QPointer<Lane> self(this);
    m_store->claim(m_port, m_status.before, m_serial, [self](const ProvisionStore::Claim &claim) {
        if (self)
            self->claimed(claim);
    });
}

void Lane::claimed(const ProvisionStore::Claim &claim)
{
    if (m_phase != Phase::Claiming)
        return;
    const QString mac = canonicalOf(m_status.before, Setting::MacAddress);
    const bool writes = claim.kind == ProvisionStore::Claim::Fresh || claim.kind == ProvisionStore::Claim::Resume;
    if (!writes && claim.kind != ProvisionStore::Claim::Failed && m_crossTalk)
        return finish(Ending::Wiring);
    if (!writes && claim.kind != ProvisionStore::Claim::Failed && !m_lostWhileStoring.isEmpty()) {
        portLost(m_lostWhileStoring);
        return;
    }
    switch (claim.kind) {
    case ProvisionStore::Claim::Failed:
        emit storeFailed(claim.error);
        finish(Ending::StoreFailed, claim.error);
        return;
    case ProvisionStore::Claim::HoldsPassed:
        m_status.row = claim.row;
        if (m_once) {
            finish(Ending::AlreadyProvisioned);
            return;
        }
        m_handledMacs = {mac};
        show(Activity::HoldsRow);
        watch(true);
        return;
    case ProvisionStore::Claim::Conflict:
        conflicted(claim);
        return;
    case ProvisionStore::Claim::Rework:
        m_status.row = claim.row;
        if (m_once)
            return finish(Ending::Rework, claim.why);
        m_handledMacs = {mac};
        show(Activity::SendToRework, claim.why);
        watch(true);
        return;
    case ProvisionStore::Claim::NothingOpen:
        if (!m_waitForDoubt) {
            finish(Ending::PlanUsedUp);
            return;
        }
        m_handledMacs = {mac};
        show(Activity::NoRowLeft);
        watch(true);
        return;
    case ProvisionStore::Claim::Fresh:
    case ProvisionStore::Claim::Resume:
        break;
    }
    m_row = claim.row;
    m_attempt = claim.attempt;
    m_status.attempt = claim.attempt;
    m_rowMacsBefore = claim.macsBefore;
    m_status.row = claim.row;
    m_status.partOf = claim.partOf;
    m_status.resuming = claim.kind == ProvisionStore::Claim::Resume;
    if (m_stopping || !m_lostWhileStoring.isEmpty() || m_crossTalk) {
        // Stopped, the line lost or shared, while the store answered:
        // nothing went out, the row goes back.
        QPointer<Lane> self(this);
        m_store->unclaim(claim.row, [self](const QString &error) {
            if (!self)
                return;
            if (!error.isEmpty())
                emit self->storeFailed(error);
            if (self->m_crossTalk)
                self->finish(Ending::Wiring);
            else if (self->m_lostWhileStoring.isEmpty())
                self->finish(self->m_stopEnding);
            else
                self->portLost(self->m_lostWhileStoring);
        });
        return;
    }
    m_phase = Phase::Writing;
    show(claim.kind == ProvisionStore::Claim::Resume ? Activity::Finishing : Activity::Writing);
    // A setting left unacknowledged ends the write: what would follow might
    // reach another module put on in the meantime.
    m_client.startWrite(m_row.values, m_timeout, true, GatewayClient::Unacknowledged::Stop);
}

void Lane::writeFinished(const WriteOutcome &outcome)
{
    if (m_phase != Phase::Writing)
        return;
    const Result result = resultOf(outcome);
    OutcomeRecord record = outcomeOfRow(result, reasonOf(outcome, result, m_row.values));
    m_status.written = !outcome.sent.isEmpty();
    record.code = codeOf(outcome, record);
    if (outcome.readBack)
        record.readBack = outcome.readBack->values;
    record.acknowledged = outcome.acknowledged.toList();
    recordOutcome(record, outcome.status == WriteOutcome::Lost, outcome.reason);
}

void Lane::abortRow(const QString &why)
{
    m_client.abort();
    OutcomeRecord record = outcomeOfRow(Result::Aborted, QStringLiteral("stopped: ") + why);
    m_status.written = true; // what went out before the abort is not known: as if part did
    record.code = QStringLiteral("stopped");
    recordOutcome(record, false, {});
}

OutcomeRecord Lane::outcomeOfRow(Result result, const QString &reason) const
{
    OutcomeRecord record;
    record.row = m_row.row;
    record.port = m_port;
    record.before = m_status.before;
    record.written = m_row.values;
    record.result = result;
    record.reason = reason;
    record.serial = m_serial;
    record.attempt = m_attempt;
    return record;
}

void Lane::recordOutcome(const OutcomeRecord &record, bool lost, const QString &lostReason)
{
    // The module just handled answers with the row's MAC or its own before;
    // any other is another module, put on faster than the line fell silent
    // (the read-back may already have been its).
    // A row resumed: the module may answer with the MAC it had before it
    // first took the row, on another lane (it went back to its factory
    // settings).
    m_handledMacs = {canonicalOf(record.before, Setting::MacAddress), canonicalOf(record.written, Setting::MacAddress)};
    for (const QString &mac : std::as_const(m_rowMacsBefore))
        m_handledMacs.insert(mac);

    m_phase = Phase::Recording;
    show(Activity::Recording);
    QPointer<Lane> self(this);
    m_store->record(record, [self, record, lost, lostReason](const QString &error) {
        if (self)
            self->stored(record, lost, lostReason, error);
    });
}

void Lane::stored(const OutcomeRecord &record, bool lost, const QString &lostReason, const QString &error)
{
    m_results << record.result;
    m_status.result = record.result;
    m_status.reason = record.reason;
    m_status.code = record.code;
    if (!error.isEmpty()) {
        emit storeFailed(error);
        finish(Ending::StoreFailed, error);
        return;
    }
    emit recorded(record);
    if (m_crossTalk) {
        finish(Ending::Wiring);
        return;
    }
    if (lost || !m_lostWhileStoring.isEmpty()) {
        portLost(lost ? lostReason : m_lostWhileStoring);
        return;
    }
    if (m_stopping) {
        finish(m_stopEnding);
        return;
    }
    if (m_once) {
        finish(Ending::None);
        return;
    }
    if (record.result == Result::Pass)
        m_passed = m_row;
    else
        holdFor(record.row);
    // Written to: what it holds now is what it read back, if it did.
    m_onLane.reset();
    if (record.result != Result::Pass && allFour(record.readBack))
        m_onLane = record.readBack;
    show(Activity::TakeOff);
    watch(true);
}

// The module carries part of a row it may not be given: nothing is written
// to it. One that carries a row written elsewhere is looked at again once
// that lane is done.
void Lane::conflicted(const ProvisionStore::Claim &claim)
{
    m_status.row = claim.row;
    m_status.conflict = claim.conflict;
    if (m_once) {
        finish(Ending::Conflict, claim.why);
        return;
    }
    m_handledMacs = {canonicalOf(m_status.before, Setting::MacAddress)};
    show(Activity::Conflict, claim.why);
    watch(true);
}

// --- Someone else on the wires -------------------------------------------------

// Answers came that this lane never asked for: another lane, or another
// program, talks to the module on the same wires (a Y cable, two lanes
// wired to one module). Whatever the lane believes of the module may be the
// other's doing, so it writes nothing more; the client has already stopped.
void Lane::crossTalk()
{
    if (m_settling)
        return;
    m_client.abort();
    switch (m_phase) {
    case Phase::Watching:
    case Phase::Identifying:
    case Phase::Guarding:
        // So soon after the line opened, these may be a slow module's
        // answers to a program before this one: the lane waits for the line
        // to fall quiet for longer than those can come, and begins again.
        if (m_openedFor.elapsed() <= leftoversFor.count() && !m_removing) {
            m_probe.stop();
            m_undecided.stop();
            settle(settleAfterAnswers);
            return;
        }
        finish(Ending::Wiring);
        return;
    case Phase::Claiming:
    case Phase::Recording:
        m_crossTalk = true;
        return;
    case Phase::Writing: {
        // Stopped mid-row: part of it may be on the module, so the row
        // stays in doubt.
        m_crossTalk = true;
        abortRow(QStringLiteral("answers came that this lane did not ask for (check the wiring)"));
        return;
    }
    case Phase::Idle:
    case Phase::Lost:
    case Phase::Ended:
        return;
    }
}

// --- A lost port -------------------------------------------------------------

void Lane::lineLost(const QString &reason)
{
    switch (m_phase) {
    case Phase::Watching:
        portLost(reason);
        return;
    case Phase::Claiming:
    case Phase::Recording:
        m_lostWhileStoring = reason;
        return;
    case Phase::Guarding:
        portLost(reason);
        return;
    case Phase::Idle:
    case Phase::Identifying: // the read ends with its own Lost outcome
    case Phase::Writing:     // and so does the write
    case Phase::Lost:
    case Phase::Ended:
        return;
    }
}

void Lane::portLost(const QString &reason)
{
    if (!m_reopenLost || m_stopping) {
        finish(Ending::Lost, reason);
        return;
    }
    m_phase = Phase::Lost;
    m_lostWhileStoring.clear();
    for (QTimer *timer : {&m_probe, &m_silence, &m_undecided, &m_settle, &m_presence, &m_guard})
        timer->stop();
    m_passed.reset();
    m_checking = false;
    m_client.close();
    show(Activity::PortLost, reason);
    m_reopen.start();
}

void Lane::reopen()
{
    if (m_phase != Phase::Lost)
        return;
    QString reason;
    const OpenFailure failure = m_client.open(m_port, &reason);
    if (failure == OpenFailure::None) {
        m_openedFor.start();
        askLastPassed();
        settle();
        return;
    }
    // Back, but not ours yet (the system still setting its permissions, or
    // another program took it): say why while trying on.
    if (failure != OpenFailure::NotFound)
        show(Activity::PortBack, reason);
    m_reopen.start();
}

// --- Status -----------------------------------------------------------------

void Lane::show(Activity activity, const QString &detail)
{
    if (activity == m_status.activity && detail == m_status.detail)
        return;
    m_status.activity = activity;
    m_status.detail = detail;
    m_status.storeWait = 0;
    emit statusChanged();
}

void Lane::showLabel(int row, LabelState state, const QString &reason)
{
    if (!m_status.row || m_status.row->row != row || m_status.result != Result::Pass)
        return;
    if (state == m_status.label && reason == m_status.labelReason)
        return;
    m_status.label = state;
    m_status.labelReason = reason;
    emit statusChanged();
}

void Lane::finish(Ending ending, const QString &detail)
{
    if (isEnded())
        return;
    m_phase = Phase::Ended;
    m_ending = ending;
    m_status.ending = ending;
    for (QTimer *timer : {&m_probe, &m_silence, &m_undecided, &m_reopen, &m_settle, &m_presence, &m_guard})
        timer->stop();
    m_client.close();
    show(Activity::Ended, detail);
    emit finished();
}
