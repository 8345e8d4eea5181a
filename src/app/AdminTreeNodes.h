// SPDX-License-Identifier: BSD-3-Clause
#pragma once

class QTreeWidgetItem;

// The administration subtree that administrator mode adds under each token: the pages no ordinary
// node leads to, and below the administrator login its fingerprint nodes.
namespace AdminTreeNodes {

// `fingers`: the token has a sensor the fingerprint side serves, so its fingerprint nodes are added.
void addTo(QTreeWidgetItem* token, bool fingers);

} // namespace AdminTreeNodes
