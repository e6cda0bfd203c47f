// SPDX-License-Identifier: MIT
#pragma once

// The rows in doubt as a table: part of each may be on the module it was
// written to, until the module comes back to finish it or the row is
// released. The details say what the module held before.

#include "plan/planbook.h"
#include "stationwindow/rowsmodel.h"

class DoubtModel : public RowsModel
{
    Q_OBJECT

public:
    enum Column { Row, Ip, Mac, Columns };

    explicit DoubtModel(QObject *parent = nullptr);

    void setRows(const QList<RowEntry> &inDoubt);
    const RowEntry &entry(int row) const { return m_rows.at(row); }
    QString details(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static QStringList texts(const RowEntry &entry);

    QList<RowEntry> m_rows;
};
