// SPDX-License-Identifier: GPL-3.0-or-later
#include "historywindow.h"

#include "app/appdelegate.h"
#include "operations/historyview.h"
#include "support/namedexception.h"
#include "support/textutils.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

// Rows of text computed when a row is shown, so that a run of half a million
// changes opens at once. Every cell carries its whole text as a tooltip,
// since the table elides what does not fit.
class TextRowsModel : public QAbstractTableModel {
public:
    using Row = std::function<QStringList(int row)>;

    TextRowsModel(QStringList headers, QObject *parent) : QAbstractTableModel(parent), headers_(std::move(headers)) {}

    void setRows(int count, Row row)
    {
        beginResetModel();
        count_ = count;
        row_ = std::move(row);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : count_; }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(headers_.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        return text::escapedControls(row_(index.row()).value(index.column()), text::ControlStyle::Window);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return headers_.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QStringList headers_;
    int count_ = 0;
    Row row_;
};

namespace {

QTableView *textTable(TextRowsModel *model, QWidget *parent)
{
    auto *table = new QTableView(parent);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    // Paths and values keep both their start and their end in view.
    table->setTextElideMode(Qt::ElideMiddle);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// "undo of 5", "undone by 7", or both.
QString undoState(const HistoryRun &run)
{
    QStringList parts;
    if (run.undoOf)
        parts << QStringLiteral("undo of %1").arg(run.undoOf);
    if (run.undoneBy)
        parts << QStringLiteral("undone by %1").arg(run.undoneBy);
    return parts.join(QStringLiteral(", "));
}

} // namespace

HistoryWindow::HistoryWindow(AppDelegate *app, QWidget *window) : QDialog(window), app_(app)
{
    setObjectName("historyWindow");
    setWindowTitle(tr("History"));
    setModal(false);
    resize(860, 560);

    message_ = new QLabel(this);
    message_->setObjectName("historyMessage");
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->hide();

    runModel_ = new TextRowsModel({tr("Run"), tr("Time"), tr("Tool"), tr("Source"), tr("Changes"), tr("Undo")}, this);
    runTable_ = textTable(runModel_, this);
    runTable_->setObjectName("historyRuns");
    changeModel_ = new TextRowsModel({tr("Track"), tr("Changed"), tr("Before \u2192 After")}, this);
    changeTable_ = textTable(changeModel_, this);
    changeTable_->setObjectName("historyChanges");
    changeTable_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    changeTable_->setColumnWidth(0, 380);
    changeTable_->setColumnWidth(1, 110);

    runSummary_ = new QLabel(this);
    runSummary_->setTextFormat(Qt::PlainText);
    auto *lower = new QWidget(this);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(runSummary_);
    lowerLayout->addWidget(changeTable_);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(runTable_);
    split->addWidget(lower);
    split->setStretchFactor(1, 2);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    undoButton_ = buttons->addButton(tr("Undo"), QDialogButtonBox::ActionRole);
    undoButton_->setObjectName("historyUndo");
    connect(undoButton_, &QPushButton::clicked, this, &HistoryWindow::undoChosenRun);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);

    connect(runTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &HistoryWindow::showChosenRun);
    // An undo, or any other run, has changed what the history holds.
    connect(app_, &AppDelegate::runFinished, this, [this] {
        if (isVisible())
            reload();
        else
            updateUndoButton();
    });
    connect(app_, &AppDelegate::changesChanged, this, &HistoryWindow::updateUndoButton);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::reload()
{
    const qint64 chosen = chosenRun();
    QList<HistoryRun> runs;
    store_.reset();
    changes_.clear();
    changeModel_->setRows(0, {});
    try {
        store_ = historyview::openExisting(app_->libraryPath());
        if (store_)
            runs = store_->runs();
        showMessage(runs.isEmpty() ? tr("The history holds no runs yet: runs that change tags, playlists or files "
                                        "are listed here.")
                                   : QString());
    } catch (const NamedException &e) {
        store_.reset();
        showMessage(e.reason());
    } catch (const std::exception &e) {
        store_.reset();
        showMessage(QString::fromUtf8(e.what()));
    }
    runs_ = runs;
    runModel_->setRows(int(runs_.size()), [this](int row) {
        const HistoryRun &run = runs_.at(row);
        return QStringList{QString::number(run.number), historyview::shownTime(run), run.tool, run.source,
                           QString::number(run.count), undoState(run)};
    });
    runTable_->resizeColumnsToContents();
    if (!chooseRun(chosen) && !runs_.isEmpty())
        chooseRun(runs_.first().number);
    showChosenRun();
}

bool HistoryWindow::chooseRun(qint64 number)
{
    for (int row = 0; row < runs_.size(); ++row)
        if (runs_.at(row).number == number) {
            runTable_->selectRow(row);
            return true;
        }
    return false;
}

qint64 HistoryWindow::chosenRun() const
{
    const QModelIndexList rows = runTable_->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.first().row() >= runs_.size())
        return 0;
    return runs_.at(rows.first().row()).number;
}

void HistoryWindow::showChosenRun()
{
    const qint64 number = chosenRun();
    const auto run = std::find_if(runs_.cbegin(), runs_.cend(), [number](const HistoryRun &r) { return r.number == number; });
    changes_.clear();
    QString problem;
    bool undone = true;
    if (run != runs_.cend() && store_) {
        try {
            changes_ = store_->changes(number);
            undone = store_->isUndone(*run);
        } catch (const NamedException &e) {
            problem = e.reason();
        }
    }
    changeModel_->setRows(int(changes_.size()), [this](int row) { return historyview::changeFields(changes_.at(row)); });
    chosenUndone_ = undone;
    updateUndoButton();
    if (run == runs_.cend()) {
        runSummary_->clear();
        return;
    }
    runSummary_->setText(problem.isEmpty() ? text::escapedControls(tr("Run %1, %2 on %3: %4")
                                                                       .arg(run->number)
                                                                       .arg(run->tool, run->source,
                                                                            historyview::countedChanges(run->count)),
                                                                   text::ControlStyle::Window)
                                           : problem);
}

void HistoryWindow::updateUndoButton()
{
    // An undone run is back in effect once its undo is undone. While a review
    // or a run is up, another list must not take its place.
    const qint64 number = chosenRun();
    undoButton_->setEnabled(number != 0 && !chosenUndone_ && !app_->changes() && !Run::busy());
    undoButton_->setToolTip(number == 0      ? QString()
                            : chosenUndone_ ? tr("Run %1 is undone already").arg(number)
                                            : tr("Puts back the values run %1 changed, after you review them").arg(number));
}

void HistoryWindow::showMessage(const QString &text)
{
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}

void HistoryWindow::undoChosenRun()
{
    updateUndoButton();
    if (undoButton_->isEnabled())
        app_->performUndo(chosenRun());
}
