// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakewindowport.h"


namespace {
std::optional<QString> takeFirst(std::deque<std::optional<QString>> &answers)
{
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer.swap(answers.front());
        answers.pop_front();
    }
    return answer;
}
} // namespace

int FakeWindowPort::alert(const QString &title, const QString &message, const QString &defaultButton,
                          const QString &alternateButton, const QString &otherButton)
{
    QStringList buttons;
    for (const QString &b : {defaultButton, alternateButton, otherButton})
        if (!b.isEmpty())
            buttons << b;
    alerts.append({title, message, buttons});
    if (alertAnswers.empty())
        return 1;
    const int answer = alertAnswers.front();
    alertAnswers.pop_front();
    return answer;
}

std::optional<QString> FakeWindowPort::chooseFolder(const QString &prompt)
{
    folderPrompts << prompt;
    return takeFirst(folderAnswers);
}

std::optional<QString> FakeWindowPort::chooseSaveFile(const QString &suggestedName, const QString &fileType)
{
    saveRequests.append({suggestedName, fileType});
    return takeFirst(saveAnswers);
}

QStringList FakeWindowPort::alertTitles() const
{
    QStringList titles;
    for (const Alert &a : alerts)
        titles << a.title;
    return titles;
}
