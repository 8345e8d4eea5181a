// SPDX-License-Identifier: BSD-3-Clause
#include "TIsoPage.h"

#include "TIsoImage.h"

#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "platform/DialogService.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTimer>
#include <QToolButton>

#include <cstring>

using namespace PageWidgets;

namespace {
// The path as it survives the round trip through the system code page.
QString throughCodePage(const QString& path)
{
    QStringEncoder encoder(QStringEncoder::System);
    QStringDecoder decoder(QStringDecoder::System);
    return decoder.decode(encoder.encode(path));
}

QString hex8(quint32 status)
{
    return QStringLiteral("%1").arg(status, 8, 16, QLatin1Char('0')).toUpper();
}
} // namespace

TIsoPage::TIsoPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_pause(new QTimer(this)), m_doneWait(new QTimer(this))
{
    setObjectName(QStringLiteral("TabSheet11"));

    auto* box = group(this, "RzGroupBox6");
    auto* form = formIn(this, box);
    m_hint = unsupportedHint(form, box, "lblIsoNotSupported", ResStrs::text("ISO_NotSupported"));
    m_edtUPIN = edit(box, "edtUPINForDownISO", 16, true);
    addRow(form, label(box, "LAdmin_UPIN"), m_edtUPIN);

    // The path field carries its own narrow browse button.
    auto* pathField = new QWidget(box);
    m_edtPath = new QLineEdit(pathField);
    m_edtPath->setObjectName(QStringLiteral("edtPath"));
    auto* browseButton = new QToolButton(pathField);
    browseButton->setObjectName(QStringLiteral("edtPathButton"));
    browseButton->setText(QStringLiteral("…"));
    // Narrow, yet never narrower than its own three dots.
    browseButton->setFixedWidth(qMax(15, browseButton->sizeHint().width()));
    auto* pathRow = new QHBoxLayout(pathField);
    pathRow->setContentsMargins(0, 0, 0, 0);
    pathRow->setSpacing(0);
    pathRow->addWidget(m_edtPath);
    pathRow->addWidget(browseButton);
    addRow(form, label(box, "LAdmin_ISOPath"), pathField);

    m_pbIso = new QProgressBar(box);
    m_pbIso->setObjectName(QStringLiteral("PBISO"));
    m_pbIso->setValue(0);
    m_pbIso->setTextVisible(false);
    addRow(form, nullptr, m_pbIso);
    m_downIso = action(this, "AcDownISO");
    addButtons(form, {button(box, "Button8", m_downIso)});

    m_pause->setObjectName(QStringLiteral("TIsoPause"));
    m_pause->setSingleShot(true);
    m_doneWait->setObjectName(QStringLiteral("TIsoDoneWait"));
    m_doneWait->setSingleShot(true);
    connect(m_pause, &QTimer::timeout, this, &TIsoPage::writeChunk);
    connect(m_doneWait, &QTimer::timeout, this, [this] { report(0); });
    connect(browseButton, &QToolButton::clicked, this, &TIsoPage::browse);
    connect(m_downIso, &QAction::triggered, this, &TIsoPage::downIso);
    ActionUpdater::instance().add(m_downIso, [this] {
        const TTokenSession* token = session();
        const bool can = currentTokenCan(TQ7Info::Sectors);
        m_hint->setVisible(!can);
        if (!can || writing() || m_doneWait->isActive() || !token)
            return false;
        return m_edtUPIN->text().size() >= token->info().MinPinLen && !m_edtPath->text().isEmpty();
    });
}

TIsoPage::~TIsoPage() = default;

qint64 TIsoPage::sectorsFor(qint64 fileSize)
{
    const qint64 rest = fileSize % ChunkSize;
    return fileSize / ChunkSize * (ChunkSize / SectorBytes) + (rest > 0 ? rest / SectorBytes + 1 : 0);
}

void TIsoPage::browse()
{
    DialogService::FileDialogOptions options;
    // The Windows form is "ISO File (*.iso)|*.iso"; its name already names the pattern.
    options.filter = QStringLiteral("ISO File (*.iso)");
    options.confirmOverwrite = false;
    const QString file = DialogService::instance().openFileName(window(), options);
    if (!file.isEmpty())
        m_edtPath->setText(file);
}

void TIsoPage::downIso()
{
    if (writing() || m_doneWait->isActive())
        return;
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    // Enter in the PIN field runs this even while the action is off.
    if (!currentTokenCan(TQ7Info::Sectors)) {
        Messages::information(owner, ResStrs::text("ISO_NotSupported"));
        return;
    }
    auto image = std::make_unique<TIsoImage>();
    switch (image->open(throughCodePage(m_edtPath->text()))) {
    case TIsoImage::OpenResult::Opened:
        break;
    case TIsoImage::OpenResult::Missing:
        Messages::information(owner, ResStrs::text("ISOFile_error"));
        return;
    case TIsoImage::OpenResult::NotAFile:
        Messages::information(owner, ResStrs::text("ISOFile_NotFile"));
        return;
    case TIsoImage::OpenResult::CannotOpen:
        Messages::information(owner, ResStrs::text("ISo_Down_No") + QLatin1Char('(') + image->errorString() +
                                         QLatin1Char(')'));
        return;
    }

    token->logout();
    CerMgrApis::ReadPinState(slot, PinType::User, token->pinState());
    if (token->pinState().Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }
    qint32 retriesLeft = 0;
    if (CerMgrApis::LoginUser(slot, m_edtUPIN->text(), retriesLeft) != 0) {
        Messages::information(owner, ResStrs::text("K_User_error"));
        return;
    }

    m_slot = slot;
    m_startSector = 0;
    const qint64 size = image->size();
    m_pbIso->setRange(0, int(qMin<qint64>(size / 1024, INT_MAX)));
    m_pbIso->setValue(0);
    // An image larger than the partition is refused before any sector is written: a write of no
    // sectors at the end of the image fails exactly when the partition is too small for it.
    const qint64 sectors = sectorsFor(size);
    if (sectors > INT_MAX) {
        finish(TokenStatus::TooLong);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_image = std::move(image);
    const quint32 probe = CerMgrApis::WriteSectors(slot, qint32(sectors), 0, QByteArray());
    if (probe != 0) {
        finish(probe);
        return;
    }
    if (readChunk())
        m_pause->start(m_state.timings.isoChunkPause);
}

bool TIsoPage::readChunk()
{
    m_chunk = QByteArray(ChunkSize, '\0');
    qint64 got = 0;
    switch (m_image->read(m_chunk.data(), ChunkSize, &got)) {
    case TIsoImage::ReadResult::Data:
        break;
    case TIsoImage::ReadResult::End:
        finish(0);
        return false;
    case TIsoImage::ReadResult::Shrunk:
        finish(TokenStatus::BadArgument, ResStrs::text("ISOFile_Changed"));
        return false;
    case TIsoImage::ReadResult::Failed:
        finish(TokenStatus::BadArgument);
        return false;
    }
    m_chunkSectors = qint32(got < ChunkSize ? (got / SectorBytes + 1) : ChunkSize / SectorBytes);
    return true;
}

void TIsoPage::writeChunk()
{
    if (!writing())
        return;
    const quint32 status = CerMgrApis::WriteSectors(m_slot, m_startSector, m_chunkSectors, m_chunk);
    if (status != 0) {
        finish(status);
        return;
    }
    m_startSector += m_chunkSectors;
    m_pbIso->setValue(qMin(m_pbIso->value() + 64, m_pbIso->maximum()));
    if (readChunk())
        m_pause->start(m_state.timings.isoChunkPause);
}

void TIsoPage::finish(quint32 status, const QString& reason)
{
    m_pause->stop();
    const bool hadCursor = writing();
    m_image.reset();
    m_chunk.clear();
    if (hadCursor)
        QApplication::restoreOverrideCursor();
    if (status == 0)
        m_doneWait->start(m_state.timings.isoDoneWait);
    else
        report(status, reason);
}

void TIsoPage::report(quint32 status, const QString& reason)
{
    QWidget* owner = window();
    if (status == 0)
        Messages::information(owner, ResStrs::text("ISO_Down_Yes"));
    else if (status == TokenStatus::NotSupported)
        Messages::information(owner, ResStrs::text("ISO_NotSupported"));
    else if (!reason.isEmpty())
        Messages::information(owner,
                              ResStrs::text("ISo_Down_No") + QLatin1Char('(') + reason + QLatin1Char(')'));
    else
        Messages::information(
            owner, QStringLiteral("%1(ErrorCode = 0x%2)").arg(ResStrs::text("ISo_Down_No"), hex8(status)));
    if (TTokenSession* token = m_state.sessions.at(m_slot))
        token->logout();
    Q_EMIT finished(status);
}
