// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QSharedMemory>
#include <QString>
#include <QtGlobal>

#include <functional>

// One instance per user: a named 4-byte shared memory slot holds the non-zero id (the process id) of
// the instance that runs. A later start finds the id, asks that instance to restore its window over
// its local socket, and ends. Shared memory outlives a crashed process here, so a slot whose
// instance no longer answers counts as empty and is taken over.
class HollinRunOnce
{
public:
    static constexpr const char* SlotName = "{TrevsigMgr-94AD-4211-B821-1CD5AC3F08E1}";
    // The message that asks the running instance to come to the front.
    static constexpr const char* RestoreCommand = "restore";

    // Opens or creates the slot (writing 0 into a new one). Without a slot the tool runs unprotected.
    HollinRunOnce();
    // Releases the slot.
    ~HollinRunOnce();
    HollinRunOnce(const HollinRunOnce&) = delete;
    HollinRunOnce& operator=(const HollinRunOnce&) = delete;

    bool hasSlot() const { return m_memory.isAttached(); }
    // The id in the slot, 0 without a slot.
    quint32 slotValue() const;

    // True when another instance runs and was asked to restore itself; false when this instance is
    // to run, having written `ownId` into the slot. `restore` delivers the restore request to the
    // instance with a given id and tells whether it answered.
    bool testAndClaim(quint32 ownId, const std::function<bool(quint32 id)>& restore);

    // Whether a process with this id is still there.
    static bool processAlive(quint32 id);

    // The slot's key file: in the user's runtime directory, named after the slot.
    static QString nativeKey();

private:
    QSharedMemory m_memory;
};
