// SPDX-License-Identifier: MIT
#pragma once

// Audits written line by line, and a file store opened on a plan and an
// audit, for the tests of the plan, the stores and the station.

#include "plan/records.h"
#include "store/filestore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <memory>

inline SettingValues settings(const QString &ip, const QString &mac, const QString &gateway = QStringLiteral("10.0.5.1"))
{
    return {ip, gateway, QStringLiteral("502"), mac};
}

// An audit from lines written as "kind ip mac [result]": claim, outcome
// (with its result) and release; "v1" is an outcome as the first version
// wrote it, without a kind.
inline QByteArray auditOf(const QStringList &lines)
{
    QByteArray audit;
    QByteArray prev = firstPrev;
    int row = 0;
    for (const QString &line : lines) {
        const QStringList words = line.split(QLatin1Char(' '));
        const SettingValues values = settings(words.at(1), words.at(2), words.value(4, QStringLiteral("10.0.5.1")));
        AuditRecord record {{}, QStringLiteral("bench-1"), {}, {}, {}};
        ++row;
        if (words.at(0) == QLatin1String("claim"))
            record.body = ClaimRecord {row, QStringLiteral("/dev/ttyUSB0"), {}, values, false};
        else if (words.at(0) == QLatin1String("release"))
            record.body = ReleaseRecord {row, values, QStringLiteral("released by the operator")};
        else
            record.body = OutcomeRecord {row, QStringLiteral("/dev/ttyUSB0"), {}, values, values,
                                         *resultFromText(words.value(3, QStringLiteral("pass"))), {}, {}};
        QByteArray text = auditLine(record, prev);
        if (words.at(0) == QLatin1String("v1")) {
            QJsonObject object = QJsonDocument::fromJson(text).object();
            object.remove(QStringLiteral("kind"));
            text = QJsonDocument(object).toJson(QJsonDocument::Compact);
        }
        audit += text + '\n';
        prev = chainHash(text);
    }
    return audit;
}

// A file store on a plan and an audit, opened; *error says why not.
inline std::unique_ptr<FileStore> openStore(const QString &plan, const QString &audit, QString *error, ExitCode *code = nullptr)
{
    auto store = std::make_unique<FileStore>(FileStore::Options {plan, audit, QStringLiteral("bench-1"),
                                                                 QStringLiteral("Ana"), false, true});
    bool ok = false;
    store->open([&](const ProvisionStore::Opened &opened) {
        ok = opened.ok;
        *error = opened.error;
        if (code)
            *code = opened.code;
    });
    return ok ? std::move(store) : nullptr;
}

inline ProvisionStore::Claim claimFor(ProvisionStore &store, const SettingValues &module)
{
    ProvisionStore::Claim answer;
    store.claim(QStringLiteral("/dev/ttyUSB0"), module, [&](const ProvisionStore::Claim &claim) { answer = claim; });
    return answer;
}

