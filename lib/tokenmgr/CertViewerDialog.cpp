#include "CertViewerDialog.h"

#include "TokenMgr.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString hexPairs(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QLabel* valueLabel(const QString& text, const char* name)
{
    auto* l = new QLabel(text);
    l->setObjectName(QLatin1String(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setWordWrap(true);
    return l;
}

QString dateText(const QDateTime& t)
{
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")) : QString();
}

} // namespace

CertViewerDialog::CertViewerDialog(const CertInfo& info, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertViewerDialog"));
    setWindowTitle(info.subject.isEmpty() ? QStringLiteral("Certificate") : info.subject);
    setModal(true);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));

    auto* general = new QWidget;
    auto* form = new QFormLayout(general);
    form->addRow(QStringLiteral("Subject:"), valueLabel(info.subject, "subject"));
    form->addRow(QStringLiteral("Issuer:"), valueLabel(info.issuer, "issuer"));
    form->addRow(QStringLiteral("Version:"), valueLabel(QStringLiteral("V%1").arg(info.version), "version"));
    form->addRow(QStringLiteral("Serial number:"), valueLabel(QString::fromLatin1(info.serialHex), "serial"));
    form->addRow(QStringLiteral("Valid from:"), valueLabel(dateText(info.notBefore), "validFrom"));
    form->addRow(QStringLiteral("Valid to:"), valueLabel(dateText(info.notAfter), "validTo"));
    form->addRow(
        QStringLiteral("Public key:"),
        valueLabel(QStringLiteral("%1, %2 bits").arg(info.keyAlgorithm).arg(info.keyBits), "publicKey"));
    form->addRow(QStringLiteral("Signature algorithm:"), valueLabel(info.signatureAlgorithm, "signature"));
    form->addRow(QStringLiteral("SHA-1 fingerprint:"), valueLabel(hexPairs(info.sha1), "sha1"));
    form->addRow(QStringLiteral("SHA-256 fingerprint:"), valueLabel(hexPairs(info.sha256), "sha256"));
    tabs->addTab(general, QStringLiteral("General"));

    auto* exts = new QTreeWidget;
    exts->setObjectName(QStringLiteral("extensions"));
    exts->setHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Value")});
    exts->setRootIsDecorated(false);
    for (const auto& e : info.extensions)
        exts->addTopLevelItem(new QTreeWidgetItem({e.first, e.second}));
    exts->resizeColumnToContents(0);
    tabs->addTab(exts, QStringLiteral("Extensions"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(560, 420);
}

quint32 CertViewerDialog::showModal(uintptr_t window, const QByteArray& der)
{
    CertInfo info;
    if (!CertInfo::fromDer(der, &info))
        return TM_ERR_CERTIFICATE;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return TM_ERR_NO_UI;
    QWidget* owner = window ? QWidget::find(WId(window)) : nullptr;
    if (!owner)
        owner = QApplication::activeWindow();
    CertViewerDialog dlg(info, owner);
    dlg.exec();
    return TM_OK;
}
