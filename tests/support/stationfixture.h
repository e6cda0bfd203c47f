// SPDX-License-Identifier: MIT
#pragma once

// A station's files as a shift leaves them, for the tests that open the
// station window on them.

#include "auditfixture.h"
#include "productionline.h"

// A plan of four rows whose audit holds a pass and a failure still in
// doubt; the audit is dir's audit.jsonl, and the plan's path is returned.
inline QString planWithAFailure(const QTemporaryDir &dir)
{
    OutcomeRecord failed {2, QStringLiteral("/dev/ttyUSB1"), {}, settings(QStringLiteral("10.0.5.22"), QStringLiteral("02:00:00:00:10:02")),
                          settings(QStringLiteral("192.168.1.20"), QStringLiteral("02:00:00:00:10:02")), Result::Fail,
                          QStringLiteral("IP address reads back \"192.168.1.20\" instead of \"10.0.5.22\""), {}};
    OutcomeRecord passed = failed;
    passed.row = 1;
    passed.written = passed.readBack = settings(QStringLiteral("10.0.5.21"), QStringLiteral("02:00:00:00:10:01"));
    passed.result = Result::Pass;
    passed.reason.clear();
    QByteArray audit;
    QByteArray prev = firstPrev;
    for (const AuditBody &body : {AuditBody(passed), AuditBody(failed)}) {
        const QByteArray line = auditLine({QStringLiteral("2026-12-09T05:00:00.000Z"), QStringLiteral("bench-1"),
                                           QStringLiteral("Ana"), {}, body}, prev);
        audit += line + '\n';
        prev = chainHash(line);
    }
    writeFile(dir, QStringLiteral("audit.jsonl"), audit);
    return writeFile(dir, QStringLiteral("plan.csv"), plan4);
}
