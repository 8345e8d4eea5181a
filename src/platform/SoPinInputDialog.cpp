// SPDX-License-Identifier: BSD-3-Clause
#include "SoPinInputDialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// n * unit / div, rounded to the nearest integer.
int mulDiv(int n, int unit, int div)
{
    return (n * unit + div / 2) / div;
}
} // namespace

SoPinInputDialog::SoPinInputDialog(QWidget* owner, const QString& caption, const QString& prompt,
                                   const QString& initial, const QString& okText, const QString& cancelText)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("SoPinInputDialog"));
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Dialog units: X is the average width of the 52 Latin letters, Y their height.
    const QFontMetrics fm(font());
    const int x =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int y = fm.height();

    auto* label = new QLabel(prompt, this);
    label->setObjectName(QStringLiteral("Prompt"));
    label->setWordWrap(true);
    const int maxWidth = mulDiv(164, x, 4);
    label->setMaximumWidth(maxWidth);
    label->move(mulDiv(8, x, 4), mulDiv(8, y, 8));
    // As wide as the prompt needs, up to the limit: a wrapping label left to size itself breaks even
    // a short prompt ("SO / PIN:"). The spare pixels absorb fractional glyph advances.
    int needed = 0;
    for (const QString& line : prompt.split(QLatin1Char('\n')))
        needed = qMax(needed, label->fontMetrics().horizontalAdvance(line));
    const int width = qMin(maxWidth, needed + 2 * label->margin() + 2);
    label->resize(width, label->heightForWidth(width));

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit"));
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setMaxLength(255);
    m_edit->setText(initial);
    m_edit->selectAll();
    m_edit->setGeometry(label->x(), label->geometry().bottom() + 1 + 5, mulDiv(200, x, 4),
                        m_edit->sizeHint().height());

    const int buttonTop = m_edit->geometry().bottom() + 1 + 15;
    const QSize buttonSize(mulDiv(50, x, 4), mulDiv(14, y, 8));
    auto* ok = new QPushButton(okText, this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setGeometry(QRect(QPoint(mulDiv(38, x, 4), buttonTop), buttonSize));
    auto* cancel = new QPushButton(cancelText, this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    cancel->setGeometry(QRect(QPoint(mulDiv(122, x, 4), buttonTop), buttonSize));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(mulDiv(220, x, 4), ok->geometry().bottom() + 1 + 13);
    m_edit->setFocus();
    if (owner) {
        const QWidget* top = owner->window();
        move(top->geometry().center() - rect().center());
    }
}

SoPinInputDialog::~SoPinInputDialog()
{
    // Leave no copy of the PIN in the field's buffer.
    m_edit->setText(QString(m_edit->text().size(), QLatin1Char(' ')));
    m_edit->clear();
}

QString SoPinInputDialog::text() const
{
    return m_edit->text();
}
