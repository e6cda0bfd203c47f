// SPDX-License-Identifier: MIT
#pragma once

// A table whose rows are replaced by a newer list now and then (the last
// records, the rows in doubt): the change reaches the views row by row
// (removed, moved, inserted, changed), never as a reset, so that what the
// operator selected stays selected and the view stays where it was.

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

class RowsModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    // rows becomes next. keyOf names a row for as long as it is shown (the
    // same key twice is told apart by its order); textsOf gives what is
    // shown of it, compared to tell a changed row.
    template <typename Row, typename KeyOf, typename TextsOf>
    void replaceRows(QList<Row> &rows, const QList<Row> &next, KeyOf keyOf, TextsOf textsOf);

private:
    template <typename Row, typename KeyOf>
    static QStringList keysOf(const QList<Row> &rows, KeyOf keyOf);
};

template <typename Row, typename KeyOf>
QStringList RowsModel::keysOf(const QList<Row> &rows, KeyOf keyOf)
{
    QHash<QString, int> seen;
    QStringList keys;
    keys.reserve(rows.size());
    for (const Row &row : rows) {
        const QString key = keyOf(row);
        keys << key + QLatin1Char('#') + QString::number(seen[key]++);
    }
    return keys;
}

template <typename Row, typename KeyOf, typename TextsOf>
void RowsModel::replaceRows(QList<Row> &rows, const QList<Row> &next, KeyOf keyOf, TextsOf textsOf)
{
    QStringList keys = keysOf(rows, keyOf);
    const QStringList nextKeys = keysOf(next, keyOf);
    const QSet<QString> wanted(nextKeys.cbegin(), nextKeys.cend());
    // The rows that went, a run at a time from the bottom.
    for (int last = int(rows.size()) - 1; last >= 0;) {
        if (wanted.contains(keys.at(last))) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !wanted.contains(keys.at(first - 1)))
            --first;
        beginRemoveRows({}, first, last);
        rows.erase(rows.begin() + first, rows.begin() + last + 1);
        keys.erase(keys.begin() + first, keys.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }
    QSet<QString> present(keys.cbegin(), keys.cend());
    for (int at = 0; at < next.size(); ++at) {
        const QString &key = nextKeys.at(at);
        if (!present.contains(key)) {
            // The new rows here, in one go.
            int count = 1;
            while (at + count < next.size() && !present.contains(nextKeys.at(at + count)))
                ++count;
            beginInsertRows({}, at, at + count - 1);
            for (int i = 0; i < count; ++i) {
                rows.insert(at + i, next.at(at + i));
                keys.insert(at + i, nextKeys.at(at + i));
                present.insert(nextKeys.at(at + i));
            }
            endInsertRows();
            at += count - 1;
            continue;
        }
        if (keys.at(at) != key) {
            const int from = int(keys.indexOf(key, at + 1));
            beginMoveRows({}, from, from, {}, at);
            rows.move(from, at);
            keys.move(from, at);
            endMoveRows();
        }
        if (textsOf(rows.at(at)) != textsOf(next.at(at))) {
            rows[at] = next.at(at);
            emit dataChanged(index(at, 0), index(at, columnCount() - 1));
        }
    }
}
