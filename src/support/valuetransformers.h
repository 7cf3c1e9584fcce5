// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// The named transformers that the window's bindings pass values through: odd,
// even, and four comparisons against every threshold from 0 to 99. A
// comparison transformer reads its threshold out of its own name, so the name
// is the whole definition. The registry is built once on first use and lives
// for the process; every transformer in it is immutable and may be used from
// any thread.
class ValueTransformer {
public:
    enum class Kind {
        Identity, // the two abstract bases: they hand the value back unchanged
        Odd,
        Even,
        SmallerThan,
        LargerThan,
        EqualTo,
        DifferentTo,
    };

    ValueTransformer(QString name, Kind kind);

    const QString &name() const { return name_; }
    Kind kind() const { return kind_; }
    // The threshold read from the name: the part between the leading and the
    // trailing run of letters, as a leading integer; 0 for an unnumbered name.
    qint64 comparisonValue() const { return comparisonValue_; }

    // The int 1 or 0 for the input read as an integer (a number, the leading
    // integer of a text, 0 for anything absent); an identity transformer
    // returns the input itself.
    QVariant transformedValue(const QVariant &value) const;

private:
    QString name_;
    Kind kind_;
    qint64 comparisonValue_;
};

// The transformer of exactly this name, or nullptr: names are case-sensitive,
// and the larger-than family is spelt "Largerthan<N>alueTransformer".
const ValueTransformer *valueTransformerNamed(const QString &name);

// Every name that answers a lookup: 400 numbered and 8 named ones.
QStringList valueTransformerNames();
