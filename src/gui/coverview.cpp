// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverview.h"

#include "app/appdelegate.h"
#include "files/embeddedpictures.h"
#include "files/filetags.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int thumbnailSize = 96;

QString pictureLine(const EmbeddedPicture &picture)
{
    QStringList parts{embeddedpictures::typeName(picture.type),
                      picture.mime.isEmpty() ? QObject::tr("unknown type") : picture.mime};
    const QSize size = embeddedpictures::pixelSize(picture.data);
    if (size.isValid())
        parts << QStringLiteral("%1×%2").arg(size.width()).arg(size.height());
    parts << QObject::tr("%1 bytes").arg(QLocale().toString(picture.data.size()));
    if (!picture.description.isEmpty())
        parts << QStringLiteral("“%1”").arg(picture.description);
    return parts.join(QStringLiteral(", "));
}

} // namespace

// What a read of the files found, handed from the pool to the main thread.
struct CoverView::Reading {
    quint64 generation = 0;
    bool several = false;
    QList<EmbeddedPicture> pictures; // the pictures every file holds, when not several
    QImage thumbnail;                // of the first picture
    QString problem;                 // a file that could not be read
};

CoverView::CoverView(AppDelegate *app, QWidget *parent)
    : QWidget(parent), app_(app), thumbnail_(new QLabel), details_(new QLabel), add_(new QPushButton(tr("Add…")))
{
    setObjectName("coverView");
    setAcceptDrops(true);
    thumbnail_->setFixedSize(thumbnailSize, thumbnailSize);
    thumbnail_->setAlignment(Qt::AlignCenter);
    thumbnail_->setFrameShape(QFrame::StyledPanel);
    details_->setWordWrap(true);
    details_->setTextFormat(Qt::PlainText);
    details_->setObjectName("coverDetails");
    add_->setObjectName("addCover");
    auto *side = new QVBoxLayout;
    side->addWidget(details_);
    side->addWidget(add_, 0, Qt::AlignLeft);
    side->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(thumbnail_, 0, Qt::AlignTop);
    layout->addLayout(side, 1);
    connect(add_, &QPushButton::clicked, this, [this] {
        const QString image = QFileDialog::getOpenFileName(this, tr("Choose the image to add"), {},
                                                           tr("Images (*.jpg *.jpeg *.png)"));
        if (!image.isEmpty())
            addImage(image);
    });
    setPaths({});
}

void CoverView::setPaths(const QStringList &paths)
{
    paths_ = paths;
    const quint64 generation = ++generation_;
    current_->store(generation);
    add_->setEnabled(!paths.isEmpty());
    if (paths.isEmpty()) {
        display(Reading{generation, false, {}, {}, {}});
        return;
    }
    details_->setText(tr("Reading…"));
    QPointer<CoverView> view(this);
    QThreadPool::globalInstance()->start([view, paths, generation, current = current_] {
        Reading reading{generation, false, {}, {}, {}};
        const auto same = [](const QList<EmbeddedPicture> &a, const QList<EmbeddedPicture> &b) {
            return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const auto &x, const auto &y) {
                return x.type == y.type && x.mime == y.mime && x.description == y.description && x.data == y.data;
            });
        };
        QList<EmbeddedPicture> first;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            // A long selection left behind is not read to its end.
            if (current->load() != generation)
                return;
            // Read past the picture bank: a look at them must not keep every picture browsed in memory.
            QList<EmbeddedPicture> pictures = filetags::picturesIn(paths.at(i));
            // The same pictures in every file: a later one differing is enough to stop.
            if (i == 0) {
                first = std::move(pictures);
            } else if (!same(pictures, first)) {
                reading.several = true;
                break;
            }
        }
        if (!reading.several) {
            reading.pictures = std::move(first);
            if (!reading.pictures.isEmpty()) {
                QImage image;
                image.loadFromData(reading.pictures.constFirst().data);
                if (!image.isNull())
                    reading.thumbnail =
                        image.scaled(thumbnailSize, thumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            }
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [view, reading] {
                if (view)
                    view->display(reading);
            },
            Qt::QueuedConnection);
    });
}

void CoverView::display(const Reading &reading)
{
    // A read overtaken by a newer choice of tracks shows nothing.
    if (reading.generation != generation_)
        return;
    thumbnail_->setPixmap(reading.thumbnail.isNull() ? QPixmap() : QPixmap::fromImage(reading.thumbnail));
    if (reading.several) {
        thumbnail_->setText(QStringLiteral("?"));
        details_->setText(tr("<several pictures>"));
    } else if (reading.pictures.isEmpty()) {
        details_->setText(paths_.isEmpty() ? QString() : tr("No pictures"));
    } else {
        QStringList lines;
        for (const EmbeddedPicture &picture : reading.pictures)
            lines << pictureLine(picture);
        details_->setText(lines.join(QLatin1Char('\n')));
    }
    shownGeneration_ = reading.generation;
    emit shown();
}

QString CoverView::text() const
{
    return details_->text();
}

void CoverView::addImage(const QString &image)
{
    if (paths_.isEmpty())
        return;
    app_->setCoverImage(image);
    app_->addCoverTo(paths_);
}

void CoverView::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!paths_.isEmpty() && urls.size() == 1 && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

bool CoverView::takeDrop(const QMimeData *data)
{
    const QList<QUrl> urls = data->urls();
    if (paths_.isEmpty() || urls.size() != 1 || !urls.constFirst().isLocalFile())
        return false;
    addImage(urls.constFirst().toLocalFile());
    return true;
}

void CoverView::dropEvent(QDropEvent *event)
{
    if (takeDrop(event->mimeData()))
        event->acceptProposedAction();
}
