// SPDX-License-Identifier: BSD-3-Clause
#include "TNavigator.h"

#include "app/TNavigationPages.h"
#include "ui/TProgramState.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

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
    return m_state.sessions.fingerFlag();
}

QString TNavigator::tokenLabel(int token) const
{
    return m_state.tokenInfo(token).Label;
}

std::optional<TNavigator::Target> TNavigator::targetAt(int level, int index, bool fingerFlag)
{
    using P = PageId;
    static const P roots[] = {P::KeyInfo, P::System, P::About};
    static const P functions[] = {P::UserPin, P::KeyLabel, P::Cert, P::Finger, P::RemoteUnlock, P::Init};
    static const P administration[] = {P::Init, P::SoPin, P::Unlock, P::Iso, P::SoLogin};
    static const P deep[] = {P::SoLogin, P::Finger, P::Finger};
    auto at = [index](const auto& table) -> std::optional<Target> {
        if (index < 0 || index >= int(std::size(table)))
            return std::nullopt;
        return Target::of(table[index]);
    };
    switch (level) {
    case 0:
        // The token list root opens nothing.
        return index == 0 ? std::nullopt : at(roots);
    case 1:
        return Target::of(P::KeyInfo);
    case 2: {
        auto target = at(functions);
        // Without fingerprints the fourth position holds the remote unlock node.
        if (target && index == 3 && !fingerFlag)
            target->page = P::RemoteUnlock;
        return target;
    }
    case 3: {
        auto target = at(administration);
        if (target && index == 0)
            target->hideFingerSettings = true;
        return target;
    }
    case 4: {
        auto target = at(deep);
        if (target && index > 0)
            target->pinType = index == 1 ? 1u : 0u;
        return target;
    }
    default:
        return std::nullopt;
    }
}

void TNavigator::select(const QTreeWidgetItem* node)
{
    if (!node)
        return;

    // The token node: the node itself on levels 0 and 1, its level-1 ancestor deeper down.
    const QTreeWidgetItem* tokenNode = node;
    while (level(tokenNode) > 1)
        tokenNode = tokenNode->parent();
    m_state.sessions.setCurrent(indexAmongSiblings(tokenNode));

    std::optional<Target> target;
    const QVariant page = node->data(0, PageRole);
    if (page.isValid()) {
        target = Target::of(page.value<PageId>());
        if (const QVariant pinType = node->data(0, PinTypeRole); pinType.isValid())
            target->pinType = pinType.toUInt();
        target->hideFingerSettings = node->data(0, HideFingerSettingsRole).toBool();
    } else {
        target = targetAt(level(node), indexAmongSiblings(node), fingerFlag());
    }
    if (target)
        open(*target, m_state.currentToken());
}

void TNavigator::open(const Target& target, int token)
{
    const TTokenSession* session = m_state.sessions.at(token);
    switch (target.page) {
    case PageId::System:
        m_pages.showPage(PageId::System);
        m_pages.buildSystemReport();
        break;
    case PageId::KeyInfo:
        m_pages.showPage(PageId::KeyInfo);
        if (session)
            m_pages.matchSkfApplication(session->serialNumber());
        m_pages.showKeyInfo(token);
        break;
    case PageId::KeyLabel:
        m_pages.setKeyLabel(tokenLabel(token).trimmed());
        m_pages.showPage(PageId::KeyLabel);
        break;
    case PageId::Cert:
    case PageId::Login:
        // The certificates need the user's login first.
        if (target.page == PageId::Cert && session && session->userLoggedIn()) {
            m_pages.loadCertificates();
            m_pages.showPage(PageId::Cert);
        } else {
            m_pages.prepareLogin(tokenLabel(token));
            m_pages.showPage(PageId::Login);
        }
        break;
    case PageId::Finger:
        if (target.pinType) {
            m_pages.showPage(PageId::Finger);
            m_pages.showFingerPageFor(*target.pinType);
        } else {
            m_pages.showUserFingerNode();
            m_pages.showPage(PageId::Finger);
        }
        break;
    case PageId::Init:
        m_pages.showPage(PageId::Init);
        m_pages.fillInitPage(target.hideFingerSettings);
        break;
    case PageId::SoLogin:
        m_pages.showPage(PageId::SoLogin);
        m_pages.prepareSoLogin();
        break;
    default:
        m_pages.showPage(target.page);
        break;
    }
}
