// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/valuetransformers.h"

#include <QSet>
#include <gtest/gtest.h>

#include <climits>

namespace {
// The answer of the named transformer, which must exist.
int answer(const char *name, const QVariant &input)
{
    const ValueTransformer *t = valueTransformerNamed(QString::fromLatin1(name));
    if (!t) {
        ADD_FAILURE() << "no transformer " << name;
        return -1;
    }
    const QVariant out = t->transformedValue(input);
    EXPECT_EQ(out.typeId(), QMetaType::Int) << name;
    return out.toInt();
}
} // namespace

TEST(ValueTransformerNames, ExactlyTheFourHundredNumberedAndEightNamed)
{
    const QStringList names = valueTransformerNames();
    EXPECT_EQ(names.size(), 408);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 408);
    for (const char *named : {"BaseValueTransformer", "OddValueTransformer", "EvenValueTransformer",
                              "NumericComparisonValueTransformer", "SmallerthanValueTransformer",
                              "LargerthanValueTransformer", "EqualtoValueTransformer", "DifferenttoValueTransformer"})
        EXPECT_TRUE(names.contains(named)) << named;
    for (int n : {0, 7, 42, 99}) {
        for (const QString &name : {QString("Smallerthan%1ValueTransformer"), QString("Largerthan%1alueTransformer"),
                                    QString("Equalto%1ValueTransformer"), QString("Differentto%1ValueTransformer")}) {
            const ValueTransformer *t = valueTransformerNamed(name.arg(n));
            ASSERT_NE(t, nullptr) << name.arg(n).toStdString();
            EXPECT_EQ(t->comparisonValue(), n);
            EXPECT_EQ(t->name(), name.arg(n));
        }
    }
}

TEST(ValueTransformerNames, AnyOtherNameFindsNothing)
{
    for (const char *name : {"Largerthan5ValueTransformer", "Smallerthan100ValueTransformer", "Equalto07ValueTransformer",
                             "Smallerthan-1ValueTransformer", "smallerthan5ValueTransformer", "Differentto5alueTransformer",
                             "OddValueTransformer ", "ValueTransformer", ""})
        EXPECT_EQ(valueTransformerNamed(QString::fromLatin1(name)), nullptr) << name;
    // One shared instance per name.
    EXPECT_EQ(valueTransformerNamed("Equalto3ValueTransformer"), valueTransformerNamed("Equalto3ValueTransformer"));
}

TEST(ValueTransformers, AbsentInputCountsAsZero)
{
    EXPECT_EQ(answer("Smallerthan1ValueTransformer", QVariant()), 1);
    EXPECT_EQ(answer("Equalto0ValueTransformer", QVariant()), 1);
    EXPECT_EQ(answer("Differentto0ValueTransformer", QVariant()), 0);
    EXPECT_EQ(answer("EvenValueTransformer", QVariant()), 1);
}

TEST(ValueTransformers, OddAndEvenOfNegativeNumbers)
{
    EXPECT_EQ(answer("OddValueTransformer", -3), 0);
    EXPECT_EQ(answer("EvenValueTransformer", -3), 0);
    EXPECT_EQ(answer("EvenValueTransformer", -2), 1);
    EXPECT_EQ(answer("OddValueTransformer", -2), 0);
    EXPECT_EQ(answer("OddValueTransformer", 7), 1);
    EXPECT_EQ(answer("EvenValueTransformer", 7), 0);
    EXPECT_EQ(answer("OddValueTransformer", INT_MIN), 0);
    EXPECT_EQ(answer("EvenValueTransformer", INT_MIN), 1);
}

TEST(ValueTransformers, ComparisonsAtTheirThreshold)
{
    EXPECT_EQ(answer("Largerthan5alueTransformer", 6), 1);
    EXPECT_EQ(answer("Largerthan5alueTransformer", 5), 0);
    EXPECT_EQ(answer("Smallerthan12ValueTransformer", 11), 1);
    EXPECT_EQ(answer("Smallerthan12ValueTransformer", 12), 0);
    EXPECT_EQ(answer("Equalto99ValueTransformer", 99), 1);
    EXPECT_EQ(answer("Equalto99ValueTransformer", 98), 0);
    EXPECT_EQ(answer("Differentto42ValueTransformer", 42), 0);
    EXPECT_EQ(answer("Differentto42ValueTransformer", -42), 1);
}

TEST(ValueTransformers, InputsReadAsLeadingIntegers)
{
    EXPECT_EQ(answer("Equalto7ValueTransformer", QString("7 items")), 1);
    EXPECT_EQ(answer("Equalto0ValueTransformer", QString("items: 7")), 1);
    EXPECT_EQ(answer("Equalto3ValueTransformer", 3.99), 1);
    EXPECT_EQ(answer("Largerthan99alueTransformer", QString("99999999999")), 1);
}

TEST(ValueTransformers, UnnumberedFamiliesCompareWithZero)
{
    EXPECT_EQ(valueTransformerNamed("SmallerthanValueTransformer")->comparisonValue(), 0);
    EXPECT_EQ(answer("SmallerthanValueTransformer", -1), 1);
    EXPECT_EQ(answer("SmallerthanValueTransformer", 0), 0);
    EXPECT_EQ(answer("SmallerthanValueTransformer", 1), 0);
    EXPECT_EQ(answer("LargerthanValueTransformer", 1), 1);
    EXPECT_EQ(answer("EqualtoValueTransformer", QString("zero")), 1);
    EXPECT_EQ(answer("DifferenttoValueTransformer", 0), 0);
}

TEST(ValueTransformers, AbstractBasesHandTheValueBack)
{
    for (const char *name : {"BaseValueTransformer", "NumericComparisonValueTransformer"}) {
        const ValueTransformer *t = valueTransformerNamed(QString::fromLatin1(name));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->transformedValue(QString("7 items")), QVariant(QString("7 items")));
        EXPECT_FALSE(t->transformedValue(QVariant()).isValid());
    }
}
