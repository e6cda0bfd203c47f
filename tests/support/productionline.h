// SPDX-License-Identifier: MIT
#pragma once

// A plan to provision by, and the audit a run leaves, for the tests that
// run vev-cli provision.

#include "plan/auditfile.h"
#include "tamper.h"

#include <QStringList>
#include <QTemporaryDir>

#include <type_traits>

inline const QByteArray plan3 = "ip,gateway,tcp_port,mac\n10.0.5.21,10.0.5.1,502,02:00:00:00:10:01\n"
                                "10.0.5.22,10.0.5.1,502,02:00:00:00:10:02\n10.0.5.23,10.0.5.1,502,02:00:00:00:10:03\n";
inline const QByteArray plan4 = plan3 + "10.0.5.24,10.0.5.1,502,02:00:00:00:10:04\n";

// The audit as "kind row [result]" a line; a label's line says "printed" or
// "not printed"; a unit's serial and an outcome's attempt follow where a
// serial was scanned ("outcome 1 pass SN-1 #1").
inline QStringList auditKinds(const QString &path)
{
    QStringList kinds;
    verifyAudit(path, [&](const AuditRecord &record, int) {
        kinds << kindName(record.body) + std::visit([](const auto &body) {
            QString text = QStringLiteral(" %1").arg(body.row);
            using Body = std::decay_t<decltype(body)>;
            if constexpr (std::is_same_v<Body, OutcomeRecord>)
                text += QLatin1Char(' ') + resultText(body.result);
            if constexpr (std::is_same_v<Body, LabelRecord>)
                text += body.printed ? QStringLiteral(" printed") : body.sent ? QStringLiteral(" sent") : QStringLiteral(" not printed");
            if (!recordSerial(body).isEmpty())
                text += QLatin1Char(' ') + recordSerial(body);
            if constexpr (std::is_same_v<Body, OutcomeRecord>) {
                if (!body.serial.isEmpty())
                    text += QStringLiteral(" #%1").arg(body.attempt);
            }
            return text;
        }, record.body);
    });
    return kinds;
}

// What the modules of a vev-sim line left with, in their order, as
// "ip gateway port mac": from its log for those taken off or swapped.
inline QStringList modulesLeft(const QString &simulatorLog)
{
    QStringList left;
    for (const QString &line : simulatorLog.split(QLatin1Char('\n'))) {
        const int at = line.indexOf(QLatin1String(" holding "));
        if (line.startsWith(QLatin1String("Module ")) && at > 0)
            left << line.mid(at + 9).trimmed();
    }
    return left;
}

inline QStringList provision(const QString &plan, const QString &audit, const QStringList &more = {})
{
    return QStringList {"provision", "--plan", plan, "--audit", audit} + more;
}
