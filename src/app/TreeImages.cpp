// SPDX-License-Identifier: BSD-3-Clause
#include "TreeImages.h"

#include "platform/AppPaths.h"

#include <QPixmap>
#include <QTreeWidgetItem>

namespace {
constexpr int IndexRole = Qt::UserRole + 0x100;
}

QIcon TreeImages::icon(int index)
{
    // Kept per application directory, which tests switch.
    static QString loadedFrom;
    static QPixmap strip;
    const QString path = AppPaths::applicationDir() + QStringLiteral("res/tree_images.png");
    if (path != loadedFrom) {
        strip = QPixmap(path);
        loadedFrom = path;
    }
    if (index < 0 || strip.isNull() || (index + 1) * Size > strip.width())
        return {};
    return QIcon(strip.copy(index * Size, 0, Size, Size));
}

void TreeImages::setImage(QTreeWidgetItem* item, int index)
{
    item->setIcon(0, icon(index));
    item->setData(0, IndexRole, index);
}

int TreeImages::imageIndex(const QTreeWidgetItem* item)
{
    bool ok = false;
    const int index = item->data(0, IndexRole).toInt(&ok);
    return ok ? index : -1;
}
