#include "TNavigator.h"

#include "app/TNavigationPages.h"
#include "app/TProgramState.h"
#include "finger/TSkfBinding.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

namespace {
enum Page
{
    KeyInfoPage = 0,
    UserPinPage = 1,
    KeyLabelPage = 2,
    LoginPage = 3,
    CertPage = 4,
    SystemPage = 5,
    AboutPage = 6,
    InitPage = 7,
    SoPinPage = 8,
    UnlockPage = 9,
    IsoPage = 10,
    FingerPage = 11,
    SoLoginPage = 13,
    RemoteUnlockPage = 14,
};
} // namespace

TNavigator::TNavigator(TProgramState& state, TNavigationPages& pages) : m_state(state), m_pages(pages) {}

int TNavigator::level(const QTreeWidgetItem* node)
{
    int level = 0;
    for (const QTreeWidgetItem* p = node->parent(); p; p = p->parent())
        ++level;
    return level;
}

int TNavigator::indexAmongSiblings(const QTreeWidgetItem* node)
{
    if (const QTreeWidgetItem* parent = node->parent())
        return parent->indexOfChild(const_cast<QTreeWidgetItem*>(node));
    const QTreeWidget* tree = node->treeWidget();
    return tree ? tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(node)) : 0;
}

bool TNavigator::fingerFlag() const
{
    return m_state.skf && m_state.skf->fingerFlag();
}

QString TNavigator::tokenLabel(int token) const
{
    if (token < 0 || token >= int(m_state.TokenInfoTable.size()))
        return QString();
    return m_state.TokenInfoTable[size_t(token)].Label;
}

void TNavigator::select(const QTreeWidgetItem* node)
{
    if (!node)
        return;
    const int lvl = level(node);
    const int index = indexAmongSiblings(node);

    // The token node: the node itself on levels 0 and 1, its level-1 ancestor deeper down.
    const QTreeWidgetItem* tokenNode = node;
    while (level(tokenNode) > 1)
        tokenNode = tokenNode->parent();
    m_state.currentToken = indexAmongSiblings(tokenNode);
    const int token = m_state.currentToken;
    const bool knownToken = token >= 0 && token < int(m_state.loginState.size());

    switch (lvl) {
    case 0:
        if (index == 1) {
            m_pages.showPage(SystemPage);
            m_pages.buildSystemReport();
        } else if (index == 2) {
            m_pages.showPage(AboutPage);
        }
        break;
    case 1:
        m_pages.showPage(KeyInfoPage);
        m_state.currentToken = index;
        if (knownToken)
            m_pages.matchSkfApplication(m_state.TokenInfoTable[size_t(token)].SerialNumber);
        m_pages.showKeyInfo(index);
        break;
    case 2:
        switch (index) {
        case 0:
            m_pages.showPage(UserPinPage);
            break;
        case 1:
            m_pages.setKeyLabel(tokenLabel(token).trimmed());
            m_pages.showPage(KeyLabelPage);
            break;
        case 2:
            if (knownToken && m_state.loginState[size_t(token)] == 2) {
                m_pages.loadCertificates();
                m_pages.showPage(CertPage);
            } else {
                m_pages.prepareLogin(tokenLabel(token));
                m_pages.showPage(LoginPage);
            }
            break;
        case 3:
            // Without fingerprints this position holds the remote unlock node.
            if (fingerFlag()) {
                m_pages.showUserFingerNode();
                m_pages.showPage(FingerPage);
            } else {
                m_pages.showPage(RemoteUnlockPage);
            }
            break;
        case 4:
            m_pages.showPage(RemoteUnlockPage);
            break;
        case 5:
            m_pages.showPage(InitPage);
            m_pages.fillInitPage(false);
            break;
        default:
            break;
        }
        break;
    case 3:
        switch (index) {
        case 0:
            m_pages.showPage(InitPage);
            m_pages.fillInitPage(true);
            break;
        case 1:
            m_pages.showPage(SoPinPage);
            break;
        case 2:
            m_pages.showPage(UnlockPage);
            break;
        case 3:
            m_pages.showPage(IsoPage);
            break;
        case 4:
            m_pages.showPage(SoLoginPage);
            m_pages.prepareSoLogin();
            break;
        default:
            break;
        }
        break;
    case 4:
        switch (index) {
        case 0:
            m_pages.showPage(SoLoginPage);
            m_pages.prepareSoLogin();
            break;
        case 1:
            m_pages.showPage(FingerPage);
            m_pages.showFingerPageFor(1);
            break;
        case 2:
            m_pages.showPage(FingerPage);
            m_pages.showFingerPageFor(0);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
}
