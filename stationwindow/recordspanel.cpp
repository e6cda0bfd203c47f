// SPDX-License-Identifier: MIT
#include "stationwindow/recordspanel.h"

#include "stationwindow/doubtmodel.h"
#include "stationwindow/recordsmodel.h"
#include "store/store.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

// Fewer rows than the records at the least: the doubt's Release button
// takes the room of one.
static constexpr int fewestDoubtRows = RecordsPanel::fewestRecordRows - 1;

// A table that asks for room for some rows and makes do with fewer, and
// keeps the rows in view where they were when rows come and go above them.
class RowsView : public QTableView
{
public:
    // With asWideAsColumns, the table asks for the width of its columns
    // as their texts size them; otherwise it takes what is left.
    RowsView(const char *name, int wantedRows, int fewestRows, bool asWideAsColumns, QWidget *parent)
        : QTableView(parent)
        , m_wantedRows(wantedRows)
        , m_fewestRows(fewestRows)
        , m_asWideAsColumns(asWideAsColumns)
    {
        setObjectName(QLatin1String(name));
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setWordWrap(false);
        verticalHeader()->setVisible(false);
        // Rows as tall as their text needs: more of them in view.
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + fontMetrics().height() / 2);
        horizontalHeader()->setHighlightSections(false);
        horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        horizontalHeader()->setStretchLastSection(true);
    }

    void setModel(QAbstractItemModel *model) override
    {
        // Before the view hears of it: a selected row that goes leaves
        // nothing selected, rather than the row after it (Release would
        // then be for a row nobody picked).
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &, int first, int last) {
            const QModelIndexList selected = selectionModel()->selectedRows();
            m_selectedGoes = !selected.isEmpty() && selected.first().row() >= first && selected.first().row() <= last;
        });
        QTableView::setModel(model);
        connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
            if (std::exchange(m_selectedGoes, false))
                selectionModel()->clear();
        });
        if (m_asWideAsColumns) {
            // Its width follows its texts.
            for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
                connect(model, changed, this, [this] { updateGeometry(); });
            connect(model, &QAbstractItemModel::dataChanged, this, [this] { updateGeometry(); });
        }
    }

    // Around a change of the rows: at the top, the newest stay in view;
    // scrolled down, the row looked at stays at the top.
    void holdTop()
    {
        m_top = verticalScrollBar()->value() > 0 ? QPersistentModelIndex(indexAt(QPoint(0, 0))) : QPersistentModelIndex();
    }

    void restoreTop()
    {
        if (!m_top.isValid())
            return;
        doItemsLayout();
        scrollTo(m_top, QAbstractItemView::PositionAtTop);
        m_top = QPersistentModelIndex();
    }

    QSize sizeHint() const override { return {widthFor(QTableView::sizeHint()), heightFor(m_wantedRows)}; }
    QSize minimumSizeHint() const override { return {widthFor(QTableView::minimumSizeHint()), heightFor(m_fewestRows)}; }

private:
    int widthFor(const QSize &otherwise) const
    {
        if (!m_asWideAsColumns)
            return otherwise.width();
        int columns = 0;
        for (int section = 0; section < horizontalHeader()->count(); ++section)
            columns += std::max(horizontalHeader()->sectionSizeHint(section), sizeHintForColumn(section));
        return columns + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    }

    int heightFor(int rows) const
    {
        return horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize() + 2 * frameWidth()
               + horizontalScrollBar()->sizeHint().height();
    }

    int m_wantedRows;
    int m_fewestRows;
    bool m_asWideAsColumns;
    bool m_selectedGoes = false;
    QPersistentModelIndex m_top;
};

namespace {

QLabel *detailsLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines kept for it: the tables do not jump as the selection moves.
    label->setMinimumHeight(2 * label->fontMetrics().lineSpacing());
    return label;
}

} // namespace

RecordsPanel::RecordsPanel(QWidget *parent)
    : QWidget(parent)
    , m_records(new RecordsModel(this))
    , m_doubt(new DoubtModel(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);

    auto *last = new QGroupBox(tr("Last records, newest first"), this);
    m_recordsView = new RowsView("table_records", recordRowsWanted, fewestRecordRows, false, last);
    m_recordsView->setModel(m_records);
    m_recordsView->setAccessibleName(tr("Last records of the audit, newest first"));
    m_recordDetails = detailsLabel("label_recordDetails", last);
    auto *lastLayout = new QVBoxLayout(last);
    lastLayout->addWidget(m_recordsView, 1);
    lastLayout->addWidget(m_recordDetails);

    auto *doubt = new QGroupBox(tr("Rows in doubt"), this);
    m_doubtView = new RowsView("table_doubt", recordRowsWanted, fewestDoubtRows, true, doubt);
    m_doubtView->setModel(m_doubt);
    m_doubtView->setAccessibleName(tr("Rows in doubt: part of each may be on a module"));
    m_doubtDetails = detailsLabel("label_doubtDetails", doubt);
    m_release = new QPushButton(tr("Release…"), doubt);
    m_release->setObjectName(QStringLiteral("pushButton_release"));
    m_release->setToolTip(tr("Release the selected row in doubt back to the plan"));
    m_release->setEnabled(false);
    auto *doubtLayout = new QVBoxLayout(doubt);
    doubtLayout->addWidget(m_doubtView, 1);
    doubtLayout->addWidget(m_doubtDetails);
    doubtLayout->addWidget(m_release, 0, Qt::AlignRight);

    // The rows in doubt as wide as their columns, the records the rest.
    row->addWidget(last, 1);
    row->addWidget(doubt);

    connect(m_recordsView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &RecordsPanel::showRecordDetails);
    connect(m_records, &QAbstractItemModel::dataChanged, this, &RecordsPanel::showRecordDetails);
    connect(m_doubtView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &RecordsPanel::showDoubtDetails);
    connect(m_doubt, &QAbstractItemModel::dataChanged, this, &RecordsPanel::showDoubtDetails);
    connect(m_release, &QPushButton::clicked, this, [this] {
        if (const int selected = selectedRow(m_doubtView); selected >= 0)
            emit releaseAsked(m_doubt->entry(selected));
    });
    showRecordDetails();
    showDoubtDetails();
}

void RecordsPanel::showStatus(const StoreStatus &status)
{
    for (RowsView *view : {m_recordsView, m_doubtView})
        view->holdTop();
    m_records->setRecords(status.recent);
    m_doubt->setRows(status.inDoubt);
    for (RowsView *view : {m_recordsView, m_doubtView})
        view->restoreTop();
    // A row that went leaves nothing selected, and nothing to release.
    showRecordDetails();
    showDoubtDetails();
}

int RecordsPanel::selectedRow(const QTableView *view)
{
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void RecordsPanel::showRecordDetails()
{
    const int selected = selectedRow(m_recordsView);
    m_recordDetails->setText(selected >= 0 ? m_records->details(selected)
                                           : tr("Select a record to read it whole."));
}

void RecordsPanel::showDoubtDetails()
{
    const int selected = selectedRow(m_doubtView);
    m_doubtDetails->setText(selected >= 0 ? m_doubt->details(selected)
                                          : m_doubt->rowCount() > 0 ? tr("Select a row to release it.") : QString());
    m_release->setEnabled(selected >= 0);
    m_release->setAccessibleName(selected >= 0 ? tr("Release row %1").arg(m_doubt->entry(selected).row) : tr("Release"));
}
