// SPDX-License-Identifier: MIT
#pragma once

// The store of one bench: the plan in a CSV file and the audit in a file of
// JSON lines beside it. A run holds both for its whole life through lock
// files beside them, taken before either is read, so a second run on either
// is refused at once with the holder named. Answers come at once.

#include "plan/auditfile.h"
#include "store/store.h"

#include <QLockFile>

#include <memory>

class FileStore : public ProvisionStore
{
    Q_OBJECT

public:
    struct Options {
        QString planPath;
        QString auditPath;
        QString station;      // the host name when empty
        QString operatorName;
        bool force = false;   // accept IP addresses on the edge of their /24
        bool lock = true;     // false: only look (plan status), never write
    };

    explicit FileStore(Options options, QObject *parent = nullptr);
    ~FileStore() override;

    void open(std::function<void(const Opened &)> done) override;
    void claim(const QString &port, const SettingValues &module, std::function<void(const Claim &)> done) override;
    void record(const OutcomeRecord &outcome, std::function<void(const QString &)> done) override;
    void unclaim(const PlanRow &row, std::function<void(const QString &)> done) override;
    void release(int row, std::function<void(const Answer &, const SettingValues &)> done) override;
    void note(const AuditBody &body, std::function<void(const QString &)> done) override;
    void status(std::function<void(const StoreStatus &)> done) override;
    QString stationName() const override { return m_options.station; }
    QString operatorName() const override { return m_options.operatorName; }
    QString description() const override;

    Place place() const override;
    void planStatus(std::function<void(const Answer &, const StoreStatus &)> done) override;
    void exportAudit(std::function<bool(const QByteArray &)> line, std::function<void(const Answer &)> done) override;
    void verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                     std::function<void(const Answer &, const AuditCheck &)> done) override;
    // A plan several stations share is imported into a database, and so
    // are records kept while it could not be reached: refused here.
    void importPlan(const QList<PlanRow> &rows, bool forced, std::function<void(const Answer &, int)> done) override;
    void importAudit(const QList<AuditRecord> &records, std::function<void(const Answer &, int, int)> done) override;

    const PlanBook &book() const { return m_book; }

    // Who holds a file's lock, "vev-cli, process 1234 on bench-1", or
    // empty when nobody does.
    static QString lockHolder(const QString &path);

private:
    bool takeLock(std::unique_ptr<QLockFile> &lock, const QString &path, const char *what, Opened *opened);
    QString append(const AuditBody &body);
    void settled(const QString &error);
    void remember(const AuditRecord &record);
    PlanRow rowOf(int entry) const;

    Options m_options;
    std::unique_ptr<QLockFile> m_planLock;
    std::unique_ptr<QLockFile> m_auditLock;
    AuditFile m_audit;
    PlanBook m_book;
    QList<AuditRecord> m_recent; // newest last
    bool m_open = false;
};
