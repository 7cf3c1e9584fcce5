// SPDX-License-Identifier: GPL-3.0-or-later
// A run on its own, and the collecting run over a folder, without the
// controller: the progress goes to a recording sink handed in.
#include "fakewindowport.h"
#include "operations/collector.h"
#include "operations/run.h"
#include "support/dispatch.h"
#include "testfiles.h"

#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Records what a run shows of its progress, in order.
class RecordingSink : public ProgressSink {
public:
    explicit RecordingSink(WindowPort *person) : person_(person) {}
    QStringList events;
    WindowPort *port() const override { return person_; }
    void beginProgress(const QString &title) override { add("begin " + title); }
    void setProgress(ProgressDetail detail) override { add("detail " + detail.toString()); }
    void endProgress() override { add("end"); }
    QStringList seen() const
    {
        QMutexLocker lock(&mutex_);
        return events;
    }

private:
    void add(const QString &event)
    {
        QMutexLocker lock(&mutex_);
        events << event;
    }
    WindowPort *person_;
    mutable QMutex mutex_;
};

} // namespace

TEST(Run, WorksOnTheWorkerEndsOnTheMainLoopAndAllowsOneAtATime)
{
    ScopedFakePort port;
    RecordingSink sink(port.get());
    bool onWorker = false;
    QStringList order;
    const std::shared_ptr<::Run> run = ::Run::start(sink, "Working…", [&](ProgressSink &progress) -> ::Run::Finish {
        onWorker = onBackgroundWorker();
        progress.setProgress(QStringLiteral("half way"));
        return [&] {
            order << "finish";
            RunOutcome outcome;
            outcome.kind = RunOutcome::Reported;
            return outcome;
        };
    });
    EXPECT_TRUE(::Run::busy());
    run->whenFinished([&](const RunOutcome &outcome) { order << QStringLiteral("first %1").arg(outcome.kind); });
    run->whenFinished([&](const RunOutcome &) { order << "second"; });

    // A second run while the first goes is refused before it shows anything.
    const std::shared_ptr<::Run> second = ::Run::start(sink, "Again", [](ProgressSink &) -> ::Run::Finish {
        ADD_FAILURE() << "the second run worked";
        return [] { return RunOutcome(); };
    });
    ASSERT_TRUE(second->finished());
    EXPECT_EQ(second->outcome().kind, RunOutcome::Refused);
    EXPECT_FALSE(second->outcome().succeeded());
    EXPECT_FALSE(run->finished());

    const RunOutcome &outcome = run->wait();
    EXPECT_EQ(outcome.kind, RunOutcome::Reported);
    EXPECT_TRUE(outcome.succeeded());
    EXPECT_TRUE(onWorker);
    EXPECT_FALSE(::Run::busy());
    // The progress closed before the finish told anything; the listeners follow in order.
    EXPECT_EQ(sink.seen(), (QStringList{"begin Working…", "detail half way", "end"}));
    EXPECT_EQ(order, (QStringList{"finish", QStringLiteral("first %1").arg(RunOutcome::Reported), "second"}));
    // A listener added late hears the outcome at once.
    bool late = false;
    run->whenFinished([&](const RunOutcome &) { late = true; });
    EXPECT_TRUE(late);

    // A refusal tells the person and ends at once, without progress.
    const std::shared_ptr<::Run> refused = ::Run::refuse(port.get(), "Invalid Tag", "Choose a tag.");
    EXPECT_EQ(refused->wait().kind, RunOutcome::Refused);
    EXPECT_EQ(refused->outcome().title, "Invalid Tag");
    EXPECT_EQ(port->alertTitles(), QStringList{"Invalid Tag"});
    EXPECT_EQ(sink.seen().size(), 3);
}

TEST(Run, CollectingOverAFolderEndsInAReviewNothingToDoOrTheSourcesRefusal)
{
    ScopedFakePort port;
    TestFolder folder;
    const QString song = folder.addSeed("seed.mp3", "music/song.mp3");
    folder.addFolder("empty");
    RecordingSink sink(port.get());

    const auto collectFrom = [&](const QString &path, bool propose) {
        CollectRun run;
        run.source.method = choices::FolderSource;
        run.source.folder = path;
        run.source.port = port.get();
        run.keys = {"comment"};
        run.noChangesMessage = "Nothing.";
        run.step = [propose](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
            if (propose)
                records << collector::tagRecord(track, values, "comment", tagText(values.value("comment")), "new");
        };
        return collector::collect(std::move(run), sink)->wait();
    };

    // A second name of the song: the records carry the file each read
    // opened, for the review to tell the two names of one file apart.
    const QString again = folder.filePath("music/zz-again.mp3");
    ASSERT_EQ(::link(QFile::encodeName(song).constData(), QFile::encodeName(again).constData()), 0);
    const RunOutcome reviewed = collectFrom(folder.filePath("music"), true);
    ASSERT_EQ(reviewed.kind, RunOutcome::Reviewed);
    ASSERT_TRUE(reviewed.changes);
    ASSERT_EQ(reviewed.changes->records.size(), 2);
    EXPECT_EQ(reviewed.changes->records[0].track.path(), song);
    EXPECT_EQ(reviewed.changes->records[1].track.path(), again);
    EXPECT_EQ(reviewed.changes->records[0].newTag, "new");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(song).constData(), &st), 0);
    const FileIdentity songFile{quint64(st.st_dev), quint64(st.st_ino)};
    EXPECT_EQ(reviewed.changes->records[0].file, songFile);
    EXPECT_EQ(reviewed.changes->records[1].file, songFile);
    EXPECT_TRUE(reviewed.succeeded());
    EXPECT_TRUE(port->alerts.isEmpty());
    ASSERT_TRUE(QFile::remove(again));

    EXPECT_EQ(collectFrom(folder.filePath("music"), false).kind, RunOutcome::NothingToDo);
    EXPECT_EQ(port->alertTitles(), QStringList{"No Changes"});

    const RunOutcome none = collectFrom(folder.filePath("empty"), true);
    EXPECT_EQ(none.kind, RunOutcome::Refused);
    EXPECT_FALSE(none.succeeded());
    EXPECT_EQ(port->alertTitles(), (QStringList{"No Changes", "No Files"}));
    // Every run opened its progress once and closed it once.
    EXPECT_EQ(sink.seen().filter("begin ").size(), 3);
    EXPECT_EQ(sink.seen().filter(QRegularExpression("^end$")).size(), 3);
}
