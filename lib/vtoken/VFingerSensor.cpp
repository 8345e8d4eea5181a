// SPDX-License-Identifier: BSD-3-Clause
#include "VFingerSensor.h"

#include "VFingerCapture.h"
#include "VFingerprints.h"
#include "VTimings.h"
#include "VToken.h"
#include "VTokenStore.h"

namespace VFingerSensor {

bool verifyFinger(VToken& token, int pinType)
{
    if (!VFingerprints::validPinType(pinType))
        return false;
    VFingerprints f = VFingerprints::read(token);
    const VFingerprints::Owner& o = f.owner(pinType);
    if (o.blocked() || o.fingers.isEmpty())
        return false;

    VFingerCapture capture(VTokenStore::defaultFolder(), token.serial);
    const std::optional<int> placed = capture.wait(o.fingers.first(), VTimings::current().loginFingerWait);
    if (!placed)
        return false; // nobody touched the sensor: costs no retry
    const bool match = f.verify(pinType, *placed) != 0;
    f.write(token);
    return match;
}

} // namespace VFingerSensor
