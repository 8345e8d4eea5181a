// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QMetaType>

// The main window's pages. The page table (PageTable) builds one page for each, in this order.
enum class PageId
{
    KeyInfo,
    UserPin,
    KeyLabel,
    Login,
    Cert,
    System,
    About,
    Init,
    SoPin,
    Unlock,
    Iso,
    Finger,
    FingerPictures,
    SoLogin,
    RemoteUnlock,
};

inline constexpr int PageCount = int(PageId::RemoteUnlock) + 1;

Q_DECLARE_METATYPE(PageId)
