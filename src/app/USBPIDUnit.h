// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QSocketNotifier;

// USB product IDs of the four token models this tool serves. The virtual tokens present themselves
// with these IDs too; only the product ID is compared, never the vendor ID.
inline constexpr std::array<quint32, 4> ServedProductIds = {0x4100, 0x4101, 0x4102, 0x4103};

bool isServedProductId(quint32 pid);

// Product ID named by a device path such as "USB\VID_1234&PID_4100\SERIAL": the four characters after
// "PID_" (any letter case) read as hexadecimal; 0 when the marker is missing or they are not hex.
quint32 productIdFromDevicePath(const QString& devicePath);

// The USB device notifier. Real devices are watched through a udev monitor on the "usb" subsystem;
// virtual tokens report their arrival and removal notices through deviceChanged(). A machine without
// udev access simply gets no real events.
class TUSB : public QObject
{
    Q_OBJECT
public:
    enum class Event
    {
        Arrival,
        Removal
    };

    struct Notice
    {
        Event event;
        QString devicePath;
    };

    // `virtualPollMs`: how often the virtual tokens' notice file is looked at besides its change signals.
    explicit TUSB(QObject* parent = nullptr, int virtualPollMs = 500);
    ~TUSB() override;

    // Product ID of the device named in the last notification, 0 when none was found.
    quint32 productId() const { return m_productId; }

    // True while real USB devices are being watched.
    bool watchingUsb() const { return m_notifier != nullptr; }

    // Every notice ends here: remembers the product ID, then emits arrived() or removed().
    void deviceChanged(Event event, const QString& devicePath);

    // Maps one udev uevent to a notice: only whole USB devices ("usb_device") being added or removed
    // count; interfaces and other actions (bind, change, ...) are not notices. `product` is udev's
    // PRODUCT property "vid/pid/bcd" in unpadded hex; `serial` may be null.
    static std::optional<Notice> noticeFromUdev(const char* action, const char* devType, const char* product,
                                                const char* serial);

Q_SIGNALS:
    void arrived(TUSB* notifier);
    void removed(TUSB* notifier);

private:
    void readUdev();

    struct Udev;
    std::unique_ptr<Udev> m_udev;
    QSocketNotifier* m_notifier = nullptr;
    quint32 m_productId = 0;
};
