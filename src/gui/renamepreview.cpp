// SPDX-License-Identifier: GPL-3.0-or-later
#include "renamepreview.h"

#include "app/appdelegate.h"
#include "support/alerts.h"
#include "support/dispatch.h"
#include "tools/renamesummary.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

// The plan as a table: the file (relative to the folder), the name it would
// get, and what becomes of it.
class RenamePlanModel : public QAbstractTableModel {
public:
    enum Column { FileColumn, NewNameColumn, OutcomeColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setPlan(const QString &folder, QList<tools::PlannedRename> plan)
    {
        beginResetModel();
        folder_ = QDir(folder);
        plan_ = std::move(plan);
        endResetModel();
    }
    const QList<tools::PlannedRename> &plan() const { return plan_; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(plan_.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= plan_.size())
            return {};
        const tools::PlannedRename &entry = plan_.at(index.row());
        const bool renamed = entry.outcome == tools::RenameOutcome::Renamed;
        if (role == Qt::ForegroundRole && !renamed)
            return QPalette().brush(QPalette::Disabled, QPalette::Text);
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        switch (index.column()) {
        case FileColumn:
            return QDir::toNativeSeparators(folder_.relativeFilePath(entry.path));
        case NewNameColumn:
            return renamed ? entry.target.mid(entry.target.lastIndexOf(QLatin1Char('/')) + 1) : QString();
        case OutcomeColumn:
            return renamed ? tr("will be renamed") : tr("keeps its name: %1").arg(tools::renameOutcomeText(entry.outcome));
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char *const titles[ColumnCount] = {"File", "New Name", "Result"};
        return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
    }

private:
    QDir folder_;
    QList<tools::PlannedRename> plan_;
};

RenamePreview::RenamePreview(AppDelegate *app, QWidget *window)
    : QDialog(window), app_(app), model_(new RenamePlanModel(this)), table_(new QTableView(this)),
      summary_(new QLabel(this))
{
    setObjectName("renamePreview");
    setWindowTitle(tr("Rename Preview"));
    setWindowModality(Qt::WindowModal);
    resize(760, 440);

    auto *sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(model_);
    sorted->setSortCaseSensitivity(Qt::CaseInsensitive);
    table_->setModel(sorted);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->resizeSection(RenamePlanModel::FileColumn, 280);
    table_->horizontalHeader()->resizeSection(RenamePlanModel::NewNameColumn, 260);

    summary_->setObjectName("renamePreviewSummary");
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    auto *note = new QLabel(tr("Nothing has been renamed. Rename Files renames as listed here, unless the files "
                               "change meanwhile."),
                            this);
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(table_, 1);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

const QList<tools::PlannedRename> &RenamePreview::plan() const
{
    return model_->plan();
}

bool RenamePreview::preview()
{
    app_->endEditing();
    const QString folder = app_->folderPath();
    if (folder.isEmpty()) {
        alertPanel(app_->port(), QStringLiteral("No Folder"), QStringLiteral("You didn't select a folder with music files to operate on."));
        return false;
    }
    const QStringList files = tools::renameRunFiles(folder, app_->renameRecursiveScan());
    if (files.isEmpty()) {
        alertPanel(app_->port(), QStringLiteral("No Files"),
                   QStringLiteral("The folder you have selected doesn't seem to contain music files."));
        return false;
    }
    const tools::RenameOptions options = app_->renameOptions();
    model_->setPlan(folder, {});
    summary_->setText(tr("Reading the tags of %n file(s)…", nullptr, int(files.size())));
    open();
    // The background worker, which has the stack TagLib wants; the sheet
    // being window-modal, no run can start meanwhile.
    QPointer<RenamePreview> self(this);
    dispatchAsyncBackground([self, folder, files, options] {
        QList<tools::PlannedRename> plan = tools::renamePlan(files, options);
        dispatchAsyncMain([self, folder, plan = std::move(plan)]() mutable {
            if (self)
                self->list(folder, std::move(plan));
        });
    });
    return true;
}

void RenamePreview::list(const QString &folder, QList<tools::PlannedRename> plan)
{
    summary_->setText(tools::renameSummary(plan, true));
    model_->setPlan(folder, std::move(plan));
    emit listed();
}
