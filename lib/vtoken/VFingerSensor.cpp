#include "VFingerSensor.h"

#include "VFingerCapture.h"
#include "VFingerprints.h"
#include "VToken.h"
#include "VTokenStore.h"

namespace VFingerSensor {

bool verifyFinger(VToken& token, int pinType)
{
    // How long a login waits for a finger; below the store's lock wait, since the token stays locked.
    constexpr int WaitMs = 8000;
    if (!VFingerprints::validPinType(pinType))
        return false;
    VFingerprints f = VFingerprints::read(token);
    const VFingerprints::Owner& o = f.owner(pinType);
    if (o.blocked() || o.fingers.isEmpty())
        return false;
    VFingerCapture capture(VTokenStore::defaultFolder(), token.serial);
    const std::optional<int> placed = capture.wait(o.fingers.first(), WaitMs);
    if (!placed)
        return false; // nobody touched the sensor: costs no retry
    const bool match = f.verify(pinType, *placed) != 0;
    f.write(token);
    return match;
}

} // namespace VFingerSensor
