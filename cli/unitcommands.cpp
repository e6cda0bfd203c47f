// SPDX-License-Identifier: MIT
#include "unitcommands.h"

#include "plan/failurecodes.h"
#include "plan/unitbook.h"
#include "protocol/values.h"
#include "provisioncommands.h"

#include <QSet>

namespace cli {

namespace {

bool scannersOf(const Args &args, Station::Options *lanes, Refusal *refusal)
{
    const QStringList given = args.parser.values(options().scanner);
    for (const QString &item : given) {
        const int equals = item.indexOf(QLatin1Char('='));
        const QString lane = item.left(equals);
        const QString device = item.mid(equals + 1);
        if (equals <= 0 || device.isEmpty()) {
            return bool(refused<bool>(refusal, QStringLiteral("--scanner takes LANE_PORT=DEVICE, not \"%1\"")
                                                   .arg(printable(item))));
        }
        if (!lanes->ports.contains(lane)) {
            return bool(refused<bool>(refusal, QStringLiteral("--scanner %1: %2 is not one of the lanes' --port")
                                                   .arg(printable(item), printable(lane))));
        }
        if (lanes->scanners.contains(lane) || lanes->ports.contains(device)) {
            return bool(refused<bool>(refusal, QStringLiteral("--scanner %1: a lane has one scanner, and a scanner "
                                                              "is no lane's port").arg(printable(item))));
        }
        lanes->scanners.insert(lane, device);
    }
    return true;
}

} // namespace

bool unitOptions(const Args &args, Station::Options *lanes, Refusal *refusal)
{
    const Options &o = options();
    const QString mode = args.given(o.serial).value_or(QStringLiteral("off"));
    QString why;
    const auto serial = Lane::serialModeOf(mode, &why);
    if (!serial)
        return bool(refused<bool>(refusal, why));
    lanes->serial = *serial;
    const bool serials = *serial != Lane::SerialMode::Off;
    if (const auto pattern = args.given(o.serialPattern)) {
        const QRegularExpression expression(*pattern);
        if (!expression.isValid()) {
            return bool(refused<bool>(refusal, QStringLiteral("--serial-pattern \"%1\" is no regular expression: %2 at "
                                                              "character %3").arg(printable(*pattern),
                                                                                  expression.errorString())
                                                   .arg(expression.patternErrorOffset())));
        }
        lanes->serialPattern = expression;
    }
    const auto needsSerials = [&](const QString &what) {
        return bool(refused<bool>(refusal, QStringLiteral("%1 goes with --serial optional or required").arg(what)));
    };
    if (!serials && (args.isSet(o.serialPattern) || args.isSet(o.scanner)))
        return needsSerials(args.isSet(o.scanner) ? QStringLiteral("--scanner") : QStringLiteral("--serial-pattern"));
    if (!scannersOf(args, lanes, refusal))
        return false;
    QString error;
    const auto qrSerial = parseLabelQr(args.value(o.labelQr), &error);
    if (!qrSerial)
        return bool(refused<bool>(refusal, error));
    if (*qrSerial && !serials)
        return needsSerials(QStringLiteral("--label-qr serial+mac"));
    lanes->labelQrSerial = *qrSerial;
    std::optional<int> attempts;
    if (args.isSet(o.maxAttempts) && !(attempts = Lane::attemptsOf(args.value(o.maxAttempts), &why)))
        return bool(refused<bool>(refusal, why));
    lanes->maxAttempts = Lane::attemptLimit(*serial, attempts);
    return true;
}

std::optional<ReworkRecord> reworkOf(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    if (args.isSet(o.serial) == args.isSet(o.mac))
        return refused<ReworkRecord>(refusal, QStringLiteral("rework needs the unit: --serial S or --mac M"));
    ReworkRecord rework;
    QString why;
    if (args.isSet(o.serial)) {
        const auto serial = serialOf(args.value(o.serial), &why);
        if (!serial)
            return refused<ReworkRecord>(refusal, QStringLiteral("--serial: ") + why);
        rework.serial = *serial;
    } else {
        if (!isValidValue(Setting::MacAddress, args.value(o.mac))) {
            return refused<ReworkRecord>(refusal, QStringLiteral("--mac \"%1\" is not a MAC address")
                                                      .arg(printable(args.value(o.mac))));
        }
        rework.mac = canonicalValue(Setting::MacAddress, args.value(o.mac));
    }
    rework.code = args.value(o.code);
    if (!isFailureCode(rework.code)) {
        return refused<ReworkRecord>(refusal, QStringLiteral("rework needs --code, one of the failure codes (vev-cli "
                                                             "--help lists them), not \"%1\"").arg(printable(rework.code)));
    }
    const auto note = recordName(args.value(o.note), QStringLiteral("--note"), &why);
    if (!note)
        return refused<ReworkRecord>(refusal, why);
    rework.note = *note;
    return rework;
}

void runRework(const StoreSetup &setup, const ReworkRecord &rework, const Done &done)
{
    withStore(setup, done, [rework, done](const std::shared_ptr<ProvisionStore> &store) {
        store->note(rework, [store, rework, done](const QString &error) {
            if (!error.isEmpty())
                return done(fail(ExitCode::Failure, error));
            out() << QStringLiteral("The unit %1 is back from rework (%2): its next attempt is its first again.\n")
                         .arg(rework.serial.isEmpty() ? QStringLiteral("with MAC ") + rework.mac
                                                      : QStringLiteral("with serial ") + printable(rework.serial),
                              rework.code);
            done(ExitCode::Ok);
        });
    });
}

} // namespace cli
