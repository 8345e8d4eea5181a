#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Tells this process when a virtual token is plugged in or pulled out, by any process.
// The device path has the form USB\VID_xxxx&PID_yyyy\<serial>.
class VTokenWatcher : public QObject
{
    Q_OBJECT
public:
    explicit VTokenWatcher(QObject* parent = nullptr); // watches the default store folder
    VTokenWatcher(const QString& storeFolder, QObject* parent);

Q_SIGNALS:
    void arrived(const QString& devicePath);
    void removed(const QString& devicePath);

private:
    void readNew();
    void rewatch();

    QString m_folder;
    QString m_path;
    qint64 m_offset = 0;
    QFileSystemWatcher m_watcher;
    QTimer m_poll; // inotify can miss a file that is created and written at once; a slow poll backs it up
};
