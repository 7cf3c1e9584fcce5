// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/windowport.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

// The scripted person: records every alert and panel and answers from a
// script. Unscripted alerts are answered with the default button (1) and
// unscripted panels are cancelled.
class FakeWindowPort : public WindowPort {
public:
    struct Alert {
        QString title;
        QString message;
        QStringList buttons; // default, alternate, other (empty ones left out)
    };

    QList<Alert> alerts;
    std::deque<int> alertAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    QStringList folderPrompts;
    QList<QPair<QString, QString>> saveRequests; // suggested name, type
    int reviewsBegun = 0;
    int reviewsEnded = 0;
    int progressBegun = 0;
    int progressEnded = 0;
    int editingEnded = 0;
    QList<int> helpOpened;

    int alert(const QString &title, const QString &message, const QString &defaultButton,
              const QString &alternateButton, const QString &otherButton) override;
    std::optional<QString> chooseFolder(const QString &prompt) override;
    std::optional<QString> chooseSaveFile(const QString &suggestedName, const QString &fileType) override;
    void endEditing() override { ++editingEnded; }
    void beginReview() override { ++reviewsBegun; }
    void endReview() override { ++reviewsEnded; }
    void beginProgress() override { ++progressBegun; }
    void endProgress() override { ++progressEnded; }
    void openHelp(int position) override { helpOpened.append(position); }

    QStringList alertTitles() const;
};

// The scripted person of one test. Nothing is installed anywhere: hand it to
// the controller (`AppDelegate app{*port}`) or to what else alerts
// (`port.get()`); it must outlive them, so declare it first.
class ScopedFakePort {
public:
    FakeWindowPort &operator*() { return port_; }
    FakeWindowPort *operator->() { return &port_; }
    FakeWindowPort *get() const { return &port_; }

private:
    mutable FakeWindowPort port_;
};
