// SPDX-License-Identifier: MIT
#include "stationtext/lanetext.h"

#include "plan/planbook.h"
#include "station/station.h"

#include <QCoreApplication>

namespace {

QString rowNumber(const Lane::Status &status)
{
    return status.row ? QString::number(status.row->row) : QStringLiteral("?");
}

QString rowOf(const Lane::Status &status)
{
    return status.row ? rowText(*status.row) : QCoreApplication::translate("LaneText", "a row");
}

QString conflictText(const Lane::Status &status)
{
    const QString row = rowNumber(status);
    switch (status.conflict) {
    case PlanBook::Conflict::PassedMac:
        return QCoreApplication::translate("LaneText", "CONFLICT: the module carries the MAC address of row %1, recorded as passed, but not the "
                              "rest of it: it may be a unit that came back changed; nothing was written to it, set it "
                              "aside").arg(row);
    case PlanBook::Conflict::DoubtMac:
        return QCoreApplication::translate("LaneText", "CONFLICT: the module carries the MAC address of row %1, which is in doubt, and is not "
                              "that row's module; nothing was written to it, set it aside").arg(row);
    case PlanBook::Conflict::InHand:
        return QCoreApplication::translate("LaneText", "CONFLICT: the module carries an address of row %1, being written on another lane; "
                              "nothing is written to it until that lane is done").arg(row);
    case PlanBook::Conflict::Spread:
        return QCoreApplication::translate("LaneText", "CONFLICT: the module carries part of row %1, whose other part is on another module (swapped "
                              "in the middle of its writes); nothing was written to it: set it aside until that module "
                              "has been given a row of its own").arg(row);
    case PlanBook::Conflict::TwoRows:
        return QCoreApplication::translate("LaneText", "CONFLICT: the module could be that of row %1 or of another row in doubt; nothing was "
                              "written to it, set it aside").arg(row);
    case PlanBook::Conflict::Unit:
        return QCoreApplication::translate("LaneText", "CONFLICT: %1; nothing was written to it: set it aside and call the supervisor")
            .arg(status.detail);
    case PlanBook::Conflict::None:
        break;
    }
    return QCoreApplication::translate("LaneText", "CONFLICT");
}

QString endingText(const Lane::Status &status)
{
    switch (status.ending) {
    case Lane::Ending::None: return QCoreApplication::translate("LaneText", "done");
    case Lane::Ending::PlanUsedUp: return QCoreApplication::translate("LaneText", "plan used up");
    case Lane::Ending::Stopped:
        return status.detail.isEmpty() ? QCoreApplication::translate("LaneText", "stopped") : QCoreApplication::translate("LaneText", "stopped: ") + status.detail;
    case Lane::Ending::NoModule: return QCoreApplication::translate("LaneText", "no module within %1 ms").arg(status.timeout.count());
    case Lane::Ending::Lost: return QCoreApplication::translate("LaneText", "port lost: ") + status.detail;
    case Lane::Ending::AlreadyProvisioned:
        return QCoreApplication::translate("LaneText", "the module already holds %1, recorded as passed; nothing was sent").arg(rowOf(status));
    case Lane::Ending::Conflict: return conflictText(status);
    case Lane::Ending::Rework: return QCoreApplication::translate("LaneText", "nothing was written: ") + status.detail;
    case Lane::Ending::Wiring:
        return QCoreApplication::translate("LaneText", "stopped: answers came that this lane did not ask for; another lane or program talks to "
                              "the module on the same wires (a Y cable, two lanes wired to one module): check the wiring");
    case Lane::Ending::StoreFailed:
        break;
    }
    // With a result, the module was written and its outcome is what could
    // not be stored; without, nothing was written.
    if (!status.result)
        return QCoreApplication::translate("LaneText", "the claim could not be recorded, nothing was written: ") + status.detail;
    return QCoreApplication::translate("LaneText", "%1 %2 on the module with MAC %3 could not be recorded (%4); the row is in doubt")
        .arg(*status.result == Result::Pass ? QCoreApplication::translate("LaneText", "PASS") : QCoreApplication::translate("LaneText", "FAIL"), rowOf(status),
             printable(canonicalOf(status.before, Setting::MacAddress)), status.detail);
}

QString activityText(const Lane::Status &status)
{
    if (status.storeWait > 0 && (status.activity == Lane::Activity::Claiming || status.activity == Lane::Activity::Recording)) {
        const QString doing = status.activity == Lane::Activity::Claiming
                                  ? QCoreApplication::translate("LaneText", "claiming a row")
                                  : QCoreApplication::translate("LaneText", "recording row %1").arg(rowNumber(status));
        return QCoreApplication::translate("LaneText", "%1: the database has not answered for %2 s (%3); still waiting")
            .arg(doing)
            .arg(status.storeWait)
            .arg(status.detail);
    }
    switch (status.activity) {
    case Lane::Activity::Waiting: return QCoreApplication::translate("LaneText", "waiting for a module");
    case Lane::Activity::Reading: return QCoreApplication::translate("LaneText", "reading a module");
    case Lane::Activity::Claiming: return QCoreApplication::translate("LaneText", "claiming a row");
    case Lane::Activity::Writing:
        if (status.partOf > 0) {
            return QCoreApplication::translate("LaneText", "writing %1 over the IP address of row %2 the module carried")
                .arg(rowOf(status)).arg(status.partOf);
        }
        return QCoreApplication::translate("LaneText", "writing ") + rowOf(status);
    case Lane::Activity::Finishing: return QCoreApplication::translate("LaneText", "finishing %1, which was in doubt").arg(rowOf(status));
    case Lane::Activity::Verifying: return QCoreApplication::translate("LaneText", "verifying row %1").arg(rowNumber(status));
    case Lane::Activity::Recording: return QCoreApplication::translate("LaneText", "recording row %1").arg(rowNumber(status));
    case Lane::Activity::Retrying:
        return QCoreApplication::translate("LaneText", "storing the outcome of row %1 while the store is unreachable (%2); retrying")
            .arg(rowNumber(status), status.detail);
    case Lane::Activity::TakeOff:
        if (status.result == Result::Pass)
            return QCoreApplication::translate("LaneText", "PASS row %1: take the module off").arg(rowNumber(status));
        return QCoreApplication::translate("LaneText", "FAIL row %1 (%2): take the module off").arg(rowNumber(status), status.reason);
    case Lane::Activity::HoldsRow:
        return QCoreApplication::translate("LaneText", "the module already holds %1, recorded as passed: take it off").arg(rowOf(status));
    case Lane::Activity::NoRowLeft: return QCoreApplication::translate("LaneText", "no open row is left for this module: take it off");
    case Lane::Activity::Conflict: return conflictText(status);
    case Lane::Activity::LostSettings:
        return QCoreApplication::translate("LaneText", "FAIL row %1: the module lost its settings: set this module aside with the one before it")
            .arg(rowNumber(status));
    case Lane::Activity::PortLost:
        return QCoreApplication::translate("LaneText", "port lost: %1; waiting for the device to come back").arg(status.detail);
    case Lane::Activity::PortBack:
        return QCoreApplication::translate("LaneText", "port lost; the device is back but cannot be opened: %1; trying again").arg(status.detail);
    case Lane::Activity::Held:
        return !valueOf(status.before, Setting::MacAddress)
                   ? QCoreApplication::translate("LaneText", "held after the FAIL of row %1: acknowledge it to take the next module")
                         .arg(status.unacknowledged)
                   : QCoreApplication::translate("LaneText", "a module is on, held after the FAIL of row %1: acknowledge it to take this module")
                         .arg(status.unacknowledged);
    case Lane::Activity::NeedsSerial: return QCoreApplication::translate("LaneText", "a module is on: scan its serial");
    case Lane::Activity::SendToRework: return status.detail + QCoreApplication::translate("LaneText", ": take it off");
    case Lane::Activity::Ended: return endingText(status);
    }
    return {};
}

} // namespace

QString rowText(const PlanRow &row)
{
    QStringList values;
    for (Setting setting : allSettings)
        values << printable(valueOf(row.values, setting).value_or(QString()));
    return QCoreApplication::translate("LaneText", "row %1 (%2)").arg(row.row).arg(values.join(QLatin1Char(' ')));
}

QString laneText(const Lane::Status &status)
{
    QString text = activityText(status);
    // Which unit, where one was scanned and the lane is about it.
    if (!status.serial.isEmpty() && status.activity != Lane::Activity::Ended && status.activity != Lane::Activity::NeedsSerial) {
        text += status.attempt > 1 ? QCoreApplication::translate("LaneText", " [serial %1, attempt %2]").arg(printable(status.serial)).arg(status.attempt)
                                   : QCoreApplication::translate("LaneText", " [serial %1]").arg(printable(status.serial));
    }
    switch (status.label) {
    case Lane::LabelState::None: return text;
    case Lane::LabelState::Printing: return text + QCoreApplication::translate("LaneText", "; label printing");
    case Lane::LabelState::Printed: return text + QCoreApplication::translate("LaneText", "; label printed");
    case Lane::LabelState::Sent: return text + QCoreApplication::translate("LaneText", "; label sent, the printer did not confirm it");
    case Lane::LabelState::NotPrinted:
        return text + QCoreApplication::translate("LaneText", "; label NOT printed (%1), reprint with vev-cli label").arg(status.labelReason);
    }
    return text;
}

QString runSummary(const Station &station, const QString &endWord, const QString &releaseWhere)
{
    const StoreStatus &status = station.planStatus();
    QString text = QCoreApplication::translate("LaneText", "%1: %2 passed, %3 failed this run; %n rows left", nullptr,
                                               status.open)
                       .arg(station.planUsedUp() ? QCoreApplication::translate("LaneText", "Plan used up") : endWord)
                       .arg(station.passed()).arg(station.failed());
    if (status.inDoubtCount() > 0) {
        text += QCoreApplication::translate("LaneText", ", %1 in doubt (put their modules back on a lane to finish them, or release them %2)")
                    .arg(status.inDoubtCount()).arg(releaseWhere);
    }
    return text;
}
