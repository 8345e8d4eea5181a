#include "VFingerSensor.h"

#include "VToken.h"

namespace VFingerSensor {

bool verifyFinger(VToken& token, int pinType)
{
    // No finger is ever on the sensor until fingerprints are kept in the token's extensions.
    Q_UNUSED(token);
    Q_UNUSED(pinType);
    return false;
}

} // namespace VFingerSensor
