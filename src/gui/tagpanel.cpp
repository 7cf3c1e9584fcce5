// SPDX-License-Identifier: GPL-3.0-or-later
#include "tagpanel.h"

#include "coverview.h"
#include "files/fieldaddress.h"
#include "files/filetags.h"
#include "support/fileutils.h"
#include "support/textutils.h"
#include "tracktablepanel.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString several = QStringLiteral("<several values>");
const QStringList factNames = {QStringLiteral("Format"),      QStringLiteral("Length"),   QStringLiteral("Bitrate"),
                               QStringLiteral("Sample Rate"), QStringLiteral("Channels"), QStringLiteral("Tags"),
                               QStringLiteral("Size"),        QStringLiteral("Path")};

QString marked(const QString &value)
{
    return text::escapedControls(value, text::ControlStyle::Window);
}

// The editor starts from the files' own text rather than the shown one with
// its marks, and what is typed goes to the panel, which makes it pending.
class ValueDelegate : public QStyledItemDelegate {
public:
    ValueDelegate(TagPanel *panel) : QStyledItemDelegate(panel), panel_(panel) {}

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setText(index.data(TagPanel::RawValueRole).toString());
    }
    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        auto *line = qobject_cast<QLineEdit *>(editor);
        if (!line || line->text() == index.data(TagPanel::RawValueRole).toString())
            return;
        // The rows are filled again once the edit is taken: not while the view still commits.
        QMetaObject::invokeMethod(panel_, [panel = panel_, row = index.row(), text = line->text()] {
            panel->editValue(row, text);
        }, Qt::QueuedConnection);
    }

private:
    QPointer<TagPanel> panel_;
};

} // namespace

// The selection as it was read: every selected track, and the descriptions
// of the files read, in the selection's order.
struct TagPanel::Read {
    QList<SourceTrack> tracks;
    QList<FileDescription> files;
    int unread = 0; // files of the selection left unread, past MaxFilesRead
};

TagPanel::TagPanel(AppDelegate *app, TrackTablePanel *table, PendingEdits *pending, std::function<void(const QUrl &)> opener,
                   QWidget *parent)
    : QWidget(parent), table_(table), pending_(pending), opener_(std::move(opener))
{
    setObjectName("tagPanel");
    pool_.setMaxThreadCount(1);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);

    summary_ = new QLabel(this);
    summary_->setObjectName("tagPanelSummary");
    summary_->setWordWrap(true);
    summary_->setTextFormat(Qt::PlainText);
    column->addWidget(summary_);

    fields_ = new QTableWidget(0, 3, this);
    fields_->setObjectName("tagPanelFields");
    fields_->setHorizontalHeaderLabels({tr("Tag"), tr("Field"), tr("Value")});
    fields_->horizontalHeader()->setStretchLastSection(true);
    fields_->verticalHeader()->hide();
    fields_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fields_->setSelectionMode(QAbstractItemView::SingleSelection);
    fields_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    fields_->setItemDelegateForColumn(ValueColumn, new ValueDelegate(this));
    fields_->setWordWrap(false);
    column->addWidget(fields_, 1);

    auto *adding = new QHBoxLayout;
    newAddress_ = new QLineEdit(this);
    newAddress_->setObjectName("tagPanelNewAddress");
    newAddress_->setPlaceholderText(tr("Field, such as ID3v2:TXXX:MOOD"));
    newValue_ = new QLineEdit(this);
    newValue_->setObjectName("tagPanelNewValue");
    newValue_->setPlaceholderText(tr("Value"));
    addField_ = new QPushButton(tr("Add Field"), this);
    addField_->setObjectName("tagPanelAddField");
    removeField_ = new QPushButton(tr("Remove Field"), this);
    removeField_->setObjectName("tagPanelRemoveField");
    adding->addWidget(newAddress_, 2);
    adding->addWidget(newValue_, 1);
    adding->addWidget(addField_);
    column->addLayout(adding);
    auto *removing = new QHBoxLayout;
    removing->addStretch(1);
    removing->addWidget(removeField_);
    column->addLayout(removing);

    message_ = new QLabel(this);
    message_->setObjectName("tagPanelMessage");
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->hide();
    column->addWidget(message_);

    auto *factsBox = new QGroupBox(tr("File"), this);
    auto *facts = new QFormLayout(factsBox);
    for (const QString &name : factNames) {
        auto *label = new QLabel(factsBox);
        label->setObjectName(QStringLiteral("tagPanelFact") + QString(name).remove(QLatin1Char(' ')));
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(name == QLatin1String("Path"));
        facts_.insert(name, label);
        facts->addRow(tr("%1:").arg(name), label);
    }
    openFolder_ = new QPushButton(tr("Open Folder"), factsBox);
    openFolder_->setObjectName("tagPanelOpenFolder");
    facts->addRow(QString(), openFolder_);
    column->addWidget(factsBox);

    pictures_ = new QGroupBox(tr("Pictures"), this);
    pictures_->setObjectName("tagPanelPictures");
    cover_ = new CoverView(app, pictures_);
    auto *pictures = new QVBoxLayout(pictures_);
    pictures->setContentsMargins(0, 0, 0, 0);
    pictures->addWidget(cover_);
    column->addWidget(pictures_);

    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(SettleMs);
    connect(settle_, &QTimer::timeout, this, &TagPanel::readSelection);
    connect(table_->table()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TagPanel::selectionMoved);
    connect(table_->model(), &SourceTracksModel::loadingChanged, this, [this] {
        if (!table_->model()->isLoading())
            selectionMoved();
    });
    connect(pending_, &PendingEdits::changed, this, &TagPanel::fill);
    connect(addField_, &QPushButton::clicked, this, &TagPanel::addNewField);
    connect(removeField_, &QPushButton::clicked, this, &TagPanel::removeSelectedField);
    connect(openFolder_, &QPushButton::clicked, this, [this] {
        if (read_ && read_->tracks.size() == 1 && opener_)
            opener_(QUrl::fromLocalFile(QFileInfo(read_->tracks.front().path).absolutePath()));
    });
    fill();
}

TagPanel::~TagPanel()
{
    ++*generation_;
    pool_.waitForDone();
}

QLabel *TagPanel::fact(const QString &name) const
{
    return facts_.value(name);
}

bool TagPanel::isSettled() const
{
    return !settle_->isActive() && shownGeneration_ == generation_->load() && cover_->isShown();
}

void TagPanel::selectionMoved()
{
    // A read under way is for a selection that is gone. Hidden, the panel
    // reads nothing: shown again, it reads what is selected then.
    ++*generation_;
    if (isVisible())
        settle_->start();
}

void TagPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shownGeneration_ != generation_->load() && !settle_->isActive())
        settle_->start();
}

void TagPanel::readSelection()
{
    auto read = std::make_shared<Read>();
    QList<int> rows;
    for (const QModelIndex &index : table_->table()->selectionModel()->selectedRows())
        rows << table_->proxy()->mapToSource(index).row();
    std::sort(rows.begin(), rows.end());
    for (const int row : rows)
        read->tracks << table_->model()->track(row);
    const int generation = ++*generation_;
    QStringList paths;
    for (const SourceTrack &track : std::as_const(read->tracks))
        if (!track.dead && !track.path.isEmpty())
            paths << track.path;
    // Every file's pictures: an image added from here goes to all of them.
    cover_->setPaths(paths);
    read->unread = int(std::max<qsizetype>(0, paths.size() - MaxFilesRead));
    paths = paths.mid(0, MaxFilesRead);
    pool_.start([this, generation, current = generation_, read, paths] {
        for (const QString &path : paths) {
            if (current->load() != generation)
                return;
            read->files << filetags::describe(path);
        }
        QMetaObject::invokeMethod(this, [this, generation, read] { showRead(generation, read); },
                                  Qt::QueuedConnection);
    });
}

void TagPanel::showRead(int generation, std::shared_ptr<Read> read)
{
    if (generation != generation_->load())
        return;
    read_ = std::move(read);
    shownGeneration_ = generation;
    message_->hide();
    fill();
    emit shown();
}

QList<PendingTrack> TagPanel::pendingTracks() const
{
    QList<PendingTrack> tracks;
    if (read_)
        for (const SourceTrack &track : read_->tracks)
            if (!track.dead)
                tracks << PendingTrack{track.trackId, track.path};
    return tracks;
}

void TagPanel::fill()
{
    fields_->setRowCount(0);
    const QList<SourceTrack> tracks = read_ ? read_->tracks : QList<SourceTrack>();
    const QList<FileDescription> files = read_ ? read_->files : QList<FileDescription>();
    const qsizetype dead = std::count_if(tracks.cbegin(), tracks.cend(), [](const SourceTrack &t) { return t.dead; });

    if (tracks.isEmpty())
        summary_->setText(tr("No track is selected."));
    else if (tracks.size() == 1 && dead == 1)
        summary_->setText(tr("The file of this library track is missing: %1. Its values in the library:")
                              .arg(marked(files::homeShortened(tracks.front().path))));
    else if (tracks.size() == 1 && files.size() == 1 && !files.front().problem.isEmpty())
        summary_->setText(tr("%1: %2").arg(marked(files::homeShortened(tracks.front().path)), files.front().problem));
    else if (tracks.size() == 1)
        summary_->setText(marked(files::homeShortened(tracks.front().path)));
    else {
        QString text = tr("%1 selected tracks").arg(tracks.size());
        if (read_->unread > 0)
            text += tr("; the fields of the first %1 files are shown").arg(files.size());
        if (dead > 0)
            text += tr("; %1 of their files are missing").arg(dead);
        summary_->setText(text);
    }

    const auto addRow = [this](const QString &tag, const QString &id, const QString &value, const QString &raw,
                               const QString &key, int mark) {
        const int row = fields_->rowCount();
        fields_->insertRow(row);
        auto *tagItem = new QTableWidgetItem(tag);
        auto *idItem = new QTableWidgetItem(marked(id));
        auto *valueItem = new QTableWidgetItem(value);
        for (QTableWidgetItem *item : {tagItem, idItem})
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        valueItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | (key.isEmpty() ? Qt::NoItemFlags : Qt::ItemIsEditable));
        valueItem->setData(EditKeyRole, key);
        valueItem->setData(RawValueRole, raw);
        if (mark != 0) {
            // Pending: bold; pending removal: struck through.
            QFont font = valueItem->font();
            font.setBold(true);
            font.setStrikeOut(mark < 0);
            valueItem->setFont(font);
            valueItem->setToolTip(mark < 0 ? tr("Removed when the changes are saved")
                                           : tr("Changed; not saved yet"));
        }
        fields_->setItem(row, TagColumn, tagItem);
        fields_->setItem(row, FieldColumn, idItem);
        fields_->setItem(row, ValueColumn, valueItem);
    };

    // Each field once, by its address, its values per file read (absent: not there).
    struct Row {
        QString tag, id, address;
        QList<std::optional<QString>> values;
    };
    QList<Row> rows;
    QHash<QString, qsizetype> rowOf;
    for (qsizetype f = 0; f < files.size(); ++f) {
        for (const FileField &field : files.at(f).fields) {
            const QString address = fieldaddress::addressOf(field);
            if (!rowOf.contains(address)) {
                rowOf.insert(address, rows.size());
                rows.append({field.tag, field.id, address, QList<std::optional<QString>>(files.size())});
            }
            std::optional<QString> &value = rows[rowOf.value(address)].values[f];
            value = value ? *value + QStringLiteral("; ") + field.value : field.value;
        }
    }
    for (const QString &address : std::as_const(added_)) {
        if (const std::optional<fieldaddress::Address> parsed = fieldaddress::parse(address);
            parsed && !rowOf.contains(address)) {
            rowOf.insert(address, rows.size());
            rows.append({parsed->tag, parsed->id, address, QList<std::optional<QString>>(files.size())});
        }
    }

    const QList<PendingTrack> editable = pendingTracks();
    for (const Row &row : std::as_const(rows)) {
        QString key = fieldaddress::catalogueKey(row.tag, row.id);
        if (key.isEmpty() && fieldaddress::refusal(row.address).isEmpty())
            key = row.address;
        QList<std::optional<QString>> pendingValues;
        if (!key.isEmpty())
            for (const PendingTrack &track : editable)
                pendingValues << pending_->valueFor(track, key);
        const bool anyPending = std::any_of(pendingValues.cbegin(), pendingValues.cend(),
                                            [](const std::optional<QString> &v) { return v.has_value(); });
        const bool allFiles = std::all_of(row.values.cbegin(), row.values.cend(),
                                          [](const std::optional<QString> &v) { return v.has_value(); });
        const QString first = row.values.isEmpty() || !row.values.front() ? QString() : *row.values.front();
        const bool sameInFiles =
            allFiles && std::all_of(row.values.cbegin(), row.values.cend(),
                                    [&](const std::optional<QString> &v) { return *v == first; });
        const bool inAnyFile = std::any_of(row.values.cbegin(), row.values.cend(),
                                           [](const std::optional<QString> &v) { return v.has_value(); });
        if (!anyPending && !inAnyFile)
            continue; // a field added here and no longer pending
        if (anyPending) {
            const bool samePending = std::all_of(pendingValues.cbegin(), pendingValues.cend(),
                                                 [&](const std::optional<QString> &v) { return v == pendingValues.front(); });
            if (!samePending)
                addRow(row.tag, row.id, several, several, key, 1);
            else if (pendingValues.front()->isEmpty())
                addRow(row.tag, row.id, sameInFiles ? marked(first) : several, QString(), key, -1);
            else
                addRow(row.tag, row.id, marked(*pendingValues.front()), *pendingValues.front(), key, 1);
        } else {
            addRow(row.tag, row.id, sameInFiles ? marked(first) : several, sameInFiles ? first : several, key, 0);
        }
    }

    // A library track without its file: the row's own values, as the table shows them.
    if (tracks.size() == 1 && dead == 1) {
        const SourceTrack &track = tracks.front();
        for (int c = 0; c < track.values.size() && c < SourceTracksModel::ColumnCount; ++c) {
            const QVariant &value = track.values.at(c);
            if (value.isValid() && !value.toString().isEmpty())
                addRow(tr("Library"), SourceTracksModel::columnTitle(c), marked(value.toString()), value.toString(),
                       QString(), 0);
        }
    }
    fields_->resizeColumnToContents(TagColumn);
    fields_->resizeColumnToContents(FieldColumn);

    const bool canEdit = !editable.isEmpty();
    addField_->setEnabled(canEdit);
    removeField_->setEnabled(canEdit);
    newAddress_->setEnabled(canEdit);
    newValue_->setEnabled(canEdit);
    fillFacts();
}

void TagPanel::setFact(const QString &name, const QStringList &values)
{
    QString text;
    if (!values.isEmpty())
        text = std::all_of(values.cbegin(), values.cend(), [&](const QString &v) { return v == values.front(); })
                   ? values.front()
                   : several;
    facts_.value(name)->setText(marked(text));
}

void TagPanel::fillFacts()
{
    QHash<QString, QStringList> values;
    const QList<FileDescription> files = read_ ? read_->files : QList<FileDescription>();
    for (const FileDescription &file : files) {
        if (!file.problem.isEmpty())
            continue;
        values[QStringLiteral("Format")] << (file.codec.isEmpty() ? file.format
                                                                  : tr("%1 (%2)").arg(file.format, file.codec));
        values[QStringLiteral("Length")] << filedescription::lengthText(file.lengthMs);
        values[QStringLiteral("Bitrate")] << tr("%1 kb/s").arg(file.bitrate);
        values[QStringLiteral("Sample Rate")] << tr("%L1 Hz").arg(file.sampleRate);
        values[QStringLiteral("Channels")] << QString::number(file.channels);
        values[QStringLiteral("Tags")] << (file.tagTypes.isEmpty() ? tr("none") : file.tagTypes.join(", "));
        values[QStringLiteral("Size")] << tr("%L1 bytes").arg(file.size);
    }
    if (read_)
        for (const SourceTrack &track : read_->tracks)
            values[QStringLiteral("Path")] << files::homeShortened(track.path);
    for (const QString &name : factNames)
        setFact(name, values.value(name));
    openFolder_->setEnabled(read_ && read_->tracks.size() == 1 && !read_->tracks.front().path.isEmpty() &&
                            QFileInfo(read_->tracks.front().path).absoluteDir().exists());
}

void TagPanel::tellRefusal(const std::optional<QString> &refusal)
{
    message_->setText(refusal.value_or(QString()));
    message_->setVisible(refusal.has_value());
}

void TagPanel::editValue(int row, const QString &value)
{
    QTableWidgetItem *item = fields_->item(row, ValueColumn);
    if (!item || !(item->flags() & Qt::ItemIsEditable))
        return;
    tellRefusal(pending_->put(pendingTracks(), item->data(EditKeyRole).toString(), value));
    fill();
}

void TagPanel::addNewField()
{
    const QString address = newAddress_->text().trimmed();
    const QString value = newValue_->text();
    if (address.isEmpty() || value.isEmpty()) {
        tellRefusal(tr("Type the field, such as ID3v2:TXXX:MOOD or Vorbis:MOOD, and its value."));
        return;
    }
    const std::optional<QString> refusal = pending_->put(pendingTracks(), address, value);
    tellRefusal(refusal);
    if (refusal)
        return;
    if (fieldaddress::isAddress(address) && !added_.contains(address))
        added_ << address;
    newAddress_->clear();
    newValue_->clear();
    fill();
}

void TagPanel::removeSelectedField()
{
    const QList<QTableWidgetItem *> selected = fields_->selectedItems();
    if (selected.isEmpty()) {
        tellRefusal(tr("Select the field to remove."));
        return;
    }
    const QTableWidgetItem *value = fields_->item(selected.front()->row(), ValueColumn);
    if (!(value->flags() & Qt::ItemIsEditable)) {
        tellRefusal(tr("This field cannot be edited here."));
        return;
    }
    editValue(selected.front()->row(), QString());
}
