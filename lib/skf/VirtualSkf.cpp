// SPDX-License-Identifier: BSD-3-Clause
#include "VirtualSkf.h"

#include "VTokenStore.h"

#include <algorithm>
#include <cstring>

const char* const VirtualSkf::ApplicationName = "QX4100_FINGER";

namespace {
// Handles are tagged indexes, so a stray pointer from a caller is refused instead of followed.
constexpr uintptr_t DeviceTag = 0x5D000000;
constexpr uintptr_t ApplicationTag = 0x5A000000;
constexpr uintptr_t IndexMask = 0x00FFFFFF;

void* handleFor(uintptr_t tag, size_t index)
{
    return reinterpret_cast<void*>(tag | uintptr_t(index + 1));
}

// The index a handle of kind `tag` names, or -1.
qsizetype indexOf(uintptr_t tag, const void* handle, size_t count)
{
    const uintptr_t h = reinterpret_cast<uintptr_t>(handle);
    if ((h & ~IndexMask) != tag)
        return -1;
    const uintptr_t n = h & IndexMask;
    return n >= 1 && n <= count ? qsizetype(n - 1) : -1;
}

VTokenStore store()
{
    // Read at every call: the store folder follows the environment the caller runs in.
    return VTokenStore(VTokenStore::defaultFolder());
}

uint32_t fromLoad(VTokenStore::Result r)
{
    switch (r) {
    case VTokenStore::Result::Ok:
    case VTokenStore::Result::Unchanged:
        return SAR_OK;
    case VTokenStore::Result::Missing:
        return SAR_DEVICE_REMOVED;
    default:
        return SAR_FAIL;
    }
}

// What every application call needs of the token before it looks at fingerprints.
uint32_t usable(const VToken& t)
{
    if (!t.pluggedIn)
        return SAR_DEVICE_REMOVED;
    if (!t.fingerSupport || !t.initialized)
        return SAR_APPLICATION_NOT_EXISTS;
    return SAR_OK;
}

bool validFinger(uint32_t finger)
{
    return finger >= 1 && finger <= uint32_t(VFingerprints::MaxFinger);
}
} // namespace

VirtualSkf& VirtualSkf::instance()
{
    static VirtualSkf skf;
    return skf;
}

QByteArray VirtualSkf::deviceName(const QString& serial)
{
    return serial.toLatin1() + " FP";
}

uint32_t VirtualSkf::fillList(const QList<QByteArray>& names, char* list, uint32_t* size)
{
    if (!size)
        return SAR_INVALIDPARAMERR;
    if (names.isEmpty()) {
        // Nothing found reads as a size of 0; the terminator is still written when it fits.
        if (list && *size >= 2)
            std::memset(list, 0, 2);
        *size = 0;
        return SAR_OK;
    }
    uint32_t needed = 1;
    for (const QByteArray& n : names)
        needed += uint32_t(n.size()) + 1;
    if (!list) {
        *size = needed;
        return SAR_OK;
    }
    if (*size < needed) {
        *size = needed;
        return SAR_BUFFER_TOO_SMALL;
    }
    char* p = list;
    for (const QByteArray& n : names) {
        std::memcpy(p, n.constData(), size_t(n.size()) + 1);
        p += n.size() + 1;
    }
    *p = '\0';
    *size = needed;
    return SAR_OK;
}

uint32_t VirtualSkf::enumDev(bool presentOnly, char* list, uint32_t* size)
{
    std::lock_guard lock(m_mutex);
    const VTokenStore s = store();
    QList<QByteArray> names;
    for (const QString& serial : s.serials()) {
        VToken t;
        if (s.load(serial, &t) == VTokenStore::Result::Ok && t.fingerSupport && (t.pluggedIn || !presentOnly))
            names << deviceName(serial);
    }
    return fillList(names, list, size);
}

uint32_t VirtualSkf::connectDev(const char* name, DEVHANDLE* device)
{
    if (!name || !device)
        return SAR_INVALIDPARAMERR;
    std::lock_guard lock(m_mutex);
    const VTokenStore s = store();
    for (const QString& serial : s.serials()) {
        if (deviceName(serial) != name)
            continue;
        VToken t;
        const uint32_t r = fromLoad(s.load(serial, &t));
        if (r != SAR_OK)
            return r;
        if (!t.pluggedIn || !t.fingerSupport)
            return SAR_DEVICE_REMOVED;
        auto it = std::find(m_devices.begin(), m_devices.end(), serial);
        if (it == m_devices.end())
            it = m_devices.insert(m_devices.end(), serial);
        *device = handleFor(DeviceTag, size_t(it - m_devices.begin()));
        return SAR_OK;
    }
    return SAR_DEVICE_REMOVED;
}

uint32_t VirtualSkf::enumApplication(DEVHANDLE device, char* list, uint32_t* size)
{
    std::lock_guard lock(m_mutex);
    const qsizetype i = indexOf(DeviceTag, device, m_devices.size());
    if (i < 0)
        return SAR_INVALIDHANDLEERR;
    VToken t;
    const uint32_t r = fromLoad(store().load(m_devices[size_t(i)], &t));
    if (r != SAR_OK)
        return r;
    if (!t.pluggedIn)
        return SAR_DEVICE_REMOVED;
    return fillList({ApplicationName}, list, size);
}

uint32_t VirtualSkf::openApplication(DEVHANDLE device, const char* name, HAPPLICATION* application)
{
    if (!name || !application)
        return SAR_INVALIDPARAMERR;
    std::lock_guard lock(m_mutex);
    const qsizetype i = indexOf(DeviceTag, device, m_devices.size());
    if (i < 0)
        return SAR_INVALIDHANDLEERR;
    if (std::strcmp(name, ApplicationName) != 0)
        return SAR_APPLICATION_NOT_EXISTS;
    const QString& serial = m_devices[size_t(i)];
    VToken t;
    const uint32_t r = fromLoad(store().load(serial, &t));
    if (r != SAR_OK)
        return r;
    if (!t.pluggedIn)
        return SAR_DEVICE_REMOVED;
    auto it = std::find_if(m_applications.begin(), m_applications.end(),
                           [&](const auto& app) { return app->serial == serial; });
    if (it == m_applications.end()) {
        auto app = std::make_unique<Application>();
        app->serial = serial;
        it = m_applications.insert(m_applications.end(), std::move(app));
    }
    *application = handleFor(ApplicationTag, size_t(it - m_applications.begin()));
    return SAR_OK;
}

template <typename F> uint32_t VirtualSkf::onApplication(HAPPLICATION handle, F&& op)
{
    std::lock_guard lock(m_mutex);
    const qsizetype i = indexOf(ApplicationTag, handle, m_applications.size());
    return i < 0 ? SAR_INVALIDHANDLEERR : op(*m_applications[size_t(i)]);
}

uint32_t VirtualSkf::look(const Application& app, VToken* token) const
{
    const uint32_t r = fromLoad(store().load(app.serial, token));
    return r != SAR_OK ? r : usable(*token);
}

uint32_t VirtualSkf::lookOwner(const Application& app, uint32_t pinType, VFingerprints::Owner* owner) const
{
    VToken t;
    const uint32_t r = look(app, &t);
    if (r == SAR_OK)
        *owner = VFingerprints::read(t).owner(int(pinType));
    return r;
}

uint32_t VirtualSkf::update(const Application& app, const Change& change)
{
    uint32_t status = SAR_OK;
    const VTokenStore::Result r = store().update(app.serial, [&](VToken& t) {
        status = usable(t);
        return status == SAR_OK && change(t, status);
    });
    const uint32_t stored = fromLoad(r);
    return stored != SAR_OK ? stored : status;
}

uint32_t VirtualSkf::changeFingers(const Application& app, const FingerChange& change)
{
    return update(app, [&](VToken& t, uint32_t& status) {
        VFingerprints f = VFingerprints::read(t);
        if (!change(f, status))
            return false;
        f.write(t);
        return true;
    });
}

uint32_t VirtualSkf::permitted(const Application& app, uint32_t pinType, VToken* token) const
{
    const uint32_t r = look(app, token);
    if (r != SAR_OK)
        return r;
    // The administrator manages both kinds of fingers, the user only the user's.
    return app.admin || (pinType == SKF_USER_TYPE && app.user) ? SAR_OK : SAR_USER_NOT_LOGGED_IN;
}

uint32_t VirtualSkf::verifyPin(HAPPLICATION application, uint32_t pinType, const char* pin, uint32_t* retries)
{
    if (!pin || !retries || !VFingerprints::validPinType(int(pinType)))
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        bool& loggedIn = pinType == SKF_ADMIN_TYPE ? app.admin : app.user;
        loggedIn = false;
        QByteArray value(pin);
        const uint32_t status = update(app, [&](VToken& t, uint32_t& result) {
            VToken::Pin& p = pinType == SKF_ADMIN_TYPE ? t.soPin : t.userPin;
            *retries = uint32_t(std::max(0, p.triesLeft));
            if (p.locked()) {
                result = SAR_PIN_LOCKED;
                return false;
            }
            if (value.size() < p.minLength || value.size() > p.maxLength) {
                result = SAR_PIN_LEN_RANGE; // cannot be the PIN, and costs no try
                return false;
            }
            if (!VToken::checkPin(p, value)) {
                --p.triesLeft;
                *retries = uint32_t(std::max(0, p.triesLeft));
                result = p.locked() ? SAR_PIN_LOCKED : SAR_PIN_INCORRECT;
                return true;
            }
            result = SAR_OK;
            if (p.triesLeft == p.maxTries)
                return false;
            p.triesLeft = p.maxTries;
            *retries = uint32_t(p.maxTries);
            return true;
        });
        value.fill('\0');
        loggedIn = status == SAR_OK;
        return status;
    });
}

uint32_t VirtualSkf::initializeFinger(HAPPLICATION application, uint32_t userMax, uint32_t adminMax,
                                      uint32_t userLevel, uint32_t adminLevel)
{
    const auto inRange = [](uint32_t v, int max) { return v >= 1 && v <= uint32_t(max); };
    return onApplication(application, [&](Application& app) {
        if (!app.admin)
            return SAR_USER_NOT_LOGGED_IN;
        if (!inRange(userMax, VFingerprints::MaxRetries) || !inRange(adminMax, VFingerprints::MaxRetries) ||
            !inRange(userLevel, VFingerprints::MaxLevel) || !inRange(adminLevel, VFingerprints::MaxLevel))
            return SAR_INVALIDPARAMERR;
        return changeFingers(app, [&](VFingerprints& f, uint32_t& status) {
            f.user.maxRetries = f.user.retriesLeft = int(userMax);
            f.admin.maxRetries = f.admin.retriesLeft = int(adminMax);
            f.user.level = int(userLevel);
            f.admin.level = int(adminLevel);
            status = SAR_OK;
            return true;
        });
    });
}

uint32_t VirtualSkf::getFingerInfo(HAPPLICATION application, uint32_t pinType, uint32_t* a, uint32_t* b,
                                   uint32_t* c, uint32_t* retries, uint8_t* ids, uint32_t* idCount)
{
    if (!a || !b || !c || !retries || !ids || !idCount || !VFingerprints::validPinType(int(pinType)))
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        VFingerprints::Owner o;
        if (const uint32_t r = lookOwner(app, pinType, &o); r != SAR_OK)
            return r;
        *a = uint32_t(o.maxRetries);
        *b = uint32_t(o.level);
        *c = uint32_t(o.fingers.size());
        *retries = uint32_t(std::max(0, o.retriesLeft));
        const QList<int> numbers = o.fingers.keys();
        if (*idCount < uint32_t(numbers.size())) {
            *idCount = uint32_t(numbers.size());
            return SAR_BUFFER_TOO_SMALL;
        }
        // The enrolled numbers first, then empty entries up to one per finger.
        const uint32_t entries = std::min<uint32_t>(*idCount, VFingerprints::MaxFinger);
        for (uint32_t k = 0; k < entries; ++k)
            ids[k] = k < uint32_t(numbers.size()) ? uint8_t(numbers[qsizetype(k)]) : 0;
        *idCount = entries;
        return SAR_OK;
    });
}

uint32_t VirtualSkf::enrollFingerInit(HAPPLICATION application, uint32_t pinType, uint32_t finger)
{
    if (!VFingerprints::validPinType(int(pinType)) || !validFinger(finger))
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        VToken t;
        const uint32_t r = permitted(app, pinType, &t);
        if (r != SAR_OK)
            return r;
        if (VFingerprints::read(t).owner(int(pinType)).fingers.contains(int(finger)))
            return SAR_FINGER_EXIST;
        // The sensor serves one capture at a time.
        app.verification.reset();
        app.enrollment = std::make_unique<Enrollment>();
        app.enrollment->pinType = pinType;
        app.enrollment->finger = finger;
        app.enrollment->capture = std::make_unique<VFingerCapture>(VTokenStore::defaultFolder(), app.serial);
        return SAR_OK;
    });
}

uint32_t VirtualSkf::enrollFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger,
                                  uint32_t* progress)
{
    if (!progress)
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        Enrollment* e = app.enrollment.get();
        if (!e || e->pinType != pinType || e->finger != finger)
            return SAR_FAIL;
        VToken t;
        if (const uint32_t r = look(app, &t); r != SAR_OK) {
            app.enrollment.reset();
            return r;
        }
        *progress = uint32_t(e->samples * 100 / SamplesPerEnrollment);
        // In automatic mode every finger number is enrolled with a finger of its own.
        const std::optional<int> placed = e->capture->poll(int(finger));
        if (!placed) {
            if (!e->capture->timedOut())
                return SAR_FINGER_PENDING;
            app.enrollment.reset();
            return SAR_FINGER_FAILED;
        }
        // Every sample must be of one known finger.
        if (*placed == VSensor::UnknownFinger || (e->samples > 0 && *placed != e->placed)) {
            app.enrollment.reset();
            return SAR_FINGER_FAILED;
        }
        e->placed = *placed;
        ++e->samples;
        *progress = uint32_t(e->samples * 100 / SamplesPerEnrollment);
        if (e->samples < SamplesPerEnrollment)
            return SAR_FINGER_PENDING;
        const int placedFinger = e->placed;
        app.enrollment.reset();
        return changeFingers(app, [&](VFingerprints& f, uint32_t& status) {
            VFingerprints::Owner& o = f.owner(int(pinType));
            if (o.fingers.contains(int(finger)) || o.numberOf(placedFinger) != 0) {
                status = SAR_FINGER_EXIST;
                return false;
            }
            o.fingers.insert(int(finger), placedFinger);
            status = SAR_OK;
            return true;
        });
    });
}

uint32_t VirtualSkf::verifyFingerInit(HAPPLICATION application, uint32_t pinType)
{
    if (!VFingerprints::validPinType(int(pinType)))
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        VFingerprints::Owner o;
        if (const uint32_t r = lookOwner(app, pinType, &o); r != SAR_OK)
            return r;
        if (o.blocked())
            return SAR_PIN_LOCKED;
        if (o.fingers.isEmpty())
            return SAR_FINGER_NOT_EXIST;
        app.enrollment.reset();
        app.verification = std::make_unique<Verification>();
        app.verification->pinType = pinType;
        app.verification->capture =
            std::make_unique<VFingerCapture>(VTokenStore::defaultFolder(), app.serial);
        return SAR_OK;
    });
}

uint32_t VirtualSkf::testFinger(HAPPLICATION application, uint32_t pinType, uint32_t* finger)
{
    if (!finger)
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        Verification* v = app.verification.get();
        if (!v || v->pinType != pinType)
            return SAR_FAIL;
        VFingerprints::Owner o;
        if (const uint32_t r = lookOwner(app, pinType, &o); r != SAR_OK) {
            app.verification.reset();
            return r;
        }
        // Automatic mode presents the finger of the first enrolled number.
        const int automatic = o.fingers.isEmpty() ? VSensor::UnknownFinger : o.fingers.first();
        const std::optional<int> placed = v->capture->poll(automatic);
        if (!placed) {
            if (!v->capture->timedOut())
                return SAR_FINGER_PENDING;
            app.verification.reset(); // nobody touched the sensor: costs no retry
            return SAR_FINGER_FAILED;
        }
        app.verification.reset();
        int matched = 0;
        const uint32_t status = changeFingers(app, [&](VFingerprints& f, uint32_t& result) {
            if (f.owner(int(pinType)).blocked()) {
                result = SAR_PIN_LOCKED;
                return false;
            }
            matched = f.verify(int(pinType), *placed);
            result = matched != 0 ? SAR_OK : SAR_FINGER_FAILED;
            return true;
        });
        if (status == SAR_OK)
            *finger = uint32_t(matched);
        return status;
    });
}

uint32_t VirtualSkf::deleteFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger)
{
    if (!VFingerprints::validPinType(int(pinType)) || (!validFinger(finger) && finger != SKF_ALL_FINGERS))
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        VToken t;
        if (const uint32_t r = permitted(app, pinType, &t); r != SAR_OK)
            return r;
        return changeFingers(app, [&](VFingerprints& f, uint32_t& status) {
            QMap<int, int>& fingers = f.owner(int(pinType)).fingers;
            status = SAR_OK;
            if (finger == SKF_ALL_FINGERS)
                fingers.clear();
            else if (fingers.remove(int(finger)) == 0)
                status = SAR_FINGER_NOT_EXIST;
            return status == SAR_OK;
        });
    });
}

uint32_t VirtualSkf::unblockFinger(HAPPLICATION application, uint32_t pinType)
{
    if (!VFingerprints::validPinType(int(pinType)))
        return SAR_INVALIDPARAMERR;
    return onApplication(application, [&](Application& app) {
        VToken t;
        if (const uint32_t r = permitted(app, pinType, &t); r != SAR_OK)
            return r;
        return changeFingers(app, [&](VFingerprints& f, uint32_t& status) {
            f.owner(int(pinType)).retriesLeft = f.owner(int(pinType)).maxRetries;
            status = SAR_OK;
            return true;
        });
    });
}

uint32_t VirtualSkf::clearSecureState(HAPPLICATION application)
{
    return onApplication(application, [](Application& app) {
        app.admin = app.user = false;
        app.enrollment.reset();
        app.verification.reset();
        return SAR_OK;
    });
}
