// SPDX-License-Identifier: GPL-3.0-or-later
#include "binding.h"

#include "support/valuetransformers.h"

#include <QDebug>
#include <QMetaMethod>

namespace {

QStringList &unresolvedNames()
{
    static QStringList names;
    return names;
}

QMetaProperty findProperty(const QObject *object, const char *name)
{
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(name);
    if (index < 0) {
        qWarning() << "binding: no property" << name << "on" << meta->className();
        unresolvedNames() << QStringLiteral("%1.%2").arg(QLatin1String(meta->className()), QLatin1String(name));
        return {};
    }
    return meta->property(index);
}

const ValueTransformer *findTransformer(const QString &name)
{
    const ValueTransformer *transformer = valueTransformerNamed(name);
    if (!transformer) {
        qWarning() << "binding: no value transformer named" << name;
        unresolvedNames() << name;
    }
    return transformer;
}

} // namespace

QStringList Binding::unresolved()
{
    return unresolvedNames();
}

Binding::Binding(QObject *context, QObject *source, QMetaProperty sourceProperty)
    : QObject(context), source_(source), sourceProperty_(sourceProperty)
{
}

void Binding::followNotify(QObject *sender, const QMetaProperty &property, const char *slot)
{
    if (!property.hasNotifySignal())
        return;
    const int slotIndex = metaObject()->indexOfSlot(slot);
    connect(sender, property.notifySignal(), this, metaObject()->method(slotIndex), Qt::UniqueConnection);
}

Binding *Binding::bind(QObject *target, const char *targetProperty, QObject *source, const char *sourceProperty,
                       Transform toTarget, Transform fromTarget)
{
    const QMetaProperty from = findProperty(source, sourceProperty);
    const QMetaProperty to = findProperty(target, targetProperty);
    if (!from.isValid() || !to.isValid())
        return nullptr;
    auto *binding = new Binding(target, source, from);
    binding->target_ = target;
    binding->targetProperty_ = to;
    binding->toTarget_ = std::move(toTarget);
    binding->fromTarget_ = std::move(fromTarget);
    binding->followNotify(source, from, "sourceChanged()");
    // A transformer without its reverse makes the binding one-way.
    if (!binding->toTarget_ || binding->fromTarget_)
        if (from.isWritable())
            binding->followNotify(target, to, "targetChanged()");
    binding->refresh();
    return binding;
}

Binding *Binding::bindThrough(QObject *target, const char *targetProperty, QObject *source,
                              const char *sourceProperty, const QString &transformerName)
{
    const ValueTransformer *transformer = findTransformer(transformerName);
    if (!transformer)
        return nullptr;
    return bind(target, targetProperty, source, sourceProperty,
                [transformer](const QVariant &value) { return transformer->transformedValue(value); });
}

Binding *Binding::bindAllThrough(QObject *target, const char *targetProperty, QObject *source,
                                 const QList<Condition> &conditions)
{
    const QMetaProperty to = findProperty(target, targetProperty);
    if (!to.isValid() || conditions.isEmpty())
        return nullptr;
    struct Term {
        QMetaProperty property;
        const ValueTransformer *transformer;
    };
    QList<Term> terms;
    for (const Condition &condition : conditions) {
        const QMetaProperty property = findProperty(source, condition.sourceProperty);
        const ValueTransformer *transformer = findTransformer(condition.transformerName);
        if (!property.isValid() || !transformer)
            return nullptr;
        terms.append({property, transformer});
    }
    QPointer<QObject> guardedSource(source);
    auto *binding = new Binding(target, source, terms.first().property);
    binding->target_ = target;
    binding->targetProperty_ = to;
    binding->apply_ = [binding, terms, guardedSource](const QVariant &) {
        if (!guardedSource || !binding->target_)
            return;
        bool all = true;
        for (const Term &term : terms)
            all = all && term.transformer->transformedValue(term.property.read(guardedSource)).toBool();
        binding->targetProperty_.write(binding->target_, all);
    };
    for (const Term &term : terms)
        binding->followNotify(source, term.property, "sourceChanged()");
    binding->refresh();
    return binding;
}

Binding *Binding::observe(QObject *context, QObject *source, const char *sourceProperty,
                          std::function<void(const QVariant &)> apply)
{
    const QMetaProperty from = findProperty(source, sourceProperty);
    if (!from.isValid())
        return nullptr;
    auto *binding = new Binding(context, source, from);
    binding->apply_ = std::move(apply);
    binding->followNotify(source, from, "sourceChanged()");
    binding->refresh();
    return binding;
}

void Binding::refresh()
{
    sourceChanged();
}

void Binding::sourceChanged()
{
    if (updating_ || !source_)
        return;
    QVariant value = sourceProperty_.read(source_);
    if (toTarget_)
        value = toTarget_(value);
    updating_ = true;
    if (apply_) {
        apply_(value);
    } else if (target_) {
        // Rewriting the same text would move a field's cursor to its end. Other
        // properties are always written: "visible" reads false under a hidden
        // parent, and skipping the write would leave the widget shown later.
        if (qstrcmp(targetProperty_.name(), "text") != 0 || targetProperty_.read(target_) != value)
            targetProperty_.write(target_, value);
    }
    updating_ = false;
}

void Binding::targetChanged()
{
    if (updating_ || !source_ || !target_)
        return;
    QVariant value = targetProperty_.read(target_);
    if (fromTarget_)
        value = fromTarget_(value);
    updating_ = true;
    sourceProperty_.write(source_, value);
    updating_ = false;
}
