// SPDX-License-Identifier: GPL-3.0-or-later
#include "reviewsheet.h"

#include "app/appdelegate.h"
#include "binding.h"
#include "operations/changesmodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

ReviewSheet::ReviewSheet(AppDelegate *app, QWidget *window)
    : Sheet(window, QStringLiteral("changePanel")), app_(app), summary_(new QLabel(this)), table_(new QTableView(this)),
      checkButton_(new QPushButton(tr("Check Selected"), this)),
      uncheckButton_(new QPushButton(tr("Uncheck Selected"), this)), cancelButton_(new QPushButton(tr("Cancel"), this)),
      applyButton_(new QPushButton(tr("Apply"), this))
{
    setWindowTitle(tr("Review Changes"));
    resize(760, 460);

    summary_->setObjectName("changeInfoTextField");
    summary_->setWordWrap(true);
    Binding::bind(summary_, "text", app, "changeInfo");

    table_->setModel(app->changesModel());
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

    connect(app->changesModel(), &ChangesModel::columnVisibilityChanged, this, &ReviewSheet::updateColumns);
    connect(app->changesModel(), &QAbstractItemModel::modelReset, this, &ReviewSheet::updateColumns);
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

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    updateColumns();
}

void ReviewSheet::open()
{
    updateColumns();
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

void ReviewSheet::checkSelected(int tag)
{
    QList<int> rows;
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows << index.row();
    app_->checkSelected(rows, tag);
}

void ReviewSheet::updateColumns()
{
    const ChangesModel *model = app_->changesModel();
    for (int column = 0; column < ChangesModel::ColumnCount; ++column)
        table_->setColumnHidden(column, !model->isColumnVisible(column));
}
