// SPDX-License-Identifier: MIT
#pragma once

// The last outcomes of the audit, newest first, as a table: when, which
// lane, which row and IP, and the result with its reason in full
// ("FAIL: IP address reads back ..."), which the tooltip and the details
// say whole where the column is too narrow.

#include "plan/records.h"
#include "stationwindow/rowsmodel.h"

class RecordsModel : public RowsModel
{
    Q_OBJECT

public:
    enum Column { Time, Lane, Row, Ip, Result, Columns };

    explicit RecordsModel(QObject *parent = nullptr);

    // The audit's recent records; the ones that are no outcome are left out.
    void setRecords(const QList<AuditRecord> &recent);

    // "PASS", or "FAIL: " and why.
    static QString resultText(const OutcomeRecord &outcome);
    // Everything known of the record in row, for the details pane.
    QString details(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList texts(const AuditRecord &record) const;

    QList<AuditRecord> m_records;
};
