// SPDX-License-Identifier: GPL-3.0-or-later
#include "reviewsheet.h"

#include "app/appdelegate.h"
#include "binding.h"
#include "operations/changesmodel.h"
#include "operations/runreport.h"
#include "reviewtablemodel.h"
#include "reviewvaluedelegate.h"
#include "support/fileutils.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// A path keeps its end, the file's name, when its column is too narrow.
class PathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideLeft;
    }
};

const QString sizeKey = QStringLiteral("ReviewSheetSize");
// The file column's width when the sheet opens at its own size.
constexpr int fileColumnWidth = 280;

} // namespace

ReviewSheet::ReviewSheet(AppDelegate *app, QWidget *window)
    : Sheet(window, QStringLiteral("changePanel")), app_(app), summary_(new QLabel(this)), table_(new QTableView(this)),
      checkButton_(new QPushButton(tr("Check Selected"), this)),
      uncheckButton_(new QPushButton(tr("Uncheck Selected"), this)), cancelButton_(new QPushButton(tr("Cancel"), this)),
      applyButton_(new QPushButton(tr("Apply"), this)), model_(new ReviewTableModel(app->changesModel(), this)),
      sorted_(new QSortFilterProxyModel(this)), checkedCount_(new QLabel(this))
{
    setWindowTitle(tr("Review Changes"));

    summary_->setObjectName("changeInfoTextField");
    summary_->setWordWrap(true);
    Binding::bind(summary_, "text", app, "changeInfo");

    // Sorted only when a header is clicked: a row must not jump away when its box is toggled.
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(ReviewTableModel::SortRole);
    sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
    sorted_->setDynamicSortFilter(false);
    table_->setModel(sorted_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder);
    table_->setItemDelegateForColumn(ChangesModel::OldColumn, new ReviewValueDelegate(false, table_));
    table_->setItemDelegateForColumn(ChangesModel::NewColumn, new ReviewValueDelegate(true, table_));
    table_->setItemDelegateForColumn(ReviewTableModel::FileColumn, new PathDelegate(table_));
    table_->installEventFilter(this);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed row heights and column widths: measuring contents would visit
    // every record and make long lists slow to open.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->verticalHeader()->hide();
    QHeaderView *header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    header->resizeSection(ChangesModel::CheckColumn, 28);
    header->resizeSection(ChangesModel::TitleColumn, 170);
    header->resizeSection(ChangesModel::ArtistColumn, 140);
    header->resizeSection(ChangesModel::TagColumn, 80);
    header->resizeSection(ChangesModel::OldColumn, 160);
    header->resizeSection(ChangesModel::NewColumn, 160);

    connect(app->changesModel(), &ChangesModel::columnVisibilityChanged, this, &ReviewSheet::updateColumns);
    connect(app->changesModel(), &QAbstractItemModel::modelReset, this, &ReviewSheet::updateColumns);
    connect(app->changesModel(), &QAbstractItemModel::modelReset, this, &ReviewSheet::updateCheckedCount);
    connect(app->changesModel(), &QAbstractItemModel::dataChanged, this, &ReviewSheet::updateCheckedCount);
    connect(checkButton_, &QPushButton::clicked, this, [this] { checkSelected(1); });
    connect(uncheckButton_, &QPushButton::clicked, this, [this] { checkSelected(0); });
    connect(cancelButton_, &QPushButton::clicked, this, &ReviewSheet::reject);
    connect(applyButton_, &QPushButton::clicked, app, &AppDelegate::applyChanges);
    applyButton_->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(checkButton_);
    buttons->addWidget(uncheckButton_);
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    buttons->addWidget(applyButton_);

    checkedCount_->setObjectName("checkedCount");
    checkedCount_->setTextFormat(Qt::PlainText);
    checkedCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *top = new QHBoxLayout;
    top->addWidget(summary_, 1);
    top->addWidget(checkedCount_, 0, Qt::AlignRight | Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    updateColumns();
    updateCheckedCount();
}

QSize ReviewSheet::fittingSize() const
{
    // Every column at its width, the file's included, and the rows beside the scroll bar.
    int width = fileColumnWidth + 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < ReviewTableModel::FileColumn; ++column)
        if (!table_->isColumnHidden(column))
            width += table_->horizontalHeader()->sectionSize(column);
    const QMargins margins = layout()->contentsMargins();
    QSize size(width + margins.left() + margins.right(), 520);
    if (const QScreen *screen = parentWidget() ? parentWidget()->screen() : QApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.95);
    return size;
}

void ReviewSheet::resizeEvent(QResizeEvent *event)
{
    Sheet::resizeEvent(event);
    // The size the person gives the sheet is the one it opens at next time.
    if (isVisible() && !opening_)
        files::setDefaultValue(sizeKey, size());
}

void ReviewSheet::open()
{
    updateColumns();
    opening_ = true;
    const QSize remembered = files::defaultValue(sizeKey).toSize();
    resize(remembered.isValid() ? remembered : fittingSize());
    opening_ = false;
    table_->clearSelection();
    table_->scrollToTop();
    QDialog::open();
}

void ReviewSheet::reject()
{
    app_->cancelChanges(true);
    // Without a list under review the controller has nothing to close.
    if (isVisible())
        dismiss();
}

QList<int> ReviewSheet::selectedRecords() const
{
    QList<int> rows;
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows << sorted_->mapToSource(index).row();
    return rows;
}

void ReviewSheet::checkSelected(int tag)
{
    app_->checkSelected(selectedRecords(), tag);
}

bool ReviewSheet::eventFilter(QObject *watched, QEvent *event)
{
    // Space toggles every selected row the way the current row goes: all
    // checked when it was unchecked, all unchecked when it was checked.
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            const QList<int> rows = selectedRecords();
            if (rows.isEmpty())
                return true;
            const QModelIndex current = table_->currentIndex();
            const int lead = current.isValid() && rows.contains(sorted_->mapToSource(current).row())
                                 ? sorted_->mapToSource(current).row()
                                 : rows.first();
            const bool checked =
                app_->changesModel()->index(lead, ChangesModel::CheckColumn).data(Qt::CheckStateRole).toInt() ==
                Qt::Checked;
            app_->checkSelected(rows, checked ? 0 : 1);
            return true;
        }
    }
    return Sheet::eventFilter(watched, event);
}

void ReviewSheet::updateCheckedCount()
{
    const ChangesModel *model = app_->changesModel();
    const QString total = runreport::number(model->rowCount());
    // As wide as the count can ever get for this list, so that the label
    // neither moves nor leaves digits of a longer count behind it.
    checkedCount_->setMinimumWidth(
        checkedCount_->fontMetrics().horizontalAdvance(tr("%1 of %2 checked").arg(total, total)) + 4);
    checkedCount_->setText(tr("%1 of %2 checked").arg(runreport::number(model->enabledCount()), total));
    checkedCount_->update();
}

void ReviewSheet::updateColumns()
{
    const ChangesModel *model = app_->changesModel();
    for (int column = 0; column < ChangesModel::ColumnCount; ++column)
        table_->setColumnHidden(column, !model->isColumnVisible(column));
}
