#include "VFingerSensor.h"

#include "VFingerCapture.h"
#include "VFingerprints.h"
#include "VTimings.h"
#include "VToken.h"
#include "VTokenStore.h"

#include <QCborMap>
#include <QElapsedTimer>

#include <mutex>

namespace {
// A login that changes the token runs twice: first on a snapshot, then again under the token's lock.
// The finger taken the first time is kept for the second, so one touch is one attempt.
struct Taken
{
    QString serial;
    int pinType = -1;
    int placed = 0;
    QElapsedTimer at;
};
constexpr int KeepTakenMs = 2000;
std::mutex takenMutex;
Taken taken;
} // namespace

namespace VFingerSensor {

bool verifyFinger(VToken& token, int pinType)
{
    if (!VFingerprints::validPinType(pinType))
        return false;
    VFingerprints f = VFingerprints::read(token);
    const VFingerprints::Owner& o = f.owner(pinType);
    if (o.blocked() || o.fingers.isEmpty())
        return false;

    std::optional<int> placed;
    bool again = false;
    {
        std::lock_guard lock(takenMutex);
        if (taken.serial == token.serial && taken.pinType == pinType && taken.at.isValid() &&
            taken.at.elapsed() < KeepTakenMs) {
            placed = taken.placed;
            again = true;
        }
        taken = Taken();
    }
    if (!again) {
        VFingerCapture capture(VTokenStore::defaultFolder(), token.serial);
        placed = capture.wait(o.fingers.first(), VTimings::current().loginFingerWait);
    }
    if (!placed)
        return false; // nobody touched the sensor: costs no retry
    const QCborMap before = token.extensions;
    const bool match = f.verify(pinType, *placed) != 0;
    f.write(token);
    if (!again && token.extensions != before) {
        std::lock_guard lock(takenMutex);
        taken.serial = token.serial;
        taken.pinType = pinType;
        taken.placed = *placed;
        taken.at.start();
    }
    return match;
}

} // namespace VFingerSensor
