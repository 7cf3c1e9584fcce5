// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/changesmodel.h"
#include "operations/reviewsummary.h"

#include <gtest/gtest.h>

namespace {

ChangeRecord tagChange(const QString &key, const QString &title = QStringLiteral("Song"))
{
    ChangeRecord r;
    r.tagToChange = key;
    r.title = title;
    r.artist = QStringLiteral("Band");
    r.oldTag = QStringLiteral("old");
    r.newTag = QStringLiteral("new");
    return r;
}

std::shared_ptr<ChangeList> tagList(const QStringList &keys)
{
    auto list = std::make_shared<ChangeList>();
    for (const QString &key : keys)
        list->records << tagChange(key);
    return list;
}

std::shared_ptr<ChangeList> membershipList(int count, int remove)
{
    auto list = std::make_shared<ChangeList>();
    list->playlist = true;
    list->remove = remove;
    for (int i = 0; i < count; ++i)
        list->records << ChangeRecord{{}, {}, {}, {}, QStringLiteral("T%1").arg(i), QStringLiteral("A"), true};
    return list;
}

} // namespace

TEST(ReviewSummary, OnlyTheFirstTenRecordsNameTheTag)
{
    QStringList keys(10, QStringLiteral("name"));
    keys << QStringLiteral("artist");
    keys += QStringList(14, QStringLiteral("name"));
    EXPECT_EQ(review::summary(*tagList(keys), {}),
              "Checked tracks of these 25 tracks will get their tag 'Title' changed:");
}

TEST(ReviewSummary, MixedKeysAreJoinedInThePluralText)
{
    const QString text = review::summary(*tagList({"name", "artist", "name"}), {});
    EXPECT_TRUE(text == "Checked tracks of these 3 tracks will get their tags 'Title', 'Artist' changed:" ||
                text == "Checked tracks of these 3 tracks will get their tags 'Artist', 'Title' changed:")
        << text.toStdString();
}

TEST(ReviewSummary, MembershipTextsNameThePlaylistAndCountUncheckedRecordsToo)
{
    auto removing = membershipList(4, 1);
    removing->records[0].enabled = false;
    EXPECT_EQ(review::summary(*removing, "Old Stuff"),
              "Checked tracks of these 4 tracks will removed from the playlist 'Old Stuff':");
    EXPECT_EQ(review::summary(*membershipList(2, 0), "Favourites"),
              "Checked tracks of these 2 tracks will added to the playlist 'Favourites':");
}

TEST(ChangesModel, ValueColumnsHideForMembershipListsAndReturnForTagLists)
{
    ChangesModel model;
    int visibility = 0;
    QObject::connect(&model, &ChangesModel::columnVisibilityChanged, [&] { ++visibility; });
    model.setChangeList(tagList({"name"}));
    EXPECT_EQ(model.visibleColumns().size(), 6);

    model.setChangeList(membershipList(3, 0));
    EXPECT_EQ(model.visibleColumns(), (QList<int>{ChangesModel::CheckColumn, ChangesModel::TitleColumn,
                                                   ChangesModel::ArtistColumn}));
    EXPECT_FALSE(model.isColumnVisible(ChangesModel::OldColumn));
    EXPECT_FALSE(model.isColumnVisible(ChangesModel::NewColumn));

    model.setChangeList(tagList({"artist"}));
    EXPECT_TRUE(model.isColumnVisible(ChangesModel::OldColumn));
    EXPECT_TRUE(model.isColumnVisible(ChangesModel::NewColumn));
    EXPECT_EQ(visibility, 2);
}

TEST(ChangesModel, CheckColumnEditsTheSharedListAndShowsValues)
{
    auto list = tagList({"name", "genre"});
    list->records[1].oldTag = "Rock";
    list->records[1].newTag = "rock";
    ChangesModel model;
    model.setChangeList(list);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1, ChangesModel::TagColumn)).toString(), "Genre");
    EXPECT_EQ(model.data(model.index(1, ChangesModel::TagColumn), Qt::EditRole).toString(), "genre");
    EXPECT_EQ(model.data(model.index(1, ChangesModel::OldColumn)).toString(), "Rock");
    EXPECT_EQ(model.data(model.index(1, ChangesModel::NewColumn)).toString(), "rock");
    EXPECT_TRUE(model.flags(model.index(0, ChangesModel::CheckColumn)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, ChangesModel::TitleColumn)) & Qt::ItemIsUserCheckable);

    EXPECT_TRUE(model.setData(model.index(1, ChangesModel::CheckColumn), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(list->records[1].enabled);
    EXPECT_EQ(model.data(model.index(1, ChangesModel::CheckColumn), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    // Only the check column is editable.
    EXPECT_FALSE(model.setData(model.index(1, ChangesModel::NewColumn), "x", Qt::EditRole));
    EXPECT_EQ(list->records[1].newTag, "rock");
}

TEST(ChangesModel, ControlAndBidiCharactersShowAsSymbolsAndAreKeptAsTheyAre)
{
    auto list = tagList({"name"});
    list->records[0].title = QString::fromUtf16(u"Evil\x1b]0;x\x07\u202Egpj.exe");
    list->records[0].newTag = QString::fromUtf16(u"two\nlines\u2066");
    ChangesModel model;
    model.setChangeList(list);
    const QModelIndex title = model.index(0, ChangesModel::TitleColumn);
    EXPECT_EQ(model.data(title).toString(), QString::fromUtf16(u"Evil\u241b]0;x\u2407\\u202Egpj.exe"));
    EXPECT_EQ(model.data(title, Qt::ToolTipRole), model.data(title));
    EXPECT_EQ(model.data(model.index(0, ChangesModel::NewColumn)).toString(),
              QString::fromUtf16(u"two\u240alines\\u2066"));
    // The value itself is untouched: what is written is what the tool made.
    EXPECT_EQ(model.data(title, Qt::EditRole).toString(), list->records[0].title);
}

TEST(ChangesModel, CheckingManyRowsNotifiesOnceAndIgnoresRowsOutsideTheList)
{
    auto list = tagList(QStringList(100000, QStringLiteral("name")));
    ChangesModel model;
    model.setChangeList(list);
    int changed = 0;
    QObject::connect(&model, &ChangesModel::dataChanged, [&] { ++changed; });
    QList<int> rows;
    for (int i = 10; i < 90000; ++i)
        rows << i;
    rows << -1 << 100000;
    model.setEnabled(rows, false);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(model.enabledCount(), 100000 - 89990);
    EXPECT_TRUE(list->records[9].enabled);
    EXPECT_FALSE(list->records[10].enabled);
    EXPECT_TRUE(list->records[90000].enabled);
}

TEST(ChangesModel, EmptyModelAnswersSafely)
{
    ChangesModel model;
    EXPECT_EQ(model.rowCount(), 0);
    model.setEnabled({0, 1}, false);
    EXPECT_FALSE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.enabledCount(), 0);
}
