// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

#include <QByteArray>

#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class TIsoImage;
struct TProgramState;

// Write an ISO image into the token's CD-ROM partition, one chunk of up to 32 sectors after each
// pause, with the window kept live between chunks.
class TIsoPage : public TPage
{
    Q_OBJECT
public:
    static constexpr qint64 ChunkSize = 65536;
    static constexpr qint64 SectorBytes = 2048;

    explicit TIsoPage(TProgramState& state, QWidget* parent = nullptr);
    ~TIsoPage() override;

    QAction* downIsoAction() const { return m_downIso; }
    bool writing() const { return m_image != nullptr; }
    // Sectors an image of `fileSize` bytes takes: whole chunks, then the last part rounded down to
    // sectors plus one more, so a last part already on a sector boundary still gets a zero sector.
    static qint64 sectorsFor(qint64 fileSize);

public Q_SLOTS:
    // Starts writing the image of the path field; the result is reported when the last chunk is done.
    void downIso();

Q_SIGNALS:
    // The write ended and its message was shown: 0 on success, else the failing status.
    void finished(quint32 status);

private:
    bool readChunk();
    void writeChunk();
    // A non-empty `reason` is shown in place of the status code.
    void finish(quint32 status, const QString& reason = {});
    void report(quint32 status, const QString& reason = {});
    void browse();

    QLineEdit* m_edtUPIN;
    QLineEdit* m_edtPath;
    QProgressBar* m_pbIso;
    QAction* m_downIso;
    QLabel* m_hint;
    QTimer* m_pause;
    QTimer* m_doneWait;
    std::unique_ptr<TIsoImage> m_image;
    QByteArray m_chunk;
    qint32 m_chunkSectors = 0;
    qint32 m_startSector = 0;
    int m_slot = -1;
};
