// SPDX-License-Identifier: MIT
#pragma once

// The station window's two tables: the last records of the audit, with
// the whole of the selected one under them, and the rows in doubt, with
// one Release button for the selected row.

#include "plan/planbook.h"

#include <QWidget>

class DoubtModel;
class QLabel;
class QPushButton;
class QTableView;
class RecordsModel;
class RowsView;
struct StoreStatus;

class RecordsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit RecordsPanel(QWidget *parent = nullptr);

    void showStatus(const StoreStatus &status);

    RecordsModel *records() const { return m_records; }
    DoubtModel *doubt() const { return m_doubt; }

    // The rows of the records shown at the least, and when there is room.
    static constexpr int fewestRecordRows = 3;
    static constexpr int recordRowsWanted = 8;

signals:
    // Release was pressed for this row in doubt.
    void releaseAsked(const RowEntry &entry);

private:
    void showRecordDetails();
    void showDoubtDetails();
    static int selectedRow(const QTableView *view);

    RecordsModel *m_records;
    DoubtModel *m_doubt;
    RowsView *m_recordsView;
    RowsView *m_doubtView;
    QLabel *m_recordDetails;
    QLabel *m_doubtDetails;
    QPushButton *m_release;
};
