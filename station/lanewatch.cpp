// SPDX-License-Identifier: MIT
// A lane between modules: it watches the line for the next module, tells a
// module that stays from one put in its place, and reads a module that
// passed whole while it stays on.
#include "station/lane.h"
#include "station/lanesettings.h"

#include <QPointer>

// The first module on a line just opened may be the one that passed last
// on it, left there: if it answers with that row's MAC or its MAC before,
// but not with the row, it lost it while no one watched.
bool Lane::lostSinceLastRun(const ReadOutcome &outcome)
{
    const std::optional<RowEntry> last = std::exchange(m_lastPassed, std::nullopt);
    if (!last)
        return false;
    const QString mac = canonicalOf(outcome.values, Setting::MacAddress);
    const QString rowMac = canonicalOf(last->values, Setting::MacAddress);
    const QString beforeMac = canonicalOf(last->before, Setting::MacAddress);
    const bool holds = std::all_of(allSettings.begin(), allSettings.end(), [&](Setting setting) {
        return canonicalOf(outcome.values, setting) == canonicalOf(last->values, setting);
    });
    if (holds || (mac != rowMac && mac != beforeMac))
        return false;
    const PlanRow row {last->row, last->planLine, last->values};
    m_status = Status {Activity::Reading, Ending::None, {}, m_timeout, row, PlanBook::Conflict::None, 0, outcome.values,
                       std::nullopt, {}, LabelState::None, {}};
    m_passed = row;
    m_handledMacs = {mac, rowMac, beforeMac};
    m_removing = true;
    settingsGone(outcome.values);
    return true;
}

// --- Watching the line ----------------------------------------------------

void Lane::settle(std::chrono::milliseconds quiet)
{
    m_phase = Phase::Watching;
    m_removing = false;
    m_settling = true;
    show(Activity::Waiting);
    m_silence.start(m_timeout);
    m_settle.start(quiet);
}

void Lane::watch(bool removing)
{
    m_phase = Phase::Watching;
    m_removing = removing;
    m_lostWhileStoring.clear();
    if (!removing) {
        m_handledMacs.clear();
        show(m_status.unacknowledged > 0 ? Activity::Held : Activity::Waiting);
    }
    if (removing && (m_passed || m_onLane) && !m_presence.isActive())
        m_presence.start();
    m_probeAnswer = ReadGatherer();
    // A module that went quiet in the middle of its writes has been gone
    // for that long already: its verdict goes no later than a timeout and
    // a moment after it went.
    const qint64 quiet = removing ? m_client.quietFor() : 0;
    m_silence.start(std::chrono::milliseconds(
        std::clamp<qint64>(m_timeout.count() + verdictGrace.count() - quiet, 0, m_timeout.count())));
    probe();
}

void Lane::probe()
{
    m_client.sendProbe();
    m_sinceProbe.start();
    m_probe.start(probeInterval);
}

void Lane::probeDue()
{
    if (m_phase != Phase::Watching)
        return;
    // Only into a silent line: while an answer is coming, another probe
    // would only queue behind it.
    qint64 quiet = m_sinceProbe.elapsed();
    if (m_sinceByte.isValid())
        quiet = std::min(quiet, m_sinceByte.elapsed());
    if (quiet >= probeInterval.count())
        probe();
    else
        m_probe.start(std::chrono::milliseconds(probeInterval.count() - quiet));
}

void Lane::heard(const QString &text)
{
    if (m_phase != Phase::Watching)
        return;
    if (m_settling) {
        // What a program before this one asked for, or another that talks
        // to the module on the same wires once no leftover can come.
        if (m_openedFor.elapsed() > leftoversFor.count())
            return finish(Ending::Wiring);
        m_settle.start(settleAfterAnswers);
        return;
    }
    m_sinceByte.start();
    m_silence.start(m_timeout);
    m_probeAnswer.feed(text);
    if (m_probeAnswer.complete().contains(Setting::MacAddress)) {
        const QString mac = canonicalValue(Setting::MacAddress, *m_probeAnswer.value(Setting::MacAddress));
        if (m_removing && m_handledMacs.contains(mac)) {
            // Still the module just handled; one that passed and answers
            // with a MAC that is not its row's has lost it: read it whole now.
            m_probeAnswer = ReadGatherer();
            m_undecided.stop();
            if (m_passed && mac != canonicalOf(m_passed->values, Setting::MacAddress))
                checkPresence();
            return;
        }
        identify();
        return;
    }
    if (!m_removing) {
        identify();
        return;
    }
    // Part of an answer: wait for the rest, then read the module to tell.
    m_undecided.start(GatewayClient::answerGap);
}

void Lane::silent()
{
    // Nothing has been asked yet: a silence says nothing of a module.
    if (m_phase != Phase::Watching || m_settling) {
        if (m_settling)
            m_silence.start(m_timeout);
        return;
    }
    if (m_removing) {
        gone(); // taken off: whatever answers next is a new module
        return;
    }
    if (m_once) {
        finish(Ending::NoModule);
        return;
    }
    m_silence.start(m_timeout);
}

void Lane::identify()
{
    m_probe.stop();
    m_silence.stop();
    m_undecided.stop();
    m_presence.stop();
    m_phase = Phase::Identifying;
    if (!m_removing)
        show(Activity::Reading);
    m_client.startRead(m_timeout, GatewayClient::ReadStart::AfterEarlierAnswers);
}

// The module is gone: its verdict goes with it, so nothing on screen says
// PASS or FAIL of a module that is not there.
void Lane::gone()
{
    forgetModule();
    watch(false);
}

void Lane::forgetModule()
{
    m_presence.stop();
    m_passed.reset();
    m_onLane.reset();
    m_status.row.reset();
    m_status.result.reset();
    m_status.reason.clear();
    m_status.code.clear();
    m_status.before = {};
    m_status.conflict = PlanBook::Conflict::None;
    m_status.partOf = 0;
    m_status.label = LabelState::None;
    m_status.labelReason.clear();
    m_status.attempt = 0;
    m_status.written = false;
    m_status.resuming = false;
    m_attempt = 0;
    if (m_serialUsed) {
        m_serial.clear();
        m_status.serial.clear();
        m_serialUsed = false;
    }
}

// --- A module that passed, while it stays on -------------------------------------

// Read whole at least once a second: a module that went back to its factory
// settings, or a twin sharing its factory MAC put in its place, answers its
// probes as before.
void Lane::checkPresence()
{
    if (m_phase != Phase::Watching || !m_removing || !(m_passed || m_onLane) || m_settling)
        return;
    m_checking = true;
    identify();
}

void Lane::presenceRead(const ReadOutcome &outcome)
{
    m_checking = false;
    const QString mac = canonicalOf(outcome.values, Setting::MacAddress);
    if (!allFour(outcome.values) || !(m_passed || m_onLane))
        return watch(true); // taken off while being read, or an answer cut short: the silence will tell
    // Neither its MAC nor the one before, or not the settings the verdict
    // shown is about: another module, put on faster than the line fell
    // silent.
    if (!m_handledMacs.contains(mac) || (!m_passed && !sameSettings(outcome.values, *m_onLane))) {
        m_removing = false;
        m_passed.reset();
        m_onLane.reset();
        m_presence.stop();
        return readFinished(outcome);
    }
    if (!m_passed)
        return watch(true);
    const bool holds = std::all_of(allSettings.begin(), allSettings.end(), [&](Setting setting) {
        return canonicalOf(outcome.values, setting) == canonicalOf(m_passed->values, setting);
    });
    if (holds)
        return watch(true);
    settingsGone(outcome.values);
}

// The module that passed no longer holds its row: it went back, or it is a
// twin with the same factory MAC, and which cannot be told. The row is in
// doubt again, and the module is set aside with the one before it.
void Lane::settingsGone(const SettingValues &seen)
{
    const LostRecord lost {m_passed->row, m_port, m_passed->values, seen};
    m_passed.reset();
    m_onLane = seen;
    m_presence.stop();
    m_handledMacs.insert(canonicalOf(seen, Setting::MacAddress));
    m_phase = Phase::Recording;
    QPointer<Lane> self(this);
    m_store->note(lost, [self, lost](const QString &error) {
        if (!self)
            return;
        self->m_results << Result::Fail;
        self->m_status.result = Result::Fail;
        if (!error.isEmpty()) {
            emit self->storeFailed(error);
            self->finish(Ending::StoreFailed, error);
            return;
        }
        emit self->settingsLost(lost);
        if (self->m_stopping)
            return self->finish(self->m_stopEnding);
        if (self->m_once)
            return self->finish(Ending::None);
        self->holdFor(lost.row);
        self->show(Activity::LostSettings);
        self->watch(true);
    });
}

void Lane::readFinished(const ReadOutcome &outcome)
{
    if (m_phase != Phase::Identifying)
        return;
    if (outcome.status == ReadOutcome::Lost) {
        portLost(outcome.reason);
        return;
    }
    m_sinceByte.start();
    if (m_checking)
        return presenceRead(outcome);
    // Not all four: nothing to tell a module by, nothing to write to. The
    // module just handled, answering again: still on.
    if (!allFour(outcome.values) || (m_removing && m_handledMacs.contains(canonicalOf(outcome.values, Setting::MacAddress)))) {
        watch(m_removing);
        return;
    }
    if (m_stopping) {
        finish(m_stopEnding);
        return;
    }
    if (!m_removing && lostSinceLastRun(outcome))
        return;
    m_lastPassed.reset();
    // A new module: the last one's result, and the serial it was claimed
    // with, go from the tile.
    forgetModule();
    m_status.before = outcome.values;
    m_onLane = outcome.values;
    if (m_status.unacknowledged > 0) {
        // Held: the module is watched while it stays, and read afresh once
        // the FAIL is acknowledged.
        m_handledMacs = {canonicalOf(outcome.values, Setting::MacAddress)};
        show(Activity::Held);
        watch(true);
        return;
    }
    m_phase = Phase::Guarding;
    m_guard.start();
}

// --- A FAIL held for the operator --------------------------------------------------

void Lane::holdFor(int row)
{
    if (m_holdAfterFail)
        m_status.unacknowledged = row;
}

bool Lane::acknowledge()
{
    if (m_status.unacknowledged == 0)
        return false;
    m_status.unacknowledged = 0;
    if (m_phase == Phase::Watching && m_status.activity == Activity::Held) {
        if (m_onLane) {
            // The module put on while held: read whole again, as a new one.
            m_onLane.reset();
            m_removing = false;
            m_handledMacs.clear();
            m_checking = false;
            identify();
            return true;
        }
        show(Activity::Waiting);
        return true;
    }
    emit statusChanged();
    return true;
}
