// SPDX-License-Identifier: BSD-3-Clause
#include "TElidedToolTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

TElidedToolTips::TElidedToolTips(QAbstractItemView* view) : QObject(view), m_view(view) {}

void TElidedToolTips::install(QAbstractItemView* view)
{
    if (!view || view->findChild<TElidedToolTips*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    view->viewport()->installEventFilter(new TElidedToolTips(view));
}

QString TElidedToolTips::cutText(const QAbstractItemView* view, const QModelIndex& index)
{
    if (!view || !index.isValid())
        return QString();
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return QString();
    const QRect rect = view->visualRect(index);
    // What the item may use: its own cell, as far as the viewport shows it.
    const int shown = qMin(rect.right(), view->viewport()->width() - 1) - rect.left() + 1;
    return view->sizeHintForIndex(index).width() > shown ? text : QString();
}

bool TElidedToolTips::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip || watched != m_view->viewport())
        return QObject::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = m_view->indexAt(help->pos());
    if (index.isValid() && !index.data(Qt::ToolTipRole).toString().isEmpty())
        return QObject::eventFilter(watched, event);
    const QString text = cutText(m_view, index);
    if (text.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), text, m_view->viewport(), m_view->visualRect(index));
    return true;
}
