// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QIcon>

class QTreeWidgetItem;

// The certificate tree's image list, drawn here: 1 a closed box (container or certificate node),
// 2 the same box open, 3 a certificate, 4 a public key, 5 a private key. Index 0 stays empty.
namespace CertTreeImages {

constexpr int Closed = 1;
constexpr int Open = 2;
constexpr int Certificate = 3;
constexpr int PublicKey = 4;
constexpr int PrivateKey = 5;
constexpr int Count = 6;

// A badge drawn over a certificate node's picture when its certificate deserves a warning.
enum class Marker
{
    None,
    Expiring,   // an amber clock
    Expired,    // a red cross
    NotYetValid // a blue hourglass
};

// Picture `index`; a null icon outside the list.
QIcon icon(int index);

// Picture `index` with `marker`'s badge in its lower right corner.
QIcon markedIcon(int index, Marker marker);

// Gives `item` picture `index` and remembers the index; a marker the item carries stays on it.
void setImage(QTreeWidgetItem* item, int index);
// Puts `marker` on the item's picture (None takes it off).
void setMarker(QTreeWidgetItem* item, Marker marker);
Marker marker(const QTreeWidgetItem* item);
// The index given by setImage, -1 when none.
int imageIndex(const QTreeWidgetItem* item);

} // namespace CertTreeImages
