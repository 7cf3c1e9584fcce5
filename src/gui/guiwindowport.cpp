// SPDX-License-Identifier: GPL-3.0-or-later
#include "guiwindowport.h"

#include "helpsheet.h"
#include "mainwindow.h"
#include "progresssheet.h"
#include "reviewsheet.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

GuiWindowPort::GuiWindowPort(MainWindow *window) : window_(window) {}

int GuiWindowPort::alert(const QString &title, const QString &message, const QString &defaultButton,
                         const QString &alternateButton, const QString &otherButton)
{
    QMessageBox box(window_);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setText(title);
    box.setInformativeText(message);
    QAbstractButton *primary = box.addButton(defaultButton.isEmpty() ? QStringLiteral("OK") : defaultButton,
                                             QMessageBox::AcceptRole);
    QAbstractButton *alternate =
        alternateButton.isEmpty() ? nullptr : box.addButton(alternateButton, QMessageBox::RejectRole);
    QAbstractButton *other = otherButton.isEmpty() ? nullptr : box.addButton(otherButton, QMessageBox::ActionRole);
    box.setDefaultButton(qobject_cast<QPushButton *>(primary));
    box.setEscapeButton(alternate ? alternate : primary);
    // An alert is for the person to see now: the application comes to the
    // front with it, out of the Dock or from behind other windows.
    if (window_) {
        if (window_->isMinimized())
            window_->showNormal();
        window_->raise();
        window_->activateWindow();
    }
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (clicked && clicked == alternate)
        return 0;
    if (clicked && clicked == other)
        return -1;
    return 1;
}

std::optional<QString> GuiWindowPort::chooseFolder(const QString &prompt)
{
    const QString path = QFileDialog::getExistingDirectory(window_, prompt);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> GuiWindowPort::chooseSaveFile(const QString &suggestedName, const QString &fileType)
{
    QFileDialog dialog(window_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(fileType);
    dialog.setNameFilter(QStringLiteral("%1 (*.%2)").arg(fileType.toUpper(), fileType));
    dialog.selectFile(suggestedName + QLatin1Char('.') + fileType);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void GuiWindowPort::beginReview()
{
    if (window_)
        window_->reviewSheet()->open();
}

void GuiWindowPort::endReview()
{
    if (window_)
        window_->reviewSheet()->dismiss();
}

void GuiWindowPort::beginProgress()
{
    if (window_)
        window_->progressSheet()->open();
}

void GuiWindowPort::endProgress()
{
    if (window_)
        window_->progressSheet()->dismiss();
}

void GuiWindowPort::openHelp(int position)
{
    if (window_)
        window_->helpSheet()->openFor(position);
}

void GuiWindowPort::closeHelp()
{
    if (window_)
        window_->helpSheet()->dismiss();
}
