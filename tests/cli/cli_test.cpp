// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appdelegate.h"
#include "clirunner.h"
#include "library/librarybuilder.h"
#include "operations/changesmodel.h"
#include "operations/collector.h"
#include "reviewprinter.h"
#include "support/dispatch.h"
#include "support/threadcount.h"
#include "terminalport.h"
#include "testfiles.h"
#include "toolcommands.h"
#include "toolcontext.h"
#include "userlocations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>
#include <gtest/gtest.h>

using namespace cli;

namespace {

FILE *fileWith(const QByteArray &text)
{
    FILE *f = std::tmpfile();
    std::fwrite(text.constData(), 1, size_t(text.size()), f);
    std::rewind(f);
    return f;
}

QString readBack(FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, qsizetype(n));
    return QString::fromUtf8(bytes);
}

// A terminal session over a real library and a folder of real files, with a
// stand-in tool whose step appends " (live)" to every title.
struct Session {
    ScopedUserLocations locations;
    LibraryBuilder builder;
    TestFolder music;
    FILE *in;
    FILE *errFile = std::tmpfile();
    TerminalPort port;
    AppDelegate app{port};
    QString outText;
    QString errText;
    QTextStream out{&outText};
    QTextStream err{&errText};

    explicit Session(const QByteArray &input = {}, bool interactive = false)
        : in(fileWith(input)), port(in, errFile)
    {
        port.setInteractive(interactive);
        app.setLibraryPath(builder.libraryPath());
        app.applicationDidFinishLaunching();
    }
    ~Session()
    {
        std::fclose(in);
        std::fclose(errFile);
    }

    QStringList addFiles()
    {
        return {music.addSeed("seed.mp3", "a.mp3"), music.addSeed("seed.flac", "b.flac"),
                music.addSeed("seed.ogg", "c.ogg")};
    }

    void appendLive()
    {
        CollectRun run;
        run.keys = {"name"};
        run.noChangesMessage = "Nothing to do.";
        run.step = [](const MusicTrack &track, const TrackValues &values, QList<ChangeRecord> &records) {
            const QString old = tagText(values.value("name"));
            records << collector::tagRecord(track, values, "name", old, old + " (live)");
        };
        app.collect(run);
    }

    ExitCode run(const QStringList &args, const std::function<void()> &action)
    {
        ToolContext context(app, port, args, out, err);
        QCommandLineParser parser;
        if (const auto done = context.parse(parser, "stand-in", "A stand-in tool."))
            return *done;
        return context.run(action);
    }

    ExitCode runOverFolder(const QStringList &args)
    {
        app.pathSelected(music.path());
        return run(args, [this] { appendLive(); });
    }

    QString portErr() { return readBack(errFile); }
};

QMap<QString, QString> titles(const QStringList &paths)
{
    QMap<QString, QString> result;
    for (const QString &p : paths)
        result[p] = MusicTrack::withPath(p).title();
    return result;
}

} // namespace

TEST(CliReview, DryRunPrintsTheTableAndWritesNothing)
{
    Session s;
    const QStringList paths = s.addFiles();
    QList<QByteArray> bytes;
    for (const QString &p : paths)
        bytes << TestFolder::readAll(p);
    EXPECT_EQ(s.runOverFolder({"--dry-run"}), ExitCode::Success);

    const QStringList lines = s.outText.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << s.outText.toStdString();
    EXPECT_EQ(lines[0], "Checked tracks of these 3 tracks will get their tag 'Title' changed:");
    EXPECT_TRUE(lines[1].contains(QRegularExpression("^ +Title +Artist +Tag +Old Value +New Value +File$")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("1 [x]")) << lines[2].toStdString();
    EXPECT_TRUE(lines[4].contains(" (live)"));
    // Every column starts where its heading does.
    for (const QString heading : {"Artist", "Tag", "Old Value", "New Value"}) {
        const qsizetype at = lines[1].indexOf(heading);
        for (int row = 2; row < 5; ++row)
            EXPECT_TRUE(at > 2 && lines[row].mid(at - 2, 2) == "  " && lines[row].at(at) != u' ')
                << heading.toStdString() << " in " << lines[row].toStdString();
    }
    // The tag by its display name, and each track's file, its path cut from the left.
    const qsizetype tagAt = lines[1].indexOf("Tag");
    const qsizetype fileAt = lines[1].indexOf("File");
    for (int row = 2; row < 5; ++row) {
        EXPECT_EQ(lines[row].mid(tagAt, 6), "Title ") << lines[row].toStdString();
        const QString file = lines[row].mid(fileAt);
        EXPECT_EQ(std::count_if(paths.cbegin(), paths.cend(),
                                [&](const QString &p) {
                                    return file == (p.size() > 40 ? QChar(0x2026) + p.right(39) : p);
                                }),
                  1)
            << file.toStdString();
    }
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(TestFolder::readAll(paths[i]), bytes[i]);
    EXPECT_FALSE(s.app.changes());
}

TEST(CliReview, YesAppliesAllButTheUncheckedRows)
{
    Session s;
    const QStringList paths = s.addFiles();
    const auto before = titles(paths);
    EXPECT_EQ(s.runOverFolder({"--yes", "--uncheck", "2"}), ExitCode::Success);
    EXPECT_TRUE(s.outText.contains("\n2 [ ]")) << s.outText.toStdString();
    EXPECT_TRUE(s.outText.contains("2 changes applied."));

    // Row 2 is the second file the folder listed; whichever it was, it alone is unchanged.
    const auto after = titles(paths);
    int unchanged = 0;
    for (const QString &p : paths) {
        if (after[p] == before[p])
            ++unchanged;
        else
            EXPECT_EQ(after[p], before[p] + " (live)");
    }
    EXPECT_EQ(unchanged, 1);
    EXPECT_FALSE(s.app.changes());
}

TEST(CliReview, WithoutATerminalOrYesNothingIsApplied)
{
    Session s;
    const QStringList paths = s.addFiles();
    const auto before = titles(paths);
    EXPECT_EQ(s.runOverFolder({}), ExitCode::Failed);
    EXPECT_TRUE(s.errText.contains("--yes")) << s.errText.toStdString();
    EXPECT_EQ(titles(paths), before);
    EXPECT_FALSE(s.app.changes());
}

TEST(CliReview, OnATerminalTheQuestionDecides)
{
    for (const QByteArray &answer : {QByteArray("y\n"), QByteArray("n\n")}) {
        Session s(answer, /*interactive=*/true);
        const QStringList paths = s.addFiles();
        const auto before = titles(paths);
        const ExitCode status = s.runOverFolder({});
        EXPECT_TRUE(s.portErr().contains("Apply the 3 checked changes? [y/N]"));
        if (answer.startsWith('y')) {
            EXPECT_EQ(status, ExitCode::Success);
            EXPECT_NE(titles(paths), before);
        } else {
            EXPECT_EQ(status, ExitCode::Failed);
            EXPECT_EQ(titles(paths), before);
        }
    }
}

TEST(CliReview, JsonReviewCarriesEveryField)
{
    Session s;
    s.addFiles();
    EXPECT_EQ(s.runOverFolder({"--json", "--dry-run", "--uncheck", "1,3"}), ExitCode::Success);
    const QJsonObject review = QJsonDocument::fromJson(s.outText.toUtf8()).object();
    EXPECT_EQ(review["summary"].toString(), "Checked tracks of these 3 tracks will get their tag 'Title' changed:");
    EXPECT_FALSE(review["playlist"].toBool());
    const QJsonArray records = review["records"].toArray();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0]["number"].toInt(), 1);
    EXPECT_FALSE(records[0]["enabled"].toBool());
    EXPECT_TRUE(records[1]["enabled"].toBool());
    EXPECT_EQ(records[1]["tagToChange"].toString(), "name");
    EXPECT_EQ(records[1]["newTag"].toString(), records[1]["oldTag"].toString() + " (live)");
    EXPECT_TRUE(records[2]["path"].toString().startsWith(s.music.path()));
}

TEST(CliReview, MembershipListIsPrintedWithoutValueColumns)
{
    Session s;
    QList<qint64> ids{s.builder.addTrack("One\nLine", "Band"), s.builder.addTrack("Two", "Band")};
    s.builder.library().createPlaylist("Target");
    s.app.refreshPlaylists();
    const ExitCode status = s.run({"--dry-run"}, [&] {
        auto list = std::make_shared<ChangeList>();
        list->playlist = true;
        for (qint64 id : ids) {
            const MusicTrack t = MusicTrack::withTrack(s.app.library(), LibraryBuilder::throughLibrary(id));
            list->records << ChangeRecord{t, {}, {}, {}, t.title(), t.artist(), true};
        }
        s.app.setChanges(list);
        s.app.beginChanges();
    });
    EXPECT_EQ(status, ExitCode::Success);
    EXPECT_TRUE(s.outText.startsWith("Checked tracks of these 2 tracks will added to the playlist 'Target':\n"));
    EXPECT_FALSE(s.outText.contains("Old Value"));
    EXPECT_FALSE(s.outText.contains("Tag"));
    // A line break inside a title keeps the row on one line.
    EXPECT_TRUE(s.outText.contains("One\\nLine"));
}

TEST(CliReview, BadReviewOptionsAreUsageErrorsAndWriteNothing)
{
    Session s;
    const QStringList paths = s.addFiles();
    const auto before = titles(paths);
    EXPECT_EQ(s.runOverFolder({"--yes", "--uncheck", "7"}), ExitCode::BadUsage);
    EXPECT_TRUE(s.errText.contains("row 7")) << s.errText.toStdString();
    EXPECT_EQ(s.runOverFolder({"--uncheck", "two"}), ExitCode::BadUsage);
    EXPECT_EQ(s.runOverFolder({"--uncheck", "3-1"}), ExitCode::BadUsage);
    EXPECT_EQ(s.runOverFolder({"--yes", "--dry-run"}), ExitCode::BadUsage);
    EXPECT_EQ(s.runOverFolder({"--frobnicate"}), ExitCode::BadUsage);
    EXPECT_EQ(s.runOverFolder({"stray"}), ExitCode::BadUsage);
    EXPECT_EQ(titles(paths), before);
    EXPECT_FALSE(s.app.changes());
}

TEST(CliReview, HelpListsTheReviewOptions)
{
    Session s;
    EXPECT_EQ(s.run({"--help"}, [] { FAIL() << "help must not run the tool"; }), ExitCode::Success);
    EXPECT_TRUE(s.outText.contains("Usage: quavertin-cli [source] stand-in [options]")) << s.outText.toStdString();
    for (const char *option : {"--yes", "--dry-run", "--uncheck <LIST>", "--json"})
        EXPECT_TRUE(s.outText.contains(option)) << option;
}

TEST(CliReview, RefusalsAndEmptySourcesExitWithOne)
{
    Session s;
    s.app.setSelectedMethod(1); // no folder
    EXPECT_EQ(s.run({"--yes"}, [&] { s.appendLive(); }), ExitCode::Failed);
    EXPECT_TRUE(s.portErr().contains(
        "No Folder: You didn't select a folder with music files to operate on."));

    s.builder.library().createPlaylist("Empty");
    s.app.refreshPlaylists();
    s.app.setSelectedMethod(0);
    EXPECT_EQ(s.run({"--yes"}, [&] { s.appendLive(); }), ExitCode::Failed);
    EXPECT_TRUE(s.portErr().contains("No Changes: Nothing to do."));
}

TEST(CliReview, ApplyThatIsAbortedExitsWithOne)
{
    Session s;
    const qint64 id = s.builder.addTrack("Song", "Band");
    s.builder.library().addToPlaylist(s.builder.library().createPlaylist("Mix"), {id});
    s.app.refreshPlaylists();
    // The title changes between collecting and applying.
    const ExitCode status = s.run({"--yes"}, [&] {
        s.appendLive();
        waitForBackground();
        s.builder.library().setProperty(LibraryBuilder::throughLibrary(id), "name", "Changed");
    });
    EXPECT_EQ(status, ExitCode::Failed);
    EXPECT_TRUE(s.portErr().contains("Quavertin: Please do not 'touch' iTunes"));
    EXPECT_EQ(s.builder.library().property(LibraryBuilder::throughLibrary(id), "name").toString(), "Changed");
}

TEST(CliReview, LibraryErrorInTheActionEndsTheCommandWithATellingMessage)
{
    Session s;
    const auto failing = [&] {
        s.app.beginProgress("Collecting changes…");
        throw LibraryError("open the library", "the file is locked");
    };
    EXPECT_EQ(s.run({"--yes"}, failing), ExitCode::Failed);
    EXPECT_FALSE(s.port.progressOpen());
    EXPECT_TRUE(s.errText.contains("the file is locked")) << s.errText.toStdString();
}

TEST(TerminalPortTest, ChoicesAskOnATerminalAndTakeTheDefaultOtherwise)
{
    FILE *in = fileWith("maybe\nCancel\n");
    FILE *err = std::tmpfile();
    TerminalPort port(in, err);
    EXPECT_EQ(port.alert("Title", "Question?", "Continue", "Cancel", {}), 1);
    port.setInteractive(true);
    EXPECT_EQ(port.alert("Title", "Question?", "Continue", "Cancel", {}), 0);
    EXPECT_EQ(port.alert("Note", "Just so you know.", "OK", {}, {}), 1);
    const QString text = readBack(err);
    EXPECT_TRUE(text.contains("Title: Question?\n"));
    EXPECT_TRUE(text.contains("[Continue / Cancel] (default Continue): "));
    EXPECT_EQ(port.alertCount(), 3);

    EXPECT_FALSE(port.chooseFolder("Pick"));
    EXPECT_FALSE(port.chooseSaveFile("list", "txt"));
    port.setFolder("/music");
    port.setSavePath("/tmp/out.txt");
    EXPECT_EQ(port.chooseFolder("Pick"), "/music");
    EXPECT_EQ(port.chooseSaveFile("list", "txt"), "/tmp/out.txt");
    std::fclose(in);
    std::fclose(err);
}

TEST(TerminalPortTest, ProgressLineOnlyWhenAsked)
{
    FILE *err = std::tmpfile();
    TerminalPort port(stdin, err);
    port.setProgressSource([] { return QStringLiteral("Applying changes… 1/2 Song"); });
    port.beginProgress();
    port.progressChanged();
    EXPECT_TRUE(readBack(err).isEmpty());
    port.setShowProgress(true);
    port.progressChanged();
    port.endProgress();
    EXPECT_TRUE(readBack(err).contains("Applying changes… 1/2 Song"));
    EXPECT_FALSE(port.progressOpen());
    std::fclose(err);
}

namespace {
struct Main {
    ScopedUserLocations locations;
    LibraryBuilder builder;
    QString outText, errText;
    QTextStream out{&outText}, err{&errText};
    ExitCode run(QStringList args)
    {
        outText.clear();
        errText.clear();
        const ExitCode status = runMain(args, out, err, stdin, false, false);
        out.flush();
        err.flush();
        return status;
    }
};
} // namespace

TEST(CliMain, HelpAndUsageErrors)
{
    Main m;
    EXPECT_EQ(m.run({"--help"}), ExitCode::Success);
    EXPECT_TRUE(m.outText.contains("Usage: quavertin-cli [--library FILE] [--playlist NAME | --folder DIR | --selection] TOOL"));
    ASSERT_EQ(toolCommands().size(), 20);
    for (const ToolCommand &tool : toolCommands())
        EXPECT_TRUE(m.outText.contains(QStringLiteral("  %1 ").arg(tool.name))) << tool.name.toStdString();
    EXPECT_TRUE(m.outText.contains("  library "));

    EXPECT_EQ(m.run({}), ExitCode::BadUsage);
    EXPECT_EQ(m.run({"frobnicate"}), ExitCode::BadUsage);
    EXPECT_TRUE(m.errText.contains("unknown tool 'frobnicate'"));
    EXPECT_EQ(m.run({"--colour", "move"}), ExitCode::BadUsage);
    EXPECT_EQ(m.run({"--library"}), ExitCode::BadUsage);
    EXPECT_EQ(m.run({"--selection", "--folder", "/tmp", "move"}), ExitCode::BadUsage);
    EXPECT_TRUE(m.errText.contains("choose one source"));
}

// A source that is not there is input the tool cannot run on, as a folder
// that `library import` cannot find: both exit 1. Help never needs the source
// or the library, not even a broken one.
TEST(CliMain, SourcesAreCheckedBeforeTheToolRunsAndHelpNeedsNoLibrary)
{
    Main m;
    m.builder.library().createPlaylist("Mix");
    const QString lib = m.builder.libraryPath();
    const QString missing = m.builder.folder().filePath("missing");
    EXPECT_EQ(m.run({"--library", lib, "--playlist", "Nope", "move", "--source-tag", "year", "--target-tag", "comment"}),
              ExitCode::Failed);
    EXPECT_TRUE(m.errText.contains("no playlist named 'Nope'"));
    EXPECT_EQ(m.run({"--library", lib, "--folder", missing, "move"}), ExitCode::Failed);
    EXPECT_TRUE(m.errText.contains("'" + missing + "' is not a folder: it does not exist")) << m.errText.toStdString();
    EXPECT_EQ(m.run({"--library", lib, "--folder", lib, "size"}), ExitCode::Failed);
    EXPECT_TRUE(m.errText.contains("is not a folder\n")) << m.errText.toStdString();
    EXPECT_EQ(m.run({"--library", lib, "library", "import", missing}), ExitCode::Failed);
    EXPECT_EQ(m.run({"--library", lib, "--folder", missing, "move", "--bogus"}), ExitCode::BadUsage);

    const QString broken = m.builder.folder().addFile("broken.sqlite", QByteArray(4096, 'x'));
    const QString unborn = m.builder.folder().filePath("unborn/library.sqlite");
    for (const QString &library : {broken, unborn}) {
        for (const QString tool : {"numeric", "size", "search-replace", "undo"}) {
            SCOPED_TRACE((library + " " + tool).toStdString());
            EXPECT_EQ(m.run({"--library", library, "--playlist", "Nope", tool, "--help"}), ExitCode::Success);
            EXPECT_TRUE(m.outText.startsWith("Usage: quavertin-cli [source] " + tool)) << m.outText.toStdString();
            EXPECT_TRUE(m.errText.isEmpty()) << m.errText.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(unborn));
    EXPECT_EQ(TestFolder::readAll(broken), QByteArray(4096, 'x'));
}

TEST(CliMain, LibraryCommandsShareTheGlobalLibraryOption)
{
    Main m;
    m.builder.library().createPlaylist("Road Trip");
    EXPECT_EQ(m.run({"--library=" + m.builder.libraryPath(), "library", "playlists"}), ExitCode::Success);
    EXPECT_TRUE(m.outText.contains("Road Trip")) << m.outText.toStdString();
    EXPECT_EQ(m.run({"--playlist", "Road Trip", "library", "playlists"}), ExitCode::BadUsage);
}

// A long review is made into text a block of rows at a time on several
// threads: it still comes out in order, every row once, and a long value in
// a late block widens its column in the early ones too.
TEST(CliReview, ALongReviewComesOutInOrderWithColumnsAsWideAsItsWidestCell)
{
    const ScopedThreadCount four(4);
    auto list = std::make_shared<ChangeList>();
    const int rows = 1000;
    for (int i = 0; i < rows; ++i)
        list->records << ChangeRecord{MusicTrack::withPath(QStringLiteral("/music/%1.mp3").arg(i)), "name",
                                      QStringLiteral("old %1").arg(i), QStringLiteral("new %1").arg(i),
                                      i == rows - 3 ? QString(30, u'W') : QStringLiteral("t%1").arg(i), "Artist",
                                      i % 7 != 0};
    // Longer than a cell may be: cut where its printed form, escapes
    // included, reaches the cell's width.
    list->records[500].oldTag = QString(38, u'L') + QChar(0x1b) + "tail";
    ChangesModel model;
    model.setChangeList(list);
    QString printed;
    QTextStream out(&printed);
    cli::printReview(out, model, "Summary");
    out.flush();

    const QStringList lines = printed.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), rows + 2);
    const qsizetype artistAt = lines[1].indexOf("Artist");
    EXPECT_EQ(artistAt, lines[1].indexOf("Title") + 32) << "the widest title is 30 characters";
    for (int i = 0; i < rows; ++i) {
        const QString &line = lines[i + 2];
        ASSERT_TRUE(line.startsWith(QStringLiteral("%1 %2").arg(i + 1, 4).arg(i % 7 != 0 ? "[x]" : "[ ]")))
            << line.toStdString();
        EXPECT_EQ(line.mid(artistAt, 6), "Artist") << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("new %1 ").arg(i))) << line.toStdString();
        EXPECT_TRUE(line.endsWith(QStringLiteral("  /music/%1.mp3").arg(i))) << "the file last: " << line.toStdString();
    }
    EXPECT_EQ(lines[1].indexOf("New Value"), lines[1].indexOf("Old Value") + 42);
    EXPECT_TRUE(lines[502].contains(QString(38, u'L') + QStringLiteral("\\\u2026  new 500 "))) << lines[502].toStdString();
}
