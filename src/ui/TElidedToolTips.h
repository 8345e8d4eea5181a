// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QObject>
#include <QString>

class QAbstractItemView;
class QModelIndex;

// Shows the whole text of an item as its tooltip when the view cuts it short, so a long text in a
// narrow column can always be read. Items with a tooltip of their own keep it.
class TElidedToolTips : public QObject
{
    Q_OBJECT
public:
    // Watches `view`; the watcher belongs to the view.
    static void install(QAbstractItemView* view);
    // The item's whole text when the view shows less of it than it needs, otherwise empty.
    static QString cutText(const QAbstractItemView* view, const QModelIndex& index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TElidedToolTips(QAbstractItemView* view);
    QAbstractItemView* m_view;
};
