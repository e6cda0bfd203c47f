// SPDX-License-Identifier: MIT
#pragma once

// The store of one bench: the plan in a CSV file and the audit in a file of
// JSON lines beside it. A run holds both files themselves for its whole life
// (see filehold.h), locked before either is read, so a second run on either,
// by whatever path, is refused at once with the holder named. Before each
// claim and each record, and several times a second besides, it checks that
// the paths still lead to the files it holds and that the audit is as it
// left it; once they do not, it says so (compromised), claims nothing more,
// and keeps what lanes still record in a file beside the audit, for audit
// import. Answers come at once.

#include "plan/auditfile.h"
#include "store/filehold.h"
#include "store/keptrecords.h"
#include "store/store.h"

#include <QTimer>

#include <chrono>
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
        int maxAttempts = 0;  // a unit's outcomes before it goes to rework; 0: no limit
        QString operatorId = {}; // with a roster
    };

    explicit FileStore(Options options, QObject *parent = nullptr);
    ~FileStore() override;

    void open(std::function<void(const Opened &)> done) override;
    using ProvisionStore::claim;
    void claim(const QString &port, const SettingValues &module, const QString &serial,
               std::function<void(const Claim &)> done) override;
    void record(const OutcomeRecord &outcome, std::function<void(const QString &)> done) override;
    void unclaim(const PlanRow &row, std::function<void(const QString &)> done) override;
    void release(int row, const Signer &supervisor,
                 std::function<void(const Answer &, const SettingValues &)> done) override;
    void note(const AuditBody &body, std::function<void(const QString &)> done) override;
    void status(std::function<void(const StoreStatus &)> done) override;
    void lastPassed(const QString &port, std::function<void(const std::optional<RowEntry> &)> done) override;
    QString stationName() const override { return m_options.station; }
    QString operatorName() const override { return m_options.operatorName; }
    QString operatorId() const override { return m_options.operatorId; }
    QString description() const override;

    Place place() const override;
    void planStatus(std::function<void(const Answer &, const StoreStatus &)> done) override;
    void exportAudit(std::function<bool(const QByteArray &)> line, std::function<void(const Answer &)> done) override;
    void verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                     std::function<void(const Answer &, const AuditCheck &)> done) override;
    // A plan several stations share is imported into a database: refused here.
    void importPlan(const std::shared_ptr<PlanReader> &plan, bool forced,
                    std::function<void(const Answer &, int)> done) override;
    // Each record re-chained onto the audit, all or none, and the rows'
    // states follow. A record that changes a row's state is taken only
    // while the audit shows that row claimed, by the record's station,
    // before the record's time: the run that kept it left it so.
    void importAudit(const QList<AuditRecord> &records, std::function<void(const Answer &, int, int)> done) override;

    const PlanBook &book() const { return m_book; }

    // Who holds a file, "vev-cli, process 1234 on bench-1", going by its
    // lock; empty when nobody does.
    static QString lockHolder(const QString &path);

    // How often a run looks at its files between claims and records.
    static constexpr std::chrono::milliseconds watchInterval {250};

private:
    bool hold(FileHold &file, const QString &path, bool audit, Opened *opened);
    bool openAudit(const AuditVisitor &replay, Opened *opened);
    QString append(const AuditBody &body, bool keepIfChanged = true);
    bool sound();
    QString changeText() const;
    QString keep(const AuditRecord &record);
    void settled(const QString &error);
    void remember(const AuditRecord &record);
    PlanRow rowOf(int entry) const;
    std::optional<QString> unsettled(const PlanBook &book, const AuditRecord &record) const;

    Options m_options;
    FileHold m_planFile;
    FileHold m_auditFile;
    AuditFile m_audit;
    QTimer m_watch;
    QString m_compromise; // why the files can no longer be trusted; empty while they can
    KeptRecords m_kept;
    PlanBook m_book;
    UnitBook m_units;
    QList<AuditRecord> m_recent; // newest last
    bool m_open = false;
};
