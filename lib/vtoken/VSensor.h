// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

#include <functional>
#include <optional>

// The fingerprint sensor of one virtual token: fingers placed on it (by tokenctl or a test) wait in
// a small file beside the token, each taken by one capture. The file is apart from the token's own,
// so placing a finger never waits for a token that is busy verifying one.
class VSensor
{
public:
    // A finger nobody has enrolled.
    static constexpr int UnknownFinger = 0;
    static constexpr int MaxQueued = 64;

    VSensor(const QString& storeFolder, const QString& serial);

    QString path() const { return m_path; }
    // Queues one touch of finger `finger` (1..10, or UnknownFinger); false when it cannot be written.
    bool place(int finger);
    // In automatic mode a finger comes every half second by itself (see VFingerCapture).
    bool setAutomatic(bool on);
    bool automatic() const;
    // Takes the oldest touch waiting, if any.
    std::optional<int> take();
    // Drops every waiting touch.
    bool clear();

private:
    struct State;
    bool change(const std::function<bool(State&)>& edit);
    State read() const;

    QString m_path;
};
