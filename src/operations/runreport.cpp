// SPDX-License-Identifier: GPL-3.0-or-later
#include "runreport.h"


#include <QLocale>

namespace runreport {

QString number(qsizetype count)
{
    // The texts are English, so are their numbers, whatever the machine's locale.
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(count);
}

QString counted(qsizetype count, const QString &singular, const QString &plural)
{
    return QStringLiteral("%1 %2").arg(number(count), count == 1 ? singular : plural);
}

namespace {

// How a run that did not finish left things, after the alert that said why.
QString stopped(const ApplyResult &result, const QString &singular, const QString &plural)
{
    if (result.written == 0)
        return QStringLiteral("Nothing was changed: the run stopped before its first change");
    return QStringLiteral("Stopped after %1 of %2").arg(counted(result.written, singular, plural)).arg(result.enabled);
}

QString appliedList(const ApplyResult &result, const ChangeList &list, const QString &playlistName)
{
    const QString singular = list.playlist ? QStringLiteral("track") : QStringLiteral("change");
    const QString plural = list.playlist ? QStringLiteral("tracks") : QStringLiteral("changes");
    switch (result.outcome) {
    case ApplyResult::Aborted:
    case ApplyResult::Failed:
        return stopped(result, singular, plural);
    case ApplyResult::TargetMissing:
        return QStringLiteral("Nothing was changed: the playlist '%1' is gone").arg(result.playlist);
    case ApplyResult::Finished:
        break;
    }
    if (result.enabled == 0)
        return QStringLiteral("Nothing was changed: no row was checked");
    if (!list.playlist)
        return counted(result.written, singular, plural) + QStringLiteral(" applied");
    if (list.restore)
        return counted(result.written, singular, plural) + QStringLiteral(" put back into their playlists") +
               (result.notRestored.isEmpty() ? QString() : QStringLiteral(", some files left in the Trash"));
    // An undo takes entries out of the playlists its run added them to, whichever is chosen now.
    if (list.remove && list.undoOf != 0)
        return counted(result.written, singular, plural) + QStringLiteral(" taken back out of their playlists") +
               (list.trash ? QStringLiteral(", their files moved to the Trash") : QString());
    if (list.remove) {
        QString text = counted(result.written, singular, plural) +
                       QStringLiteral(" removed from the playlist '%1'").arg(playlistName);
        if (list.trash)
            text += QStringLiteral(", their files moved to the Trash");
        return text;
    }
    // Tracks already in the playlist are not added twice.
    if (result.written == 0)
        return QStringLiteral("Nothing was changed: every checked track is in the playlist '%1' already")
            .arg(playlistName);
    QString text = counted(result.written, singular, plural) +
                   QStringLiteral(" added to the playlist '%1'").arg(playlistName);
    if (result.written < result.enabled)
        text += QStringLiteral(", %1 there already").arg(result.enabled - result.written);
    return text;
}

} // namespace

QString applied(const ApplyResult &result, const ChangeList &list, const QString &playlistName)
{
    // An undo's words would read like the run it took back's.
    if (list.undoOf != 0)
        return QStringLiteral("Undo of run %1: %2").arg(list.undoOf).arg(appliedList(result, list, playlistName));
    return appliedList(result, list, playlistName);
}

QString notRecorded(const ApplyResult &result)
{
    if (result.notRecorded.isEmpty())
        return {};
    return QStringLiteral("The history could not record this run, so it cannot be undone from there: %1")
        .arg(result.notRecorded);
}

RunOutcome finishApplied(WindowPort *port, const ApplyResult &result, const QString &summary)
{
    applyengine::report(port, result);
    const QString unrecorded = notRecorded(result);
    RunOutcome outcome;
    outcome.news = summary + (unrecorded.isEmpty() ? QString() : QStringLiteral(". ") + unrecorded);
    outcome.tracksChanged = true;
    outcome.kind = RunOutcome::Applied;
    outcome.applied = result;
    return outcome;
}

QString numericChanged(const ApplyResult &result)
{
    if (result.outcome != ApplyResult::Finished)
        return stopped(result, QStringLiteral("track"), QStringLiteral("tracks"));
    if (result.enabled == 0)
        return QStringLiteral("Nothing was changed: no track is selected in the library");
    return counted(result.written, QStringLiteral("track"), QStringLiteral("tracks")) + QStringLiteral(" changed");
}

QString nothingToChange()
{
    return QStringLiteral("Nothing was changed: no track needed a change");
}

} // namespace runreport
