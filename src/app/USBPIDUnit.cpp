// SPDX-License-Identifier: BSD-3-Clause
#include "USBPIDUnit.h"

#include "platform/VirtualTokenNotices.h"

#include <QSocketNotifier>

#include <libudev.h>

#include <algorithm>

bool isServedProductId(quint32 pid)
{
    return std::find(ServedProductIds.begin(), ServedProductIds.end(), pid) != ServedProductIds.end();
}

quint32 productIdFromDevicePath(const QString& devicePath)
{
    const QString upper = devicePath.toUpper();
    const qsizetype at = upper.indexOf(QLatin1String("PID_"));
    if (at < 0)
        return 0;
    const QString digits = upper.mid(at + 4, 4);
    if (digits.size() != 4)
        return 0;
    quint32 pid = 0;
    for (const QChar c : digits) {
        const char ch = c.toLatin1(); // 0 for anything outside Latin-1
        int v;
        if (ch >= '0' && ch <= '9')
            v = ch - '0';
        else if (ch >= 'A' && ch <= 'F')
            v = ch - 'A' + 10;
        else
            return 0;
        pid = pid * 16 + quint32(v);
    }
    return pid;
}

namespace {
struct UdevDeleter
{
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;
} // namespace

struct TUSB::Udev
{
    UdevPtr<udev> context;
    UdevPtr<udev_monitor> monitor;
};

TUSB::TUSB(QObject* parent, int virtualPollMs) : QObject(parent)
{
    // Virtual tokens post their own notices, in the same device path form as real ones.
    auto* virtualTokens =
        new VirtualTokenNotices(VirtualTokenNotices::defaultStoreFolder(), virtualPollMs, this);
    connect(virtualTokens, &VirtualTokenNotices::arrived, this,
            [this](const QString& path) { deviceChanged(Event::Arrival, path); });
    connect(virtualTokens, &VirtualTokenNotices::removed, this,
            [this](const QString& path) { deviceChanged(Event::Removal, path); });

    auto u = std::make_unique<Udev>();
    u->context.reset(udev_new());
    if (u->context)
        u->monitor.reset(udev_monitor_new_from_netlink(u->context.get(), "udev"));
    if (!u->monitor)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(u->monitor.get(), "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(u->monitor.get()) < 0)
        return;
    const int fd = udev_monitor_get_fd(u->monitor.get());
    if (fd < 0)
        return;
    m_udev = std::move(u);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TUSB::readUdev);
}

TUSB::~TUSB()
{
    // The socket notifier must let go of the descriptor before the monitor closes it.
    delete m_notifier;
    m_notifier = nullptr;
}

void TUSB::deviceChanged(Event event, const QString& devicePath)
{
    m_productId = productIdFromDevicePath(devicePath);
    if (event == Event::Arrival)
        Q_EMIT arrived(this);
    else
        Q_EMIT removed(this);
}

std::optional<TUSB::Notice> TUSB::noticeFromUdev(const char* action, const char* devType, const char* product,
                                                 const char* serial)
{
    if (!action || !devType || qstrcmp(devType, "usb_device") != 0)
        return std::nullopt;
    Event event;
    if (qstrcmp(action, "add") == 0)
        event = Event::Arrival;
    else if (qstrcmp(action, "remove") == 0)
        event = Event::Removal;
    else
        return std::nullopt;

    // PRODUCT is "vid/pid/bcd"; a device without it still counts, it just names no product.
    QString path = QStringLiteral("USB\\");
    const QList<QByteArray> parts = QByteArray(product).split('/');
    bool vidOk = false;
    bool pidOk = false;
    const uint vid = parts.size() >= 2 ? parts[0].toUInt(&vidOk, 16) : 0;
    const uint pid = parts.size() >= 2 ? parts[1].toUInt(&pidOk, 16) : 0;
    if (vidOk && pidOk && vid <= 0xFFFF && pid <= 0xFFFF)
        path += QString::asprintf("VID_%04X&PID_%04X", vid, pid);
    path += QLatin1Char('\\') + QString::fromLocal8Bit(serial ? serial : "");
    return Notice{event, path};
}

void TUSB::readUdev()
{
    if (!m_udev)
        return;
    const UdevPtr<udev_device> dev(udev_monitor_receive_device(m_udev->monitor.get()));
    if (!dev)
        return;
    const auto notice = noticeFromUdev(udev_device_get_action(dev.get()), udev_device_get_devtype(dev.get()),
                                       udev_device_get_property_value(dev.get(), "PRODUCT"),
                                       udev_device_get_property_value(dev.get(), "ID_SERIAL_SHORT"));
    if (notice)
        deviceChanged(notice->event, notice->devicePath);
}
