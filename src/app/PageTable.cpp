// SPDX-License-Identifier: BSD-3-Clause
#include "PageTable.h"

#include "app/TAboutPage.h"
#include "app/TKeyInfoPage.h"
#include "certs/TCertPage.h"
#include "finger/TFingerPage.h"
#include "finger/TFingerPicturesPage.h"
#include "pinadmin/TInitPage.h"
#include "pinadmin/TIsoPage.h"
#include "pinadmin/TKeyLabelPage.h"
#include "pinadmin/TLoginPage.h"
#include "pinadmin/TRemoteUnlockPage.h"
#include "pinadmin/TSoLoginPage.h"
#include "pinadmin/TSoPinPage.h"
#include "pinadmin/TUnlockPage.h"
#include "pinadmin/TUserPinPage.h"
#include "sysinfo/TSystemInfoPage.h"

namespace PageTable {
namespace {

template <typename Page> TPage* make(TProgramState& state)
{
    return new Page(state);
}

constexpr std::array<Entry, PageCount> table{{
    {PageId::KeyInfo, &make<TKeyInfoPage>},
    {PageId::UserPin, &make<TUserPinPage>},
    {PageId::KeyLabel, &make<TKeyLabelPage>},
    {PageId::Login, &make<TLoginPage>},
    {PageId::Cert, &make<TCertPage>},
    {PageId::System, &make<TSystemInfoPage>},
    {PageId::About, &make<TAboutPage>},
    {PageId::Init, &make<TInitPage>},
    {PageId::SoPin, &make<TSoPinPage>},
    {PageId::Unlock, &make<TUnlockPage>},
    {PageId::Iso, &make<TIsoPage>},
    {PageId::Finger, &make<TFingerPage>},
    {PageId::FingerPictures, &make<TFingerPicturesPage>},
    {PageId::SoLogin, &make<TSoLoginPage>},
    {PageId::RemoteUnlock, &make<TRemoteUnlockPage>},
}};

constexpr bool everyPageOnce()
{
    for (size_t i = 0; i < table.size(); ++i)
        if (int(table[i].id) != int(i))
            return false;
    return true;
}
static_assert(everyPageOnce(), "the table lists every page once, in the order of PageId");

} // namespace

const std::array<Entry, PageCount>& entries()
{
    return table;
}

} // namespace PageTable
