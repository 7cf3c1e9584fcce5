// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/fileidentity.h"

#include <QStringList>
#include <QVariant>
#include <QVariantHash>

// The values of a few keys of one track, read together: a row in the order
// of its keys. The rows of one read share their key list (QStringList is
// shared on copy), so a row costs one small array where a hash would cost a
// table of its own per track; a tool reads a handful of keys.
class TrackValues {
public:
    TrackValues() = default;
    TrackValues(QStringList keys, QVariantList values) : keys_(std::move(keys)), values_(std::move(values)) {}

    static TrackValues fromHash(const QStringList &keys, const QVariantHash &hash)
    {
        QVariantList values;
        values.reserve(keys.size());
        for (const QString &key : keys)
            values.append(hash.value(key));
        return {keys, std::move(values)};
    }

    // Invalid when the value is absent or the key was not read.
    const QVariant &value(const QString &key) const
    {
        static const QVariant absent;
        const qsizetype i = keys_.indexOf(key);
        return i < 0 || i >= values_.size() ? absent : values_.at(i);
    }

    qsizetype size() const { return values_.size(); }
    const QVariant &at(qsizetype i) const { return values_.at(i); }
    // For a reader that completes the values it left for later.
    void replace(qsizetype i, QVariant value) { values_[i] = std::move(value); }

    // The file the values were read from; unknown for values from elsewhere.
    const FileIdentity &file() const { return file_; }
    void setFile(const FileIdentity &file) { file_ = file; }

    // Why a save would refuse the file the values were read from, when the
    // read was asked to look (a sentence beginning "The file"); empty otherwise.
    const QString &saveRefusal() const { return saveRefusal_; }
    void setSaveRefusal(QString refusal) { saveRefusal_ = std::move(refusal); }

    QVariantHash toHash() const
    {
        QVariantHash hash;
        for (qsizetype i = 0; i < keys_.size(); ++i)
            hash.insert(keys_[i], values_.value(i));
        return hash;
    }

private:
    QStringList keys_;
    QVariantList values_;
    FileIdentity file_;
    QString saveRefusal_;
};
Q_DECLARE_TYPEINFO(TrackValues, Q_RELOCATABLE_TYPE);
