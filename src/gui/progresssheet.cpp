// SPDX-License-Identifier: GPL-3.0-or-later
#include "progresssheet.h"

#include "app/appdelegate.h"
#include "binding.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QVBoxLayout>

ProgressSheet::ProgressSheet(AppDelegate *app, QWidget *window)
    : Sheet(window, QStringLiteral("progressPanel")), title_(new QLabel(this)), detail_(new QLabel(this)), bar_(new QProgressBar(this))
{
    setWindowTitle(tr("Working"));
    setMinimumWidth(440);

    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    detail_->setTextFormat(Qt::PlainText);
    // Long track titles must not widen the sheet.
    detail_->setMinimumWidth(400);
    detail_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar_->setTextVisible(false);

    Binding::bind(title_, "text", app, "currentProgressTitle");
    Binding::observe(detail_, app, "currentProgressDetail",
                     [this](const QVariant &value) { showDetail(value.toString()); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(bar_);
    layout->addWidget(detail_);
}

void ProgressSheet::open()
{
    bar_->setRange(0, 0);
    QDialog::open();
}

void ProgressSheet::showDetail(const QString &detail)
{
    detail_->setText(detail);
    static const QRegularExpression count(QStringLiteral("^(\\d+)/(\\d+)"));
    const QRegularExpressionMatch match = count.match(detail);
    if (match.hasMatch()) {
        const int total = match.captured(2).toInt();
        if (total > 0) {
            bar_->setRange(0, total);
            bar_->setValue(qMin(match.captured(1).toInt(), total));
            return;
        }
    }
    bar_->setRange(0, 0);
}
