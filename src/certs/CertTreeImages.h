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

// Picture `index`; a null icon outside the list.
QIcon icon(int index);

// Gives `item` picture `index` and remembers the index.
void setImage(QTreeWidgetItem* item, int index);
// The index given by setImage, -1 when none.
int imageIndex(const QTreeWidgetItem* item);

} // namespace CertTreeImages
