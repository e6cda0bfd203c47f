// SPDX-License-Identifier: MIT
#include "stationwindow/stationsetup.h"

#include "protocol/wireformat.h"
#include "serial/portaccess.h"
#include "store/databaseuri.h"
#include "store/storesetup.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>

#include <algorithm>

namespace {

const QString planKey = QStringLiteral("plan");
const QString auditKey = QStringLiteral("audit");
const QString stationKey = QStringLiteral("station");
// Where an operator's name was once remembered: who was at the bench then
// is nobody's name for the next shift.
const QString oldOperatorKey = QStringLiteral("operator");
const QString portsKey = QStringLiteral("ports");
const QString bellKey = QStringLiteral("bellOnFail");
const QString passToneKey = QStringLiteral("toneOnPass");
const QString labelsKey = QStringLiteral("labels");
const QString labelDestinationKey = QStringLiteral("labelDestination");
const QString serialKey = QStringLiteral("serial");
const QString serialPatternKey = QStringLiteral("serialPattern");
const QString maxAttemptsKey = QStringLiteral("maxAttempts");
// The settings' names for the serial modes, in the enum's order.
const QStringList serialModes {QStringLiteral("off"), QStringLiteral("optional"), QStringLiteral("required")};
const QString rosterKey = QStringLiteral("roster");
const QString instructionsKey = QStringLiteral("instructions");
const QString ackFailKey = QStringLiteral("ackFail");
// The settings' names for the label kinds, in the enum's order.
const QStringList labelKinds {QStringLiteral("none"), QStringLiteral("folder"), QStringLiteral("zpl"),
                              QStringLiteral("printer")};

// The Plan field's URI with no password: the one it parses to, shown as
// vev-cli shows it; one that does not parse loses everything from its
// scheme to its last @, and its settings after the ? (a / or ? in a
// password cuts it where the parser cannot tell).
QString withoutPassword(const QString &text)
{
    QString error;
    if (const auto uri = DatabaseUri::parse(text, &error))
        return uri->password.isEmpty() ? text : uri->display();
    QString kept = text;
    const int scheme = kept.indexOf(QLatin1String("://"));
    const int at = kept.lastIndexOf(QLatin1Char('@'));
    if (scheme >= 0 && at > scheme)
        kept.remove(scheme + 3, at + 1 - (scheme + 3));
    // Its settings go too: a password among them may hold a & or be
    // %-encoded past any pattern.
    const int query = kept.indexOf(QLatin1Char('?'));
    return query >= 0 ? kept.left(query) : kept;
}

} // namespace

void StationSetup::load(const QSettings &settings)
{
    planPath = settings.value(planKey).toString();
    auditPath = settings.value(auditKey).toString();
    station = settings.value(stationKey).toString();
    ports = settings.value(portsKey).toStringList();
    bell = settings.value(bellKey, true).toBool();
    passTone = settings.value(passToneKey, true).toBool();
    labels = Labels(std::max(0, int(labelKinds.indexOf(settings.value(labelsKey).toString()))));
    labelDestination = settings.value(labelDestinationKey).toString();
    serial = Lane::SerialMode(std::max(0, int(serialModes.indexOf(settings.value(serialKey).toString()))));
    serialPattern = settings.value(serialPatternKey).toString();
    maxAttempts = settings.value(maxAttemptsKey, -1).toInt();
    rosterPath = settings.value(rosterKey).toString();
    instructionsPath = settings.value(instructionsKey).toString();
    ackFail = settings.value(ackFailKey, false).toBool();
}

void StationSetup::save(QSettings &settings) const
{
    // A database's password is not kept in the settings file, whether the
    // URI reads or not: PGPASSWORD or ~/.pgpass hold it, as for vev-cli.
    settings.setValue(planKey, usesDatabase() ? withoutPassword(planPath.trimmed()) : planPath);
    settings.setValue(auditKey, auditPath);
    settings.setValue(stationKey, station);
    settings.remove(oldOperatorKey);
    settings.setValue(portsKey, ports);
    settings.setValue(bellKey, bell);
    settings.setValue(passToneKey, passTone);
    settings.setValue(labelsKey, labelKinds.at(int(labels)));
    settings.setValue(labelDestinationKey, labelDestination);
    settings.setValue(serialKey, serialModes.at(int(serial)));
    settings.setValue(serialPatternKey, serialPattern);
    settings.setValue(maxAttemptsKey, maxAttempts);
    settings.setValue(rosterKey, rosterPath);
    settings.setValue(instructionsKey, instructionsPath);
    settings.setValue(ackFailKey, ackFail);
    // The file names the benches' database: for its owner alone.
    settings.sync();
    QFile::setPermissions(settings.fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

bool StationSetup::usesDatabase() const
{
    return StoreSetup {planPath, {}, {}, {}, false, true, {}}.usesDatabase();
}

QString StationSetup::problem() const
{
    if (planPath.trimmed().isEmpty())
        return QCoreApplication::translate("StationSetup", "Choose the plan: a CSV file, or the postgresql:// URI of a plan several benches share.");
    QString error;
    if (usesDatabase() && !DatabaseUri::parse(planPath.trimmed(), &error))
        return QCoreApplication::translate("StationSetup", "Plan: %1.").arg(printable(error));
    if (!usesDatabase() && auditPath.trimmed().isEmpty())
        return QCoreApplication::translate("StationSetup", "Choose the audit file (JSON lines; a new file is created).");
    if (!recordName(station, QCoreApplication::translate("StationSetup", "Station"), &error) || !recordName(operatorName, QCoreApplication::translate("StationSetup", "Operator"), &error))
        return error + QLatin1Char('.');
    if (ports.isEmpty())
        return QCoreApplication::translate("StationSetup", "Tick or type at least one serial port: each is a lane.");
    // ttyUSB0, /dev/ttyUSB0 and a link to it are one device: two lanes on
    // it would each take the other's answers.
    QHash<QString, QString> seen;
    for (const QString &port : ports) {
        const QString device = resolvedPortPath(port);
        if (seen.contains(device)) {
            return QCoreApplication::translate("StationSetup", "%1 and %2 are the same port (%3); give each port once.")
                .arg(printable(seen.value(device)), printable(port), printable(device));
        }
        seen.insert(device, port);
    }
    if (labels != Labels::None && !labelTarget(&error))
        return QCoreApplication::translate("StationSetup", "Labels: %1.").arg(printable(error));
    const QRegularExpression pattern(serialPattern);
    if (!serialPattern.isEmpty() && !pattern.isValid()) {
        return QCoreApplication::translate("StationSetup", "Serial pattern \"%1\": %2 at character %3.")
            .arg(printable(serialPattern), pattern.errorString()).arg(pattern.patternErrorOffset());
    }
    if (!instructionsPath.isEmpty() && !Instructions::fromFile(instructionsPath, &error)) {
        return QCoreApplication::translate("StationSetup", "Instructions %1: %2.")
            .arg(printable(instructionsPath), printable(error));
    }
    return {};
}

Instructions StationSetup::instructions() const
{
    QString why;
    return instructionsPath.isEmpty() ? Instructions() : Instructions::fromFile(instructionsPath, &why).value_or(Instructions());
}

std::optional<LabelTarget> StationSetup::labelTarget(QString *error) const
{
    LabelTargetOptions options;
    const QString destination = labelDestination.trimmed();
    switch (labels) {
    case Labels::None: return std::nullopt;
    case Labels::Folder: options.folder = destination; break;
    case Labels::Zpl: options.zpl = destination; break;
    case Labels::Printer: options.printer = destination; break;
    }
    return ::labelTarget(options, error);
}

QString StationSetup::stationName() const
{
    QString why;
    const QString name = recordName(station, {}, &why).value_or(station);
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

std::unique_ptr<ProvisionStore> StationSetup::makeStore(bool lock, QString *error) const
{
    StoreSetup store;
    store.plan = planPath;
    store.audit = auditPath;
    QString why;
    store.station = stationName();
    store.operatorName = recordName(operatorName, {}, &why).value_or(operatorName);
    store.operatorId = operatorId;
    store.take = lock;
    store.maxAttempts = Lane::attemptLimit(serial, maxAttempts >= 0 ? std::optional(maxAttempts) : std::nullopt);
    return ::makeStore(store, error);
}

std::unique_ptr<Station> StationSetup::makeStation(QString *error) const
{
    Station::Options options;
    options.ports = ports;
    options.timeout = timeout;
    options.reopenLostPorts = true;
    options.serial = serial;
    options.serialPattern = QRegularExpression(serialPattern);
    options.holdAfterFail = ackFail;
    options.label = labelTarget(error);
    if (labels != Labels::None && !options.label)
        return nullptr;
    auto store = makeStore(true, error);
    if (!store)
        return nullptr;
    return std::make_unique<Station>(std::move(store), options);
}
