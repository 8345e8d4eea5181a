// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QMap>

class VToken;

// The fingerprints a virtual token holds, per PIN type (0 administrator, 1 user), kept in the
// token's extensions. A token that never had any reads as the defaults of a fresh initialization.
class VFingerprints
{
public:
    static constexpr int MaxFinger = 10;
    static constexpr int DefaultRetries = 10;
    static constexpr int DefaultLevel = 1;
    static constexpr int MaxRetries = 15;
    static constexpr int MaxLevel = 3;

    struct Owner
    {
        int maxRetries = DefaultRetries;
        int retriesLeft = DefaultRetries;
        int level = DefaultLevel; // kept and reported; the virtual sensor matches exactly at every level
        QMap<int, int> fingers;   // finger number 1..10 -> the finger that was placed to enroll it
        bool blocked() const { return retriesLeft <= 0; }
        // Finger number enrolled with `placed`, or 0.
        int numberOf(int placed) const;
    };

    Owner admin;
    Owner user;

    static bool validPinType(int pinType) { return pinType == 0 || pinType == 1; }
    // `pinType` must be valid.
    Owner& owner(int pinType) { return pinType == 0 ? admin : user; }
    const Owner& owner(int pinType) const { return pinType == 0 ? admin : user; }

    static VFingerprints read(const VToken& token);
    void write(VToken& token) const;

    // One verification attempt with the finger `placed`: a match restores the retries and gives the
    // finger number; anything else costs one retry and gives 0. A blocked owner matches nothing.
    int verify(int pinType, int placed);
};
