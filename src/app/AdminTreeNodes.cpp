// SPDX-License-Identifier: BSD-3-Clause
#include "AdminTreeNodes.h"

#include "app/PageId.h"
#include "app/TNavigator.h"
#include "app/TreeImages.h"
#include "i18n/ResStrs.h"

#include <QTreeWidgetItem>

namespace {
constexpr int ImgAdministration = 12;
constexpr int ImgInit = 13;
constexpr int ImgSoPin = 4;
constexpr int ImgUnlock = 21;
constexpr int ImgIso = 20;
constexpr int ImgSoLogin = 19; // an administrator
constexpr int ImgUserFinger = 18;
constexpr int ImgAdminFinger = 18;

QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const char* key, int image, PageId page)
{
    auto* node = new QTreeWidgetItem(parent, QStringList(ResStrs::text(key)));
    TreeImages::setImage(node, image);
    node->setData(0, TNavigator::PageRole, QVariant::fromValue(page));
    return node;
}
} // namespace

namespace AdminTreeNodes {

void addTo(QTreeWidgetItem* token, bool fingers)
{
    // The administration node itself opens the initialization page with its fingerprint settings.
    QTreeWidgetItem* admin = addNode(token, "Admin_Tree_Administration", ImgAdministration, PageId::Init);
    addNode(admin, "Admin_btn_Init", ImgInit, PageId::Init)
        ->setData(0, TNavigator::HideFingerSettingsRole, true);
    addNode(admin, "Admin_btn_SOPIN", ImgSoPin, PageId::SoPin);
    addNode(admin, "Admin_Tree_UnlockUserPin", ImgUnlock, PageId::Unlock);
    addNode(admin, "Admin_btn_DownISO", ImgIso, PageId::Iso);
    QTreeWidgetItem* login = addNode(admin, "F_Admin_Longin", ImgSoLogin, PageId::SoLogin);
    addNode(login, "F_Admin_Longin", ImgSoLogin, PageId::SoLogin);
    // A token without a sensor has no fingers to manage.
    if (!fingers)
        return;
    addNode(login, "F_User_Finger", ImgUserFinger, PageId::Finger)->setData(0, TNavigator::PinTypeRole, 1u);
    addNode(login, "Admin_Tree_AdminFinger", ImgAdminFinger, PageId::Finger)
        ->setData(0, TNavigator::PinTypeRole, 0u);
}

} // namespace AdminTreeNodes
