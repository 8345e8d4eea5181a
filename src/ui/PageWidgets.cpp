// SPDX-License-Identifier: BSD-3-Clause
#include "PageWidgets.h"

#include "ui/TActionButton.h"
#include "ui/TElidedToolTips.h"
#include "ui/TMaskedEditStyle.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpacerItem>
#include <QTableWidget>
#include <QVBoxLayout>

namespace PageWidgets {

QAction* action(QObject* page, const char* name)
{
    auto* a = new QAction(page);
    a->setObjectName(QLatin1String(name));
    return a;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QLabel* unsupportedHint(QGridLayout* form, QWidget* parent, const char* name, const QString& text)
{
    QLabel* l = label(parent, name, text);
    form->addWidget(l, form->rowCount(), 0, 1, 3);
    l->setWordWrap(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, QColor(0xB0, 0x30, 0x20));
    l->setPalette(palette);
    l->hide();
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, int maxLength, bool masked)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(maxLength);
    if (masked) {
        e->setEchoMode(QLineEdit::Password);
        e->setStyle(TMaskedEditStyle::instance());
    }
    return e;
}

TActionButton* button(QWidget* parent, const char* name, QAction* action)
{
    auto* b = new TActionButton(action, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QGroupBox* group(QWidget* parent, const char* name)
{
    auto* g = new QGroupBox(parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

QTableWidget* reportList(QWidget* parent, const char* name, int width1, int width2)
{
    auto* list = new QTableWidget(0, 2, parent);
    list->setObjectName(QLatin1String(name));
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    // Compact report rows as high as their text, not the style's taller default section.
    list->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->setWordWrap(false);
    list->horizontalHeader()->setHighlightSections(false);
    list->setColumnWidth(0, width1);
    list->setColumnWidth(1, width2);
    TElidedToolTips::install(list);
    return list;
}

QLabel* nameLabel(QWidget* parent, const char* name)
{
    auto* l = label(parent, name);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(14);
    font.setBold(true);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(palette);
    return l;
}

QGridLayout* formIn(QWidget* page, QGroupBox* group)
{
    auto* outer = new QVBoxLayout(page);
    outer->addWidget(group);
    auto* form = new QGridLayout(group);
    form->setColumnStretch(0, 1);
    form->setColumnMinimumWidth(1, 180);
    form->setColumnStretch(3, 1);
    form->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0);
    form->setVerticalSpacing(12);
    return form;
}

void addRow(QGridLayout* form, QWidget* prompt, QWidget* field, QWidget* extra)
{
    const int row = form->rowCount();
    if (prompt)
        form->addWidget(prompt, row, 0, Qt::AlignRight | Qt::AlignVCenter);
    if (field)
        form->addWidget(field, row, 1);
    if (extra)
        form->addWidget(extra, row, 2);
}

void addButtons(QGridLayout* form, std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* b : buttons)
        row->addWidget(b);
    const int at = form->rowCount();
    form->addLayout(row, at, 0, 1, 3);
    form->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), at + 1, 0);
}

void clearMaskedFields(QWidget* root)
{
    if (!root)
        return;
    const auto edits = root->findChildren<QLineEdit*>();
    for (QLineEdit* e : edits) {
        if (e->echoMode() != QLineEdit::Normal)
            e->clear();
    }
}

} // namespace PageWidgets
