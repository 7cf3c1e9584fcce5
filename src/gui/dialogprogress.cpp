// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogprogress.h"

#include "support/dispatch.h"

#include <QProgressDialog>

DialogProgress::DialogProgress(QWidget *parent, QString objectName, QString windowTitle, WindowPort *port, Label label)
    : parent_(parent), objectName_(std::move(objectName)), windowTitle_(std::move(windowTitle)), port_(port),
      label_(std::move(label))
{
}

void DialogProgress::beginProgress(const QString &title)
{
    auto *dialog = new QProgressDialog(title, QString(), 0, 0, parent_);
    dialog->setObjectName(objectName_);
    dialog->setWindowTitle(windowTitle_);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setCancelButton(nullptr);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->show();
    dialog_ = dialog;
}

void DialogProgress::setProgress(ProgressDetail detail)
{
    // Counts come from the worker; the dialog is touched on the main loop only,
    // and only while it is still there.
    dispatchAsyncMain([dialog = dialog_, label = label_, detail] {
        if (!dialog || detail.position < 0)
            return;
        dialog->setMaximum(detail.total);
        dialog->setValue(detail.position);
        if (label)
            dialog->setLabelText(label(detail.position, detail.total));
    });
}

void DialogProgress::endProgress()
{
    if (dialog_)
        dialog_->deleteLater();
    dialog_.clear();
}
