// SPDX-License-Identifier: GPL-3.0-or-later
#include "binding.h"
#include "panebuilder.h"
#include "panes.h"
#include "popupbutton.h"

#include <QLabel>

namespace panes {

QWidget *searchReplace(AppDelegate *app)
{
    PaneBuilder b(app, QStringLiteral("searchReplaceView"));
    b.addSourceChooser();
    b.popUp(QObject::tr("Tag:"), "selectedTag", "allReadableTags");
    b.field(QObject::tr("Search for:"), "searchString", QObject::tr("text, or a regular expression"));
    b.field(QObject::tr("Replace with:"), "replaceString", QObject::tr("empty deletes every match"));
    b.check(QObject::tr("Ignore case"), "caseInsensitive");
    b.check(QObject::tr("Regular expression (ICU syntax; $1, $2 … in the replacement)"), "useRegular");

    // The presets menu is an action, not an option: it fills both fields and
    // switches regular expressions on, then shows its title again.
    auto *presets = new PopUpButton;
    presets->setObjectName("presets");
    presets->addItems({QObject::tr("Choose a preset…"), QObject::tr("Remove the first three characters"),
                       QObject::tr("[Brackets] to (parentheses)"), QObject::tr("The Band → Band, The"),
                       QObject::tr("Band, The → The Band"), QObject::tr("Put 0 in front")});
    QObject::connect(presets, &PopUpButton::activated, app, [app, presets](int index) {
        app->presetClicked(index);
        presets->setCurrentIndex(0);
    });
    b.form()->addRow(QObject::tr("Presets:"), presets);

    auto *run = b.button(QObject::tr("Search && Replace"), &AppDelegate::performSearchReplace);
    run->setObjectName("performSearchReplace");
    b.finish({run});
    return b.pane();
}

QWidget *capitalization(AppDelegate *app)
{
    PaneBuilder b(app, QStringLiteral("capitalizationView"));
    b.addSourceChooser();
    b.popUp(QObject::tr("Tag:"), "selectedTag", "allReadableTags");
    b.popUp(QObject::tr("Method:"), "selectedCapitalizationMethod",
            {QObject::tr("Title Case (A Man for All Seasons)"), QObject::tr("UPPER CASE"),
             QObject::tr("lower case"), QObject::tr("Capitalize Every Word"),
             QObject::tr("Proper case (A man for all seasons)")});
    auto *run = b.button(QObject::tr("Change Capitalization"), &AppDelegate::performCapitalization);
    run->setObjectName("performCapitalization");
    b.finish({run});
    return b.pane();
}

QWidget *playlistManager(AppDelegate *app)
{
    PaneBuilder b(app, QStringLiteral("playlistManagerView"));
    b.showTrackScope();
    b.popUp(QObject::tr("Playlist:"), "selectedPlaylist", "playlists", PopUpButton::PlaylistTag);
    b.popUp(QObject::tr("Tag:"), "selectedTag", "allReadableTags");
    b.popUp(QObject::tr("Condition:"), "selectedCondition",
            {QObject::tr("is"), QObject::tr("is not"), QObject::tr("contains"), QObject::tr("does not contain"),
             QObject::tr("begins with"), QObject::tr("ends with"), QObject::tr("matches regexp"),
             QObject::tr("is longer than (characters)"), QObject::tr("is shorter than (characters)"),
             QObject::tr("has more lines than"), QObject::tr("has fewer lines than"),
             QObject::tr("is greater than (number)"), QObject::tr("is less than (number)")});
    b.field(QObject::tr("Value:"), "conditionString", QObject::tr("text, pattern or number"));
    // Letter case only matters to the text conditions and the pattern (0 to 6).
    QCheckBox *ignoreCase = b.check(QObject::tr("Ignore case"), "caseInsensitive");
    Binding::bindThrough(ignoreCase, "enabled", app, "selectedCondition", QStringLiteral("Smallerthan7ValueTransformer"));
    b.popUp(QObject::tr("Action:"), "selectedPlaylistAction",
            {QObject::tr("Add matching tracks to playlist"), QObject::tr("Remove matching tracks from this playlist")});
    PopUpButton *target = b.popUp(QObject::tr("Add to:"), "selectedPlaylistActionPlaylist", "editablePlaylists",
                                  PopUpButton::PlaylistTag);
    Binding::bindThrough(target, "enabled", app, "selectedPlaylistAction", QStringLiteral("Equalto0ValueTransformer"));
    QCheckBox *trash = b.check(QObject::tr("Move the removed tracks' files to the Trash"), "moveTrash");
    Binding::bindThrough(trash, "enabled", app, "selectedPlaylistAction", QStringLiteral("Differentto0ValueTransformer"));
    auto *run = b.button(QObject::tr("Process Playlist"), &AppDelegate::performPlaylist);
    run->setObjectName("performPlaylist");
    b.finish({run});
    return b.pane();
}

QWidget *dataMover(AppDelegate *app)
{
    PaneBuilder b(app, QStringLiteral("dataMoverView"));
    b.addSourceChooser();
    b.popUp(QObject::tr("From tag:"), "selectedTag", "allReadableTags");
    b.popUp(QObject::tr("To tag:"), "selectedTargetTag", "readableTags");
    // Only "swap" and "copy a portion" are offered: the third action value
    // repeats the second without the pattern portion.
    b.popUp(QObject::tr("Action:"), "selectedAction",
            {QObject::tr("Swap the two tags"), QObject::tr("Copy a portion of the source into the target")});
    PopUpButton *portion = b.popUp(QObject::tr("Portion:"), "selectedPortion",
                                   {QObject::tr("the whole tag"), QObject::tr("the first characters"),
                                    QObject::tr("all except the first characters"),
                                    QObject::tr("what the pattern matches")});
    const QString notSwap = QStringLiteral("Differentto0ValueTransformer");
    Binding::bindThrough(portion, "enabled", app, "selectedAction", notSwap);
    QLineEdit *count = b.field(QObject::tr("Characters:"), "portionString", QObject::tr("a positive number"));
    Binding::bindAllThrough(count, "enabled", app,
                            {{"selectedAction", notSwap},
                             {"selectedPortion", QStringLiteral("Largerthan0alueTransformer")},
                             {"selectedPortion", QStringLiteral("Smallerthan3ValueTransformer")}});
    QLineEdit *pattern = b.field(QObject::tr("Pattern:"), "searchString", QObject::tr("ICU regular expression"));
    QCheckBox *ignoreCase = b.check(QObject::tr("Ignore case"), "caseInsensitive");
    for (QWidget *w : {static_cast<QWidget *>(pattern), static_cast<QWidget *>(ignoreCase)})
        Binding::bindAllThrough(w, "enabled", app,
                                {{"selectedAction", notSwap}, {"selectedPortion", QStringLiteral("Equalto3ValueTransformer")}});
    PopUpButton *option = b.popUp(QObject::tr("Placement:"), "selectedOption",
                                  {QObject::tr("replace the target"), QObject::tr("append after the target"),
                                   QObject::tr("put before the target")});
    Binding::bindThrough(option, "enabled", app, "selectedAction", notSwap);
    QLineEdit *delimiter = b.field(QObject::tr("Delimiter:"), "delimiterString", QObject::tr("e.g. \" - \""));
    Binding::bindAllThrough(delimiter, "enabled", app,
                            {{"selectedAction", notSwap}, {"selectedOption", notSwap}});
    auto *run = b.button(QObject::tr("Move Data"), &AppDelegate::performMove);
    run->setObjectName("performMove");
    b.finish({run});
    return b.pane();
}

QWidget *filename(AppDelegate *app)
{
    PaneBuilder b(app, QStringLiteral("filenameView"));
    auto *folder = new QLabel;
    folder->setObjectName("renameFolder");
    folder->setTextFormat(Qt::PlainText);
    folder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Binding::observe(folder, app, "folderPath", [folder](const QVariant &path) {
        folder->setText(path.toString().isEmpty() ? QObject::tr("No folder chosen") : path.toString());
    });
    auto *choose = new QPushButton(QObject::tr("Choose Folder…"));
    choose->setObjectName("chooseRenameFolder");
    auto *row = new QHBoxLayout;
    row->addWidget(choose);
    row->addWidget(folder, 1);
    b.form()->addRow(QObject::tr("Folder:"), row);
    b.check(QObject::tr("Include sub-folders"), "renameRecursiveScan");
    b.field(QObject::tr("Pattern:"), "filenameString", QStringLiteral("#n - #t"));
    b.note(QObject::tr("#n track number   #t title   #a artist   #l album   #g genre   #y year"));
    b.popUp(QObject::tr("Leading zero:"), "selectedTrailingZeroes",
            {QObject::tr("automatic (ten or more files)"), QObject::tr("never"), QObject::tr("always")});
    b.check(QObject::tr("Leave files with missing tags alone"), "renameSkipMissing");
    b.check(QObject::tr("Set the extension's visibility"), "renameChangeExtension");
    QCheckBox *visible = b.check(QObject::tr("Show the extension"), "renameExtensionVisible");
    Binding::bindThrough(visible, "enabled", app, "renameChangeExtension", QStringLiteral("Equalto1ValueTransformer"));
    auto *run = b.button(QObject::tr("Rename Files"), &AppDelegate::performRename);
    run->setObjectName("performRename");
    // Lists what Rename Files would do; the main window opens the list.
    auto *preview = new QPushButton(QObject::tr("Preview…"));
    preview->setObjectName("previewRename");
    preview->setToolTip(QObject::tr("List every file's new name, and the files that keep theirs, without renaming"));
    preview->setProperty("previewsRename", true);
    b.finish({preview, run});
    // The main window hands the folder button the same chooser as the source choosers.
    choose->setProperty("choosesFolder", true);
    return b.pane();
}

} // namespace panes
