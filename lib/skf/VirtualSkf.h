// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "VFingerCapture.h"
#include "VFingerprints.h"
#include "VToken.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The SKF device library on the virtual tokens: every token with a fingerprint sensor is a device
// named after its serial number, with one fingerprint application. PINs and their tries are the
// token's own; fingerprints live in the token beside them. Handles stay valid for the whole process
// (the contract has no way to close them) and are the same for the same token each time.
class VirtualSkf
{
public:
    static const char* const ApplicationName;
    // Samples one enrollment takes; the progress reads 100 when the last is in.
    static constexpr int SamplesPerEnrollment = 3;

    static VirtualSkf& instance();

    // The device name a token with serial `serial` has.
    static QByteArray deviceName(const QString& serial);

    uint32_t enumDev(bool presentOnly, char* list, uint32_t* size);
    uint32_t connectDev(const char* name, DEVHANDLE* device);
    uint32_t enumApplication(DEVHANDLE device, char* list, uint32_t* size);
    uint32_t openApplication(DEVHANDLE device, const char* name, HAPPLICATION* application);
    uint32_t verifyPin(HAPPLICATION application, uint32_t pinType, const char* pin, uint32_t* retries);
    uint32_t initializeFinger(HAPPLICATION application, uint32_t userMax, uint32_t adminMax,
                              uint32_t userLevel, uint32_t adminLevel);
    uint32_t getFingerInfo(HAPPLICATION application, uint32_t pinType, uint32_t* a, uint32_t* b, uint32_t* c,
                           uint32_t* retries, uint8_t* ids, uint32_t* idCount);
    uint32_t enrollFingerInit(HAPPLICATION application, uint32_t pinType, uint32_t finger);
    uint32_t enrollFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger, uint32_t* progress);
    uint32_t verifyFingerInit(HAPPLICATION application, uint32_t pinType);
    uint32_t testFinger(HAPPLICATION application, uint32_t pinType, uint32_t* finger);
    uint32_t deleteFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger);
    uint32_t unblockFinger(HAPPLICATION application, uint32_t pinType);
    uint32_t clearSecureState(HAPPLICATION application);

private:
    struct Enrollment
    {
        uint32_t pinType = 0;
        uint32_t finger = 0;
        int samples = 0;
        int placed = VSensor::UnknownFinger;
        std::unique_ptr<VFingerCapture> capture;
    };
    struct Verification
    {
        uint32_t pinType = 0;
        std::unique_ptr<VFingerCapture> capture;
    };
    struct Application
    {
        QString serial;
        bool admin = false; // SO PIN verified
        bool user = false;  // user PIN verified
        std::unique_ptr<Enrollment> enrollment;
        std::unique_ptr<Verification> verification;
    };

    // Runs `op` on the application `handle` names, under the library's lock.
    template <typename F> uint32_t onApplication(HAPPLICATION handle, F&& op);
    // A read-only look at the application's token; SAR_OK when it is there, plugged in and has a
    // fingerprint application.
    uint32_t look(const Application& app, VToken* token) const;
    // Like look(), giving the fingerprints of `pinType` (which must be valid).
    uint32_t lookOwner(const Application& app, uint32_t pinType, VFingerprints::Owner* owner) const;
    // Like look(), and also SAR_USER_NOT_LOGGED_IN unless the login allows changing `pinType`'s fingers.
    uint32_t permitted(const Application& app, uint32_t pinType, VToken* token) const;
    // Runs `change` on the application's token under its lock and writes the token back when it
    // returns true; the status `change` leaves in `status` is the result.
    using Change = std::function<bool(VToken& token, uint32_t& status)>;
    uint32_t update(const Application& app, const Change& change);
    // The same for the token's fingerprints.
    using FingerChange = std::function<bool(VFingerprints& fingers, uint32_t& status)>;
    uint32_t changeFingers(const Application& app, const FingerChange& change);
    static uint32_t fillList(const QList<QByteArray>& names, char* list, uint32_t* size);

    std::mutex m_mutex;
    std::vector<QString> m_devices;                           // serials, by device handle
    std::vector<std::unique_ptr<Application>> m_applications; // by application handle
};
