// SPDX-License-Identifier: BSD-3-Clause
#include "certs/TCertViewer.h"

#include "certs/CertAlgorithms.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslCertificateExtension>
#include <QSslKey>
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
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")) : QString();
}

// The usual extensions by their catalog name; others keep the name the certificate reader gives.
QString extensionName(const QSslCertificateExtension& e)
{
    static const struct
    {
        const char* oid;
        const char* key;
    } known[] = {
        {"2.5.29.19", "CertView_Ext_BasicConstraints"}, {"2.5.29.15", "CertView_Ext_KeyUsage"},
        {"2.5.29.37", "CertView_Ext_ExtKeyUsage"},      {"2.5.29.14", "CertView_Ext_SubjectKeyId"},
        {"2.5.29.35", "CertView_Ext_AuthorityKeyId"},   {"2.5.29.17", "CertView_Ext_SubjectAltName"},
        {"2.5.29.31", "CertView_Ext_CrlPoints"},        {"1.3.6.1.5.5.7.1.1", "CertView_Ext_AuthorityInfo"},
        {"2.5.29.32", "CertView_Ext_Policies"},
    };
    QString name = e.name().isEmpty() ? e.oid() : e.name();
    for (const auto& k : known)
        if (e.oid() == QLatin1String(k.oid))
            name = ResStrs::text(k.key);
    if (e.isCritical())
        name += ResStrs::text("CertView_Form_Critical");
    return name;
}

// Qt hands the usual extensions over as structured values and the rest as the reader's text.
QString variantText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        QStringList parts;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts.append(QStringLiteral("%1: %2").arg(it.key(), variantText(it.value())));
        return parts.join(QStringLiteral("\n"));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QStringList parts;
        for (const QVariant& v : value.toList())
            parts.append(variantText(v));
        return parts.join(QStringLiteral(", "));
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        for (char c : bytes)
            if (quint8(c) < 0x20 || quint8(c) > 0x7E)
                return hexPairs(bytes);
        return QString::fromLatin1(bytes);
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default:
        return value.toString();
    }
}

QString extensionValue(const QSslCertificateExtension& e)
{
    const QVariant value = e.value();
    if (e.oid() == QLatin1String("2.5.29.19") && value.typeId() == QMetaType::QVariantMap) {
        // Basic constraints read as the openssl command line writes them.
        const QVariantMap map = value.toMap();
        QString text =
            map.value(QStringLiteral("ca")).toBool() ? QStringLiteral("CA:TRUE") : QStringLiteral("CA:FALSE");
        if (map.contains(QStringLiteral("pathLenConstraint")))
            text +=
                QStringLiteral(", pathlen:%1").arg(map.value(QStringLiteral("pathLenConstraint")).toInt());
        return text;
    }
    return variantText(value).trimmed();
}

QString keyText(const CertAlgorithms& algorithms, const QSslKey& key)
{
    const QString name = CertAlgorithms::keyName(algorithms.keyOid, algorithms.curveOid);
    if (key.isNull() || key.length() <= 0)
        return name;
    return QStringLiteral("%1, %2").arg(name, ResStrs::format("CertView_Form_Bits", key.length()));
}

} // namespace

TCertViewer::TCertViewer(const TQ7CertInfo& facts, const QByteArray& der, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertViewer"));
    setWindowTitle(facts.Subject.isEmpty() ? ResStrs::text("CertView_Form_Caption") : facts.Subject);
    setModal(true);
    const QSslCertificate cert(der, QSsl::Der);
    const CertAlgorithms algorithms = CertAlgorithms::read(der);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));

    auto* general = new QWidget;
    auto* form = new QFormLayout(general);
    auto row = [form](const char* key, const QString& value, const char* name) {
        form->addRow(ResStrs::text(key), valueLabel(value, name));
    };
    row("CertView_Form_Subject", facts.Subject, "subject");
    row("CertView_Form_Issuer", facts.Issuer, "issuer");
    row("CertView_Form_Version", QStringLiteral("V%1").arg(facts.Version), "version");
    row("CertView_Form_Serial", facts.SerialNumber, "serial");
    row("CertView_Form_ValidFrom", dateText(cert.effectiveDate()), "validFrom");
    row("CertView_Form_ValidTo", dateText(cert.expiryDate()), "validTo");
    row("CertView_Form_PublicKey", keyText(algorithms, cert.publicKey()), "publicKey");
    row("CertView_Form_Signature", CertAlgorithms::signatureName(algorithms.signatureOid), "signature");
    row("CertView_Form_Sha1", hexPairs(QCryptographicHash::hash(der, QCryptographicHash::Sha1)), "sha1");
    row("CertView_Form_Sha256", hexPairs(QCryptographicHash::hash(der, QCryptographicHash::Sha256)),
        "sha256");
    tabs->addTab(general, ResStrs::text("CertView_Form_General"));

    auto* exts = new QTreeWidget;
    exts->setObjectName(QStringLiteral("extensions"));
    exts->setHeaderLabels({ResStrs::text("CertView_Form_Extension"), ResStrs::text("CertView_Form_Value")});
    exts->setRootIsDecorated(false);
    exts->setWordWrap(true);
    for (const QSslCertificateExtension& e : cert.extensions())
        exts->addTopLevelItem(new QTreeWidgetItem({extensionName(e), extensionValue(e)}));
    exts->resizeColumnToContents(0);
    tabs->addTab(exts, ResStrs::text("CertView_Form_Extensions"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Close)->setText(ResStrs::text("P_Btn_Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(600, 440);
}

quint32 TCertViewer::showModal(quintptr owner, const QByteArray& der)
{
    TQ7CertInfo facts;
    if (const quint32 status = CerMgrApis::DescribeCertificate(der, facts); status != 0)
        return status;
    QWidget* parent = owner ? QWidget::find(WId(owner)) : nullptr;
    if (!parent)
        parent = QApplication::activeWindow();
    TCertViewer viewer(facts, der, parent);
    viewer.exec();
    return 0;
}
