#pragma once

class QTreeWidgetItem;

// The administration subtree that administrator mode adds under each token: the pages no ordinary
// node leads to, and below the administrator login its fingerprint nodes.
namespace AdminTreeNodes {

void addTo(QTreeWidgetItem* token);

} // namespace AdminTreeNodes
