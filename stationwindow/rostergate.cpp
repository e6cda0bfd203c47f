// SPDX-License-Identifier: MIT
// The station window's roster: an operator signs in at Start, and a
// supervisor's badge opens the set-up, releases a row and starts a shift.
// Without a roster the operator's name is asked at every Start.
#include "stationwindow/stationwindow.h"

#include "stationwindow/operatordialog.h"
#include "stationwindow/signindialog.h"
#include "store/rosterload.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>

namespace {

// What a supervisor's badge is asked for, as a dialog's title says it.
QString rightTitle(SupervisorRight right)
{
    switch (right) {
    case SupervisorRight::Release: return QCoreApplication::translate("StationWindow", "Releasing a row");
    case SupervisorRight::ChangeSetup: return QCoreApplication::translate("StationWindow", "Changing the set-up");
    case SupervisorRight::NewShift: return QCoreApplication::translate("StationWindow", "Starting a new shift");
    }
    return {};
}

} // namespace

void StationWindow::addRosterButtons(QHBoxLayout *controls)
{
    m_changeSetup = new QPushButton(tr("Change set-up…"), this);
    m_changeSetup->setObjectName(QStringLiteral("pushButton_changeSetup"));
    m_changeSetup->setToolTip(tr("With a roster, the set-up is changed with a supervisor's badge"));
    m_newShift = new QPushButton(tr("New shift…"), this);
    m_newShift->setObjectName(QStringLiteral("pushButton_newShift"));
    m_newShift->setToolTip(tr("Record the start of a shift in the audit (a supervisor's badge, with a roster)"));
    m_changeSetup->setEnabled(false); // until a roster is found
    controls->addWidget(m_changeSetup);
    controls->addWidget(m_newShift);
    connect(m_changeSetup, &QPushButton::clicked, this, [this] {
        asSupervisor(SupervisorRight::ChangeSetup, false, [this](const std::optional<Signer> &who, const QString &) {
            m_setupOpen = true;
            setLocked(false);
            if (who)
                showMessage(tr("Set-up opened by %1 (%2) until the next Start.").arg(printable(who->name), who->id),
                            false);
        });
    });
    connect(m_newShift, &QPushButton::clicked, this, [this] {
        asSupervisor(SupervisorRight::NewShift, true,
                     [this](const std::optional<Signer> &who, const QString &name) { startShift(who, name); });
    });
}

void StationWindow::withRoster(const std::function<void(const QString &, const std::optional<Roster> &)> &then)
{
    const StationSetup setup = this->setup();
    QString ignored;
    const auto database = setup.usesDatabase() ? DatabaseUri::parse(setup.planPath.trimmed(), &ignored) : std::nullopt;
    QPointer<StationWindow> self(this);
    const bool named = !setup.rosterPath.isEmpty();
    loadRoster(setup.rosterPath, database, [self, named, then](const QString &error, const std::optional<Roster> &roster) {
        if (!self)
            return;
        // What the set-up's lock follows, however it was learned. A roster
        // that cannot be read opens nothing: breaking the file, or the
        // server being away, is no way around a supervisor's badge.
        self->m_hasRoster = error.isEmpty() ? roster.has_value() : self->m_hasRoster || named;
        if (!self->m_station)
            self->setLocked(false);
        then(error, roster);
    });
}

QDialog *StationWindow::askBadge(const QString &title, const QString &text, bool askName, bool askBadge,
                             const std::function<void(const QString &code, const QString &name)> &then)
{
    auto *dialog = new SignInDialog(this, title, text, askName, askBadge);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [dialog, then](int result) {
        if (result == QDialog::Accepted)
            then(dialog->code(), dialog->name());
    });
    dialog->open();
    return dialog;
}

void StationWindow::signInAndStart()
{
    m_signingIn = true;
    withRoster([this](const QString &error, const std::optional<Roster> &roster) {
        if (!error.isEmpty()) {
            m_signingIn = false;
            return ended(tr("Not started: ") + printable(error), true);
        }
        if (!roster) {
            if (!m_givenOperator.isEmpty()) {
                m_signingIn = false;
                return begin(std::nullopt);
            }
            return askNameAndStart();
        }
        QDialog *dialog = askBadge(tr("Sign in"), tr("Scan your badge, or type your code, to start the run."),
                                   false, true, [this, roster](const QString &code, const QString &) {
            const SignIn signedIn = roster->signIn(code);
            if (!signedIn.who)
                return ended(tr("Not started: sign-in refused: ") + signedIn.why, true);
            begin(Signer {signedIn.who->id, signedIn.who->name});
        });
        // Cancelled or answered, the next Start may ask again.
        connect(dialog, &QDialog::finished, this, [this] { m_signingIn = false; });
    });
}

void StationWindow::withOperatorName(const QString &what, const std::function<void()> &then)
{
    // Between runs, what is recorded without a roster is recorded under the
    // name of who is at the bench: asked, when nobody has said it yet.
    if (m_station || !setup().operatorName.isEmpty())
        return then();
    auto *dialog = new OperatorDialog(this, tr("%1 is recorded under the name of who is at the bench: type your name.").arg(what));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, dialog, then](int result) {
        if (result != QDialog::Accepted)
            return;
        m_benchOperator = dialog->name();
        then();
    });
    dialog->open();
}

void StationWindow::askNameAndStart()
{
    // Asked at every Start, never taken over from the last run: whoever
    // was at the bench then may have gone home.
    auto *dialog = new OperatorDialog(this, tr("Type your name to start the run: every line of the audit carries it."));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        m_signingIn = false;
        if (result != QDialog::Accepted)
            return;
        m_benchOperator = dialog->name();
        begin(Signer {QString(), dialog->name()});
    });
    dialog->open();
}

void StationWindow::asSupervisor(SupervisorRight right, bool askName,
                                 const std::function<void(const std::optional<Signer> &, const QString &)> &then)
{
    withRoster([this, right, askName, then](const QString &error, const std::optional<Roster> &roster) {
        const QString what = rightTitle(right);
        if (!error.isEmpty())
            return showMessage(tr("%1: the roster cannot be read: %2").arg(what, printable(error)), true);
        if (!roster && !askName)
            return withOperatorName(what, [then] { then(std::nullopt, {}); });
        const QString text = roster ? tr("%1 needs a supervisor's badge: scan it, or type the code.").arg(what)
                                    : tr("The shift's name, as reports show it.");
        askBadge(what, text, askName, roster.has_value(), [this, right, roster, then, what](const QString &code, const QString &name) {
            if (!roster)
                return withOperatorName(what, [then, name] { then(std::nullopt, name); });
            const SignIn signedIn = roster->authorise(code, right);
            if (!signedIn.who)
                return showMessage(tr("Refused: ") + signedIn.why, true);
            then(Signer {signedIn.who->id, signedIn.who->name}, name);
        });
    });
}

void StationWindow::release(int row, const Signer &supervisor)
{
    const auto done = [this, row](const QString &error) {
        showMessage(error.isEmpty() ? tr("Row %1 released: it goes back to the plan.").arg(row)
                                    : tr("Row %1 was not released: %2").arg(row).arg(printable(error)),
                    !error.isEmpty());
    };
    if (m_station) {
        QPointer<StationWindow> self(this);
        m_station->store()->release(row, supervisor, [self, done](const ProvisionStore::Answer &answer, const SettingValues &) {
            if (self)
                done(answer.error);
        });
        return;
    }
    // Between runs the files are taken for the release alone, under the
    // name of the supervisor who allowed it, as vev-cli records it.
    StationSetup setup = this->setup();
    if (!supervisor.id.isEmpty()) {
        setup.operatorName = supervisor.name;
        setup.operatorId = supervisor.id;
    }
    QString error;
    std::shared_ptr<ProvisionStore> store = setup.makeStore(true, &error);
    if (!store)
        return done(error);
    QPointer<StationWindow> self(this);
    store->open([self, store, row, supervisor, done](const ProvisionStore::Opened &opened) {
        if (!self)
            return;
        if (!opened.ok)
            return done(opened.error);
        store->release(row, supervisor, [self, store, done](const ProvisionStore::Answer &answer, const SettingValues &) {
            if (!self)
                return;
            store->status([self](const StoreStatus &status) {
                if (self)
                    self->showPlan(status);
            });
            done(answer.error);
        });
    });
}

void StationWindow::startShift(const std::optional<Signer> &who, const QString &name)
{
    QString error;
    const auto shiftName = recordName(name, tr("The shift's name"), &error);
    if (!shiftName)
        return showMessage(tr("No shift started: %1.").arg(error), true);
    StationSetup setup = this->setup();
    if (who) {
        setup.operatorName = who->name;
        setup.operatorId = who->id;
    }
    // Between runs the files are taken for the line alone.
    std::shared_ptr<ProvisionStore> store = setup.makeStore(true, &error);
    const auto done = [this, shiftName](const QString &error) {
        showMessage(error.isEmpty() ? (shiftName->isEmpty() ? tr("A new shift starts: recorded in the audit.")
                                                            : tr("Shift %1 starts: recorded in the audit.")
                                                                  .arg(printable(*shiftName)))
                                    : tr("No shift started: %1").arg(printable(error)),
                    !error.isEmpty());
    };
    if (!store)
        return done(error);
    QPointer<StationWindow> self(this);
    store->open([self, store, shiftName, done](const ProvisionStore::Opened &opened) {
        if (!self)
            return;
        if (!opened.ok)
            return done(opened.error);
        store->note(ShiftRecord {0, *shiftName}, [self, store, done](const QString &error) {
            if (self)
                done(error);
        });
    });
}
