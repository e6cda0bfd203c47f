// SPDX-License-Identifier: MIT
#include "station/station.h"

#include <QPointer>

#include <algorithm>

Station::Station(std::unique_ptr<ProvisionStore> store, Options options, QObject *parent)
    : QObject(parent)
    , m_store(std::move(store))
    , m_options(std::move(options))
{
    qRegisterMetaType<OutcomeRecord>();
    qRegisterMetaType<ExitCode>();
    qRegisterMetaType<LabelRecord>();
    m_store->setParent(nullptr);
    connect(m_store.get(), &ProvisionStore::changed, this, &Station::refreshStatus);
    connect(m_store.get(), &ProvisionStore::compromised, this, &Station::halt);
}

Station::~Station()
{
    // The lanes talk to the store to the end; they go first.
    qDeleteAll(m_lanes);
    m_lanes.clear();
}

void Station::start()
{
    QPointer<Station> self(this);
    m_store->open([self](const ProvisionStore::Opened &opened) {
        if (self)
            self->opened(opened);
    });
}

void Station::opened(const ProvisionStore::Opened &opened)
{
    if (!opened.ok) {
        emit refused(opened.error, opened.code);
        return;
    }
    if (refusedAsStopped())
        return;
    if (!m_options.label) {
        openLanes();
        return;
    }
    // A label too small for the plan's modules, or a folder or printer that
    // cannot take labels, is found before any module is written.
    QPointer<Station> self(this);
    m_store->status([self](const StoreStatus &status) {
        if (!self)
            return;
        const LabelTarget target = *self->m_options.label;
        // With serials, one of the length stickers usually carry: a longer
        // one that does not fit is said on its lane when its label is made.
        const QString serial = self->m_options.serial == Lane::SerialMode::Off ? QString() : QStringLiteral("SN-0000000");
        self->m_labels.check(target, status.rows, [self, target](const LabelRunner::Result &result) {
            if (!self)
                return;
            if (!result.ok()) {
                emit self->refused(QStringLiteral("labels cannot go to %1: %2").arg(target.describe(), result.reason),
                                   result.code);
                return;
            }
            self->openLanes();
        }, serial, self->m_options.labelQrSerial);
    });
}

// A stop that came while the run was starting (its store slow to answer)
// ends the start: no lane begins.
bool Station::refusedAsStopped()
{
    if (!m_stoppedWhileStarting)
        return false;
    emit refused(QStringLiteral("stopped before the run began (the store was still answering); nothing was sent"),
                 ExitCode::Failure);
    return true;
}

void Station::openLanes()
{
    if (refusedAsStopped())
        return;
    if (!m_haltedBy.isEmpty()) {
        emit refused(m_haltedBy + QStringLiteral("; nothing was sent"), m_haltCode);
        return;
    }
    for (const QString &port : std::as_const(m_options.ports)) {
        auto *lane = new Lane(port, m_store.get(), m_options.timeout, m_options.once, this);
        m_lanes << lane;
        QString reason;
        const OpenFailure failure = lane->open(&reason);
        if (failure != OpenFailure::None) {
            emit refused(QStringLiteral("cannot open %1: %2").arg(printable(port), reason), exitCodeFor(failure));
            return;
        }
        lane->setReopenLostPort(m_options.reopenLostPorts);
        lane->setSerialRule(m_options.serial, m_options.serialPattern);
        lane->setHoldAfterFail(m_options.holdAfterFail);
        if (!openScanner(lane))
            return;
        connect(lane, &Lane::statusChanged, this, [this, lane] { emit laneChanged(lane); });
        connect(lane, &Lane::recorded, this, [this, lane](const OutcomeRecord &record) {
            if (record.result == Result::Pass)
                m_lostRows.remove(record.row);
            if (record.result == Result::Pass)
                ++m_passed;
            else
                ++m_failed;
            emit recorded(record);
            if (record.result == Result::Pass && m_options.label)
                printLabel(lane, record);
        });
        connect(lane, &Lane::settingsLost, this, &Station::settingsLost);
        connect(lane, &Lane::storeFailed, this, &Station::laneStoreFailed);
        connect(lane, &Lane::finished, this, &Station::laneFinished);
    }
    QPointer<Station> self(this);
    m_store->status([self](const StoreStatus &status) {
        if (!self || self->refusedAsStopped())
            return;
        // Nothing open but rows in doubt: the run is for finishing those,
        // on the modules that carry them.
        self->m_waitingForDoubt = status.open == 0 && status.inDoubtCount() > 0;
        self->m_running = true;
        emit self->started();
        if (!self->m_haltedBy.isEmpty())
            emit self->halted(self->m_haltedBy);
        for (Lane *lane : std::as_const(self->m_lanes)) {
            lane->setWaitForRowsInDoubt(self->m_waitingForDoubt);
            if (self->m_haltedBy.isEmpty())
                lane->start();
            else
                lane->halt(self->m_haltedBy);
        }
        self->planLeft(status);
    });
}

void Station::stop()
{
    if (!m_running && !m_lanesEnded)
        m_stoppedWhileStarting = true;
    for (Lane *lane : std::as_const(m_lanes))
        lane->stop();
    // Nothing may keep the run waiting for a server that is not there.
    m_store->stopRetrying();
}

void Station::laneStoreFailed(const QString &error)
{
    // Without a record of what happened, no module may be written.
    m_storeFailed = true;
    if (error != m_haltedBy) // that was said once, by halted()
        emit storeFailed(error);
    stop();
}

void Station::halt(const QString &why, ExitCode code)
{
    if (!m_haltedBy.isEmpty() || m_lanesEnded)
        return;
    m_haltedBy = why;
    m_haltCode = code;
    if (!m_running)
        return; // the lanes have not started: they never will
    emit halted(why);
    // No lane waits for another: the first byte after this is one too many.
    const QList<Lane *> lanes = m_lanes;
    for (Lane *lane : lanes)
        lane->halt(why);
    m_store->stopRetrying();
}

void Station::refreshStatus()
{
    // A store other stations share changes under this run too: the last
    // open row taken elsewhere ends it as well.
    QPointer<Station> self(this);
    m_store->status([self](const StoreStatus &status) {
        if (!self)
            return;
        if (self->m_running) {
            self->planLeft(status);
            return;
        }
        self->m_status = status;
        emit self->planStatusChanged();
    });
}

void Station::planLeft(const StoreStatus &status)
{
    m_status = status;
    emit planStatusChanged();
    // A row in hand may yet go back to the plan (no answer at its first
    // write): the plan is used up only once none is in hand.
    const bool nothingLeft = status.open == 0 && status.inHand == 0
                             && (!m_waitingForDoubt || status.inDoubtCount() == 0);
    if (!nothingLeft || m_usedUp)
        return;
    // Each lane ends once the module it may hold has been finished.
    m_usedUp = true;
    for (Lane *lane : std::as_const(m_lanes))
        lane->stop(Lane::Ending::PlanUsedUp);
}

void Station::printLabel(Lane *lane, const OutcomeRecord &record)
{
    LabelJob job;
    job.values = record.written;
    job.row = record.row;
    job.force = true; // the plan's values, checked when the plan was read
    job.serial = record.serial;
    job.qrSerial = m_options.labelQrSerial;
    job.target = m_options.label->forModule(*valueOf(record.written, Setting::MacAddress));
    ++m_labelsPending;
    lane->showLabel(record.row, Lane::LabelState::Printing);
    QPointer<Lane> tile(lane);
    m_labels.print(job, [this, tile, job](const LabelRunner::Result &result) {
        const LabelRecord label {*job.row, job.values, result.ok() && !result.sent, job.target.describe(), result.reason,
                                 result.sent, false, job.serial};
        QPointer<Station> self(this);
        m_store->note(label, [self, tile, label](const QString &error) {
            if (self)
                self->labelPrinted(tile, label, error);
        });
    });
}

void Station::settingsLost(const LostRecord &lost)
{
    ++m_failed;
    m_lostRows.insert(lost.row);
    if (m_labelled.contains(lost.row))
        voidLabel(m_labelled.take(lost.row));
}

// A label on a module that no longer holds its row would say what is not
// so: a line after its own says it is void.
void Station::voidLabel(const LabelRecord &printed)
{
    LabelRecord voided = printed;
    voided.printed = false;
    voided.sent = false;
    voided.voided = true;
    voided.reason = QStringLiteral("the module lost its settings: take the label off it");
    ++m_labelsPending;
    QPointer<Station> self(this);
    m_store->note(voided, [self, voided](const QString &error) {
        if (self)
            self->labelPrinted(nullptr, voided, error);
    });
}

void Station::labelPrinted(Lane *lane, const LabelRecord &record, const QString &error)
{
    --m_labelsPending;
    if (record.voided) {
        emit labelRecorded(record);
        if (!error.isEmpty()) {
            m_storeFailed = true;
            emit storeFailed(error);
            stop();
        }
        return endIfDone();
    }
    if ((record.printed || record.sent) && error.isEmpty()) {
        if (m_lostRows.contains(record.row)) {
            voidLabel(record);
        } else {
            m_labelled.insert(record.row, record);
        }
    }
    if (!record.printed && !record.sent)
        ++m_labelsFailed;
    if (lane)
        lane->showLabel(record.row, record.printed ? Lane::LabelState::Printed
                                    : record.sent  ? Lane::LabelState::Sent
                                                   : Lane::LabelState::NotPrinted,
                        record.reason);
    emit labelRecorded(record);
    if (!error.isEmpty()) {
        m_storeFailed = true;
        emit storeFailed(error);
        stop();
    }
    endIfDone();
}

void Station::laneFinished()
{
    if (!std::all_of(m_lanes.begin(), m_lanes.end(), [](Lane *lane) { return lane->isEnded(); }))
        return;
    m_lanesEnded = true;
    if (m_labelsPending > 0)
        m_labels.giveUpAfter(labelWait);
    endIfDone();
}

void Station::endIfDone()
{
    if (!m_lanesEnded || m_labelsPending > 0 || !m_running)
        return;
    m_running = false;
    emit finished(exitCode());
}

ExitCode Station::exitCode() const
{
    if (!m_haltedBy.isEmpty())
        return m_haltCode;
    if (m_storeFailed)
        return ExitCode::Failure;
    const auto anyEnding = [this](Lane::Ending ending) {
        return std::any_of(m_lanes.begin(), m_lanes.end(), [ending](Lane *lane) { return lane->ending() == ending; });
    };
    const auto anyResult = [this](std::initializer_list<Result> results) {
        return std::any_of(m_lanes.begin(), m_lanes.end(), [results](Lane *lane) {
            return std::any_of(lane->results().begin(), lane->results().end(), [results](Result result) {
                return std::find(results.begin(), results.end(), result) != results.end();
            });
        });
    };
    if (anyEnding(Lane::Ending::Lost) || anyEnding(Lane::Ending::Wiring))
        return ExitCode::PortError;
    if (anyResult({Result::Fail, Result::Aborted}))
        return ExitCode::ReadBackDiffers;
    if (anyResult({Result::NotAcknowledged, Result::NoAnswer}))
        return ExitCode::NotAcknowledged;
    if (anyEnding(Lane::Ending::AlreadyProvisioned))
        return ExitCode::AlreadyProvisioned;
    if (anyEnding(Lane::Ending::Conflict))
        return ExitCode::Conflict;
    if (anyEnding(Lane::Ending::Rework))
        return ExitCode::SendToRework;
    if (anyEnding(Lane::Ending::NoModule))
        return ExitCode::NoAnswer;
    if (m_labelsFailed > 0)
        return ExitCode::LabelNotPrinted;
    return ExitCode::Ok;
}

// A lane's serial-port scanner: each code it reads is scanned for the lane.
// One that cannot be opened refuses the run, as a lane's port does; one
// lost meanwhile is said, and the lane goes on without it.
bool Station::openScanner(Lane *lane)
{
    const QString device = m_options.scanners.value(lane->port());
    if (device.isEmpty())
        return true;
    auto *scanner = new Scanner(lane);
    QString reason;
    const OpenFailure failure = scanner->open(device, &reason);
    if (failure != OpenFailure::None) {
        emit refused(QStringLiteral("cannot open the scanner %1 of %2: %3").arg(printable(device), printable(lane->port()), reason),
                     exitCodeFor(failure));
        return false;
    }
    connect(scanner, &Scanner::scanned, this, [this, lane](const QString &code) {
        emit scanned(lane, code, lane->scan(code));
    });
    connect(scanner, &Scanner::lost, this, [this, lane, device](const QString &why) {
        emit scanned(lane, QString(), QStringLiteral("the scanner %1 was lost: %2").arg(printable(device), why));
    });
    return true;
}

int Station::laneWriting(int row) const
{
    for (int i = 0; i < m_lanes.size(); ++i) {
        const Lane::Status &status = m_lanes.at(i)->status();
        if (m_lanes.at(i)->holdsModule() && status.row && status.row->row == row)
            return i + 1;
    }
    return 0;
}
