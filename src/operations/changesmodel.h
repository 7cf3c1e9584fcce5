// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changelist.h"

#include <QAbstractTableModel>
#include <QHash>
#include <memory>

// The review table over the controller's change list: one row per record, a
// check column that edits `enabled`, then title, artist, tag, old and new
// value. The window's table and the command line's printed review both read
// it. Main thread only. Every access is constant time per cell, so lists of
// a hundred thousand records scroll and toggle without delay.
class ChangesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { CheckColumn, TitleColumn, ArtistColumn, TagColumn, OldColumn, NewColumn, ColumnCount };

    explicit ChangesModel(QObject *parent = nullptr);

    // Shows this list (nothing when null). The model shares it with the
    // controller, so check marks land in the list itself.
    void setChangeList(std::shared_ptr<ChangeList> list);
    const std::shared_ptr<ChangeList> &changeList() const { return list_; }

    // The tag, old and new columns mean nothing for a membership list and are hidden there.
    bool isColumnVisible(int column) const;
    QList<int> visibleColumns() const;

    // The earlier row whose record writes the same file under another name
    // (one inode, as hard links are) and the same tag as this row's, so that
    // the two make one write; -1 for none.
    int sameFileAs(int row) const { return sameFileAs_.value(row, -1); }
    // The note shown with such a row.
    static QString sameFileNote(int earlierRow);
    // What a row whose record has a refusal says of it: in the tool tip of
    // each of its cells, and under it in the printed review.
    static QString refusalNote(const QString &refusal);

    // Sets `enabled` of the given rows (rows out of range are ignored).
    void setEnabled(const QList<int> &rows, bool enabled);
    int enabledCount() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // Display and tool tips show control and bidi characters as visible
    // symbols, and the tag by its display name ("Title"); the edit role gives
    // a value, and the tag's key, exactly as the record holds them.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // A text column's value as the record holds it (the tag by its display
    // name) without a QVariant around it, for printing a long review; null
    // outside the list and its text columns.
    const QString &cellText(int row, int column) const;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void columnVisibilityChanged();

private:
    std::shared_ptr<ChangeList> list_;
    QHash<int, int> sameFileAs_;
};

namespace changefiles {
// The file a file track's record names now; unknown for library tracks and
// files that cannot be examined.
FileIdentity fileOf(const ChangeRecord &record);
// Where the record's track is, for the person: a file track's path, a library
// track's stored location (where its file was, for a dead one); empty for a
// stream or a track the library no longer has. A query for a library track.
QString pathOf(const ChangeRecord &record);
// One tag of one file, whatever name the file goes by: records with equal
// writes write one file.
struct FileWrite {
    FileIdentity file;
    QString key;
    bool operator==(const FileWrite &) const = default;
};
size_t qHash(const FileWrite &write, size_t seed = 0);
// The file a record names now, with the tag it writes; the file is unknown
// when fileOf's is.
FileWrite fileWrite(const ChangeRecord &record);
} // namespace changefiles
