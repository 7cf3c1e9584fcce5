// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QList>
#include <QStringList>
#include <functional>

// Ties a property of a control to a property of the controller, the way the
// window's resources bind controls to options. The control follows every
// announced change of the controller's property; a change made in the control
// (when its property announces changes) is written back, unless the binding
// passes through a transformer, which only works forwards. The binding lives
// as long as the control. Main thread only.
class Binding : public QObject {
    Q_OBJECT
public:
    using Transform = std::function<QVariant(const QVariant &)>;

    // Binds target.targetProperty to source.sourceProperty. toTarget converts
    // the controller's value for the control; fromTarget converts the control's
    // value back and is only used when the binding is two-way. Returns null
    // (after a warning) when either property does not exist.
    static Binding *bind(QObject *target, const char *targetProperty, QObject *source, const char *sourceProperty,
                         Transform toTarget = {}, Transform fromTarget = {});

    // One-way binding through a named value transformer of the registry.
    // Returns null (after a warning) when no transformer has that name.
    static Binding *bindThrough(QObject *target, const char *targetProperty, QObject *source,
                                const char *sourceProperty, const QString &transformerName);

    // One-way binding of a flag (enabled, visible) to several conditions that
    // must all hold, each one a controller property through a named value
    // transformer: {"selectedPortion", "Largerthan0alueTransformer"}. Returns
    // null (after a warning) when a property or a transformer is unknown.
    struct Condition {
        const char *sourceProperty;
        QString transformerName;
    };
    static Binding *bindAllThrough(QObject *target, const char *targetProperty, QObject *source,
                                   const QList<Condition> &conditions);

    // Calls apply with the property's value now and after every change, for
    // targets that are not a single property (the items of a pop-up menu).
    static Binding *observe(QObject *context, QObject *source, const char *sourceProperty,
                            std::function<void(const QVariant &)> apply);

    // Every property ("Class.name") and transformer name a binding was asked
    // for and did not find, since the program started: a misspelt name
    // leaves a control unbound, so the tests require this to stay empty.
    static QStringList unresolved();

    // Copies the controller's value into the control now.
    void refresh();

private slots:
    void sourceChanged();
    void targetChanged();

private:
    Binding(QObject *context, QObject *source, QMetaProperty sourceProperty);
    void followNotify(QObject *sender, const QMetaProperty &property, const char *slot);

    QPointer<QObject> source_;
    QMetaProperty sourceProperty_;
    QPointer<QObject> target_;
    QMetaProperty targetProperty_;
    Transform toTarget_;
    Transform fromTarget_;
    std::function<void(const QVariant &)> apply_;
    bool updating_ = false;
};
