// SPDX-License-Identifier: BSD-3-Clause
#pragma once

class VToken;

// The fingerprint sensor of a virtual token, as the token manager library sees it.
namespace VFingerSensor {

// An empty-PIN login on a token with a sensor: true when the finger on the sensor matches one enrolled
// for the PIN type (0 SO, 1 user). May change the token's extensions (a placed finger is used up);
// the caller writes the token back.
bool verifyFinger(VToken& token, int pinType);

} // namespace VFingerSensor
