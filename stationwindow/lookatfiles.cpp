// SPDX-License-Identifier: MIT
// The station window's look at the plan and the audit between runs.
#include "stationwindow/stationwindow.h"

#include "protocol/wireformat.h"
#include "stationwindow/glancepanel.h"

#include <QPointer>

void StationWindow::lookAtFiles(bool messages)
{
    if (m_station)
        return;
    // Whether the set-up is a supervisor's to change follows the roster.
    withRoster([](const QString &, const std::optional<Roster> &) {});
    const StationSetup setup = this->setup();
    if (setup.planPath.isEmpty() || (!setup.usesDatabase() && setup.auditPath.isEmpty()))
        return showPlan(StoreStatus());
    // Only looking: nothing is locked, nothing written.
    QString error;
    std::shared_ptr<ProvisionStore> store = setup.makeStore(false, &error);
    if (!store) {
        showPlan(StoreStatus());
        if (messages)
            showMessage(printable(error), true);
        return;
    }
    m_glance->refresh(setup);
    QPointer<StationWindow> self(this);
    store->open([self, store, messages](const ProvisionStore::Opened &opened) {
        if (!self)
            return;
        if (!opened.ok) {
            self->showPlan(StoreStatus());
            if (messages)
                self->showMessage(printable(opened.error), true);
            return;
        }
        store->status([self, messages](const StoreStatus &status) {
            if (!self)
                return;
            self->showPlan(status);
            if (!messages)
                return;
            if (!status.holder.isEmpty())
                self->showMessage(tr("The plan or audit is held by %1.").arg(status.holder), true);
            else if (self->m_problemShown)
                self->showMessage(QString(), false);
        });
    });
}
