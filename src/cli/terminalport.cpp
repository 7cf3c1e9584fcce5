// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminalport.h"

#include "support/textutils.h"

#include <QFileInfo>

namespace cli {
namespace {

// Text from tags and file names, escaped so that it cannot drive the terminal.
QString shown(const QString &text)
{
    return text::escapedControls(text, text::ControlStyle::Terminal);
}

} // namespace

TerminalPort::TerminalPort(FILE *in, FILE *err) : in_(in), err_(err) {}

QString TerminalPort::readLine()
{
    char buffer[1024];
    if (!in_ || !std::fgets(buffer, sizeof buffer, in_))
        return {};
    return QString::fromLocal8Bit(buffer).trimmed();
}

int TerminalPort::alert(const QString &title, const QString &message, const QString &defaultButton,
                        const QString &alternateButton, const QString &otherButton)
{
    ++alertCount_;
    lastAlertTitle_ = title;
    clearProgressLine();
    err_ << shown(title) << ": " << text::escapedControls(message, text::ControlStyle::Terminal, true) << '\n';
    QStringList buttons;
    for (const QString &b : {defaultButton, alternateButton, otherButton})
        if (!b.isEmpty())
            buttons << b;
    if (buttons.size() < 2 || !interactive_) {
        err_.flush();
        return 1;
    }
    for (;;) {
        err_ << "[" << buttons.join(QStringLiteral(" / ")) << "] (default " << defaultButton << "): ";
        err_.flush();
        const QString answer = readLine();
        if (answer.isEmpty() || answer.compare(defaultButton, Qt::CaseInsensitive) == 0)
            return 1;
        if (answer.compare(alternateButton, Qt::CaseInsensitive) == 0)
            return 0;
        if (!otherButton.isEmpty() && answer.compare(otherButton, Qt::CaseInsensitive) == 0)
            return -1;
    }
}

bool TerminalPort::confirm(const QString &question)
{
    if (!interactive_)
        return false;
    clearProgressLine();
    err_ << shown(question) << " [y/N] ";
    err_.flush();
    const QString answer = readLine().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

std::optional<QString> TerminalPort::chooseFolder(const QString &prompt)
{
    (void)prompt;
    if (folder_.isEmpty())
        return std::nullopt;
    return QFileInfo(folder_).absoluteFilePath();
}

std::optional<QString> TerminalPort::chooseSaveFile(const QString &suggestedName, const QString &fileType)
{
    (void)suggestedName;
    (void)fileType;
    if (savePath_.isEmpty())
        return std::nullopt;
    return QFileInfo(savePath_).absoluteFilePath();
}

void TerminalPort::beginProgress()
{
    progressOpen_ = true;
    ++progressRuns_;
}

void TerminalPort::progressChanged()
{
    if (!showProgress_ || !progressOpen_ || !progressText_)
        return;
    // Carriage return and erase-line redraw the one line in place.
    err_ << "\r\x1b[2K" << shown(progressText_());
    err_.flush();
    progressLineShown_ = true;
}

void TerminalPort::clearProgressLine()
{
    if (!progressLineShown_)
        return;
    err_ << "\r\x1b[2K";
    err_.flush();
    progressLineShown_ = false;
}

void TerminalPort::endProgress()
{
    progressOpen_ = false;
    clearProgressLine();
}

} // namespace cli
