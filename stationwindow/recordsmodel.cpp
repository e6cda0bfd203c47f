// SPDX-License-Identifier: MIT
#include "stationwindow/recordsmodel.h"

#include "protocol/wireformat.h"

#include <QColor>
#include <QDateTime>
#include <QFont>

namespace {

const QColor failedRowColour(255, 205, 210);

const OutcomeRecord &outcomeOf(const AuditRecord &record)
{
    return std::get<OutcomeRecord>(record.body);
}

QString timeText(const AuditRecord &record)
{
    const QDateTime time = QDateTime::fromString(record.time, Qt::ISODateWithMs);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("HH:mm:ss")) : record.time;
}

QString ipOf(const SettingValues &values)
{
    return printable(valueOf(values, Setting::IpAddress).value_or(QString()));
}

} // namespace

RecordsModel::RecordsModel(QObject *parent)
    : RowsModel(parent)
{
}

void RecordsModel::setRecords(const QList<AuditRecord> &recent)
{
    QList<AuditRecord> outcomes;
    for (const AuditRecord &record : recent) {
        if (std::holds_alternative<OutcomeRecord>(record.body))
            outcomes << record;
    }
    replaceRows(
        m_records, outcomes,
        [](const AuditRecord &record) {
            const OutcomeRecord &outcome = outcomeOf(record);
            return QStringLiteral("%1 %2 %3").arg(record.time, outcome.port).arg(outcome.row);
        },
        [this](const AuditRecord &record) { return texts(record); });
}

QString RecordsModel::resultText(const OutcomeRecord &outcome)
{
    if (outcome.result == ::Result::Pass)
        return tr("PASS");
    if (!outcome.reason.isEmpty())
        return tr("FAIL: %1").arg(printable(outcome.reason));
    return outcome.result == ::Result::Fail ? tr("FAIL") : tr("FAIL: %1").arg(::resultText(outcome.result));
}

QString RecordsModel::details(int row) const
{
    if (row < 0 || row >= m_records.size())
        return {};
    const AuditRecord &record = m_records.at(row);
    const OutcomeRecord &outcome = outcomeOf(record);
    const QString said = tr("Row %1 on %2 at %3: %4").arg(outcome.row).arg(printable(outcome.port), timeText(record),
                                                          resultText(outcome));
    return record.operatorName.isEmpty() ? said : tr("%1 (operator: %2)").arg(said, printable(record.operatorName));
}

int RecordsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int RecordsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QStringList RecordsModel::texts(const AuditRecord &record) const
{
    const OutcomeRecord &outcome = outcomeOf(record);
    return {timeText(record), printable(outcome.port), QString::number(outcome.row), ipOf(outcome.written),
            resultText(outcome), record.operatorName};
}

QVariant RecordsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AuditRecord &record = m_records.at(index.row());
    const bool passed = outcomeOf(record).result == ::Result::Pass;
    switch (role) {
    case Qt::DisplayRole:
        return texts(record).at(index.column());
    case Qt::ToolTipRole:
        // The whole reason, wherever the pointer rests on the row.
        return details(index.row());
    case Qt::BackgroundRole:
        return passed ? QVariant() : QVariant(failedRowColour);
    case Qt::FontRole: {
        if (passed)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    default:
        return {};
    }
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return {};
    switch (Column(section)) {
    case Time: return tr("Time");
    case Lane: return tr("Lane");
    case Row: return tr("Row");
    case Ip: return tr("IP");
    case Result: return tr("Result");
    case Columns: break;
    }
    return {};
}
