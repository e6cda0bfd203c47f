// SPDX-License-Identifier: MIT
#include "stationwindow/doubtmodel.h"

#include "protocol/wireformat.h"
#include "stationwindow/lanetile.h"

namespace {

QString value(const SettingValues &values, Setting setting)
{
    return printable(valueOf(values, setting).value_or(QString()));
}

} // namespace

DoubtModel::DoubtModel(QObject *parent)
    : RowsModel(parent)
{
}

void DoubtModel::setRows(const QList<RowEntry> &inDoubt)
{
    replaceRows(m_rows, inDoubt, [](const RowEntry &entry) { return QString::number(entry.row); }, &DoubtModel::texts);
}

QString DoubtModel::details(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const QString before = settingsText(m_rows.at(row).before);
    return tr("Row %1 was written to a module that held before: %2")
        .arg(m_rows.at(row).row)
        .arg(before.isEmpty() ? tr("nothing read") : before);
}

int DoubtModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DoubtModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QStringList DoubtModel::texts(const RowEntry &entry)
{
    return {QString::number(entry.row), value(entry.values, Setting::IpAddress), value(entry.values, Setting::MacAddress),
            settingsText(entry.before)};
}

QVariant DoubtModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return texts(m_rows.at(index.row())).at(index.column());
    case Qt::ToolTipRole:
        return details(index.row());
    default:
        return {};
    }
}

QVariant DoubtModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return {};
    switch (Column(section)) {
    case Row: return tr("Row");
    case Ip: return tr("IP");
    case Mac: return tr("MAC");
    case Columns: break;
    }
    return {};
}
