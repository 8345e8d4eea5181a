// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QIcon>

class QTreeWidgetItem;

// The navigation tree's image list: the strip res/tree_images.png of the application directory,
// 16 x 16 pictures side by side, picture i at x = 16 * i. A node shows the same picture whether it is
// selected or not, so one index per node is all it keeps.
namespace TreeImages {

constexpr int Size = 16;

// Picture `index` of the strip; a null icon when the strip or that picture is missing.
QIcon icon(int index);

// Gives `item` picture `index` and remembers the index.
void setImage(QTreeWidgetItem* item, int index);
// The index given by setImage, -1 when none.
int imageIndex(const QTreeWidgetItem* item);

} // namespace TreeImages
