// SPDX-License-Identifier: GPL-3.0-or-later
#include "valuetransformers.h"

#include "textutils.h"

#include <QHash>

namespace {

using Kind = ValueTransformer::Kind;

struct Registry {
    QHash<QString, ValueTransformer> byName;
    QStringList names; // in registration order
    void add(const QString &name, Kind kind)
    {
        byName.insert(name, ValueTransformer(name, kind));
        names.append(name);
    }
};

const Registry &registry()
{
    static const Registry r = [] {
        Registry reg;
        reg.add(QStringLiteral("BaseValueTransformer"), Kind::Identity);
        reg.add(QStringLiteral("OddValueTransformer"), Kind::Odd);
        reg.add(QStringLiteral("EvenValueTransformer"), Kind::Even);
        reg.add(QStringLiteral("NumericComparisonValueTransformer"), Kind::Identity);
        // Bindings name the larger-than family without the capital V after the
        // number; those are the names that must answer.
        const struct {
            const char *prefix;
            const char *numberedSuffix;
            Kind kind;
        } families[] = {
            {"Smallerthan", "ValueTransformer", Kind::SmallerThan},
            {"Largerthan", "alueTransformer", Kind::LargerThan},
            {"Equalto", "ValueTransformer", Kind::EqualTo},
            {"Differentto", "ValueTransformer", Kind::DifferentTo},
        };
        for (const auto &family : families) {
            const QString prefix = QLatin1String(family.prefix);
            reg.add(prefix + QStringLiteral("ValueTransformer"), family.kind);
            for (int n = 0; n <= 99; ++n)
                reg.add(prefix + QString::number(n) + QLatin1String(family.numberedSuffix), family.kind);
        }
        return reg;
    }();
    return r;
}

qint64 thresholdFromName(const QString &name)
{
    const QString afterLetters = text::stringByTrimmingLeadingCharactersInSet(name, text::isLetter);
    return text::intValue(text::stringByTrimmingTrailingCharactersInSet(afterLetters, text::isLetter));
}

} // namespace

ValueTransformer::ValueTransformer(QString name, Kind kind)
    : name_(std::move(name)), kind_(kind), comparisonValue_(thresholdFromName(name_))
{
}

QVariant ValueTransformer::transformedValue(const QVariant &value) const
{
    const qint64 v = text::intValue(value);
    const qint64 c = comparisonValue_;
    bool yes = false;
    switch (kind_) {
    case Kind::Identity:
        return value;
    case Kind::Odd:
        yes = v % 2 == 1;
        break;
    case Kind::Even:
        yes = (v & 1) == 0;
        break;
    case Kind::SmallerThan:
        yes = v < c;
        break;
    case Kind::LargerThan:
        yes = v > c;
        break;
    case Kind::EqualTo:
        yes = v == c;
        break;
    case Kind::DifferentTo:
        yes = v != c;
        break;
    }
    return QVariant(yes ? 1 : 0);
}

const ValueTransformer *valueTransformerNamed(const QString &name)
{
    const auto &byName = registry().byName;
    const auto it = byName.constFind(name);
    return it == byName.cend() ? nullptr : &it.value();
}

QStringList valueTransformerNames()
{
    return registry().names;
}
