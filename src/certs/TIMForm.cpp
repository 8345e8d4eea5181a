// SPDX-License-Identifier: BSD-3-Clause
#include "TIMForm.h"

#include "certs/NewGuidString.h"
#include "i18n/ResStrs.h"
#include "platform/DialogService.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A read-only or switched-off field shows the dialog's face colour instead of the entry white.
void setGreyed(QLineEdit* edit, bool greyed)
{
    QPalette palette = edit->palette();
    const QColor base = greyed ? palette.color(QPalette::Active, QPalette::Button) : QColor(Qt::white);
    palette.setColor(QPalette::Active, QPalette::Base, base);
    palette.setColor(QPalette::Inactive, QPalette::Base, base);
    palette.setColor(QPalette::Disabled, QPalette::Base, base);
    edit->setPalette(palette);
}

} // namespace

TIMForm::TIMForm(QWidget* parent)
    : QDialog(parent), m_fileGroup(named(new QGroupBox(this), "GroupBox3")),
      m_path(named(new QLineEdit(m_fileGroup), "edtPath")),
      m_browse(named(new QPushButton(m_fileGroup), "btnpath")),
      m_passwordPrompt(named(new QLabel(m_fileGroup), "Label2")),
      m_password(named(new QLineEdit(m_fileGroup), "edtpwd")),
      m_passwordLength(named(new QLabel(m_fileGroup), "Label1")),
      m_containerGroup(named(new QGroupBox(this), "GroupBox1")),
      m_new(named(new QRadioButton(m_containerGroup), "rb1")),
      m_random(named(new QPushButton(m_containerGroup), "btnRandom")),
      m_name(named(new QLineEdit(m_containerGroup), "edtContname")),
      m_existing(named(new QRadioButton(m_containerGroup), "rb2")),
      m_names(named(new QComboBox(m_containerGroup), "cbContName")),
      m_usageGroup(named(new QGroupBox(this), "GroupBox2")),
      m_exchange(named(new QRadioButton(m_usageGroup), "rb3")),
      m_signature(named(new QRadioButton(m_usageGroup), "rb4")), m_ok(named(new QPushButton(this), "btnOK")),
      m_cancel(named(new QPushButton(this), "btnNO"))
{
    setObjectName(QStringLiteral("IMForm"));
    setWindowTitle(ResStrs::text("Main_Form_btn_Import"));
    QFont face = font();
    const QString family = ResStrs::text("FontName").trimmed();
    if (!family.isEmpty())
        face.setFamily(family);
    bool sized = false;
    const int points = ResStrs::text("FontSize").trimmed().toInt(&sized);
    face.setPointSize(sized && points > 0 ? points : 9);
    setFont(face);

    m_fileGroup->setTitle(ResStrs::text("Import_Form_GroupBox1"));
    m_browse->setText(ResStrs::text("Import_Form_Btn_Load"));
    m_passwordPrompt->setText(ResStrs::text("Import_Form_Lable_Pwd") + QLatin1Char(':'));
    m_containerGroup->setTitle(ResStrs::text("Import_Form_GroupBox2"));
    m_new->setText(ResStrs::text("Import_Form_RBtn_New"));
    m_random->setText(ResStrs::text("Import_Form_Btn_Random"));
    m_existing->setText(ResStrs::text("Import_Form_RBtn_Old"));
    m_usageGroup->setTitle(ResStrs::text("Import_Form_GroupBox3"));
    m_exchange->setText(ResStrs::text("Import_Form_RBtn_CertMode1"));
    m_signature->setText(ResStrs::text("Import_Form_RBtn_CertMode2"));
    m_ok->setText(ResStrs::text("C_Btn_Confirm"));
    m_cancel->setText(ResStrs::text("C_Btn_Cancel"));

    m_path->setReadOnly(true);
    m_path->setFocusPolicy(Qt::NoFocus);
    m_path->setMinimumWidth(280);
    setGreyed(m_path, true);
    m_path->installEventFilter(this);
    m_password->installEventFilter(this);
    m_name->setMaxLength(MaxContainerName);
    m_names->setEditable(false);
    m_names->setMinimumWidth(200);
    m_new->setChecked(true);
    m_exchange->setChecked(true);
    m_names->setEnabled(false);
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);

    auto* file = new QGridLayout(m_fileGroup);
    file->addWidget(m_path, 0, 0, 1, 2);
    file->addWidget(m_browse, 0, 2);
    file->addWidget(m_passwordPrompt, 1, 0);
    file->addWidget(m_password, 1, 1);
    file->addWidget(m_passwordLength, 1, 2);
    auto* containers = new QGridLayout(m_containerGroup);
    containers->addWidget(m_new, 0, 0);
    containers->addWidget(m_name, 0, 1);
    containers->addWidget(m_random, 0, 2);
    containers->addWidget(m_existing, 1, 0);
    containers->addWidget(m_names, 1, 1, 1, 2);
    auto* usage = new QVBoxLayout(m_usageGroup);
    usage->addWidget(m_exchange);
    usage->addWidget(m_signature);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fileGroup);
    layout->addWidget(m_containerGroup);
    layout->addWidget(m_usageGroup);
    layout->addLayout(buttons);
    // A fixed border: the dialog keeps the size its contents ask for.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_browse, &QPushButton::clicked, this, &TIMForm::browse);
    connect(m_random, &QPushButton::clicked, this, [this] { m_name->setText(NewGuidString()); });
    connect(m_new, &QRadioButton::toggled, this, &TIMForm::containerChoiceChanged);
    connect(m_name, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_ok->setEnabled(!text.isEmpty()); });
    connect(m_password, &QLineEdit::textChanged, this, &TIMForm::showPasswordLength);
    connect(m_ok, &QPushButton::clicked, this, &TIMForm::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &TIMForm::reject);
}

TIMForm::~TIMForm() = default;

void TIMForm::setContainers(const QStringList& names, int preselect)
{
    m_names->clear();
    if (names.isEmpty()) {
        m_new->setChecked(true);
        m_existing->setEnabled(false);
        return;
    }
    m_names->addItems(names);
    m_names->setCurrentIndex(preselect >= 0 && preselect < names.size() ? preselect : 0);
    m_existing->setEnabled(true);
    m_existing->setChecked(true);
}

ImportJob::Kind TIMForm::kindOf(const QString& path)
{
    // The text after the last dot of the file name, dot included, compared exactly.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    if (extension == QLatin1String(".cer"))
        return ImportJob::X509;
    if (extension == QLatin1String(".p7b"))
        return ImportJob::Pkcs7;
    return ImportJob::Pkcs12;
}

bool TIMForm::newContainer() const
{
    return m_new->isChecked();
}

QString TIMForm::newContainerName() const
{
    return m_name->text();
}

QString TIMForm::existingContainer() const
{
    return m_names->currentText();
}

int TIMForm::existingIndex() const
{
    return m_names->currentIndex();
}

bool TIMForm::exchange() const
{
    return m_exchange->isChecked();
}

QString TIMForm::path() const
{
    return m_path->text();
}

void TIMForm::done(int result)
{
    // The file password is needed only for the parse at OK.
    m_password->clear();
    QDialog::done(result);
}

void TIMForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_ok->setEnabled(false);
    setPasswordEnabled(false);
    m_random->setEnabled(m_new->isChecked());
    m_path->setAcceptDrops(true);
}

bool TIMForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_password) {
        if (event->type() == QEvent::FocusIn)
            showPasswordLength();
        else if (event->type() == QEvent::FocusOut)
            m_passwordLength->clear();
    } else if (watched == m_path) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            for (const QUrl& url : drop->mimeData()->urls()) {
                const QString file = url.toLocalFile();
                if (!file.isEmpty() && QFileInfo::exists(file))
                    takeFile(file, true);
            }
            drop->acceptProposedAction();
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TIMForm::browse()
{
    DialogService::FileDialogOptions options;
    options.filter = DialogService::qtFilter(QStringLiteral("Cert file|*.pfx;*.p12;*.p7b;*.cer;*.crt"));
    options.confirmOverwrite = false;
    const QString file = DialogService::instance().openFileName(this, options);
    if (!file.isEmpty())
        takeFile(file, false);
}

// A chosen file asks for its password unless it is a single certificate; a dropped PKCS#7 bundle
// gets the password field too, as a browsed one does not.
void TIMForm::takeFile(const QString& path, bool passwordForP7b)
{
    m_path->setText(path);
    const ImportJob::Kind kind = kindOf(path);
    const bool password = kind == ImportJob::Pkcs12 || (kind == ImportJob::Pkcs7 && passwordForP7b);
    setPasswordEnabled(password);
    if (password)
        m_password->setFocus();
    if (m_existing->isChecked())
        m_ok->setEnabled(true);
}

void TIMForm::setPasswordEnabled(bool on)
{
    m_password->setEnabled(on);
    setGreyed(m_password, !on);
}

void TIMForm::containerChoiceChanged()
{
    const bool fresh = m_new->isChecked();
    m_name->setEnabled(fresh);
    m_random->setEnabled(fresh);
    m_names->setEnabled(!fresh);
    m_ok->setEnabled(fresh ? !m_name->text().isEmpty() : true);
}

void TIMForm::showPasswordLength()
{
    m_passwordLength->setText(QString::number(m_password->text().size()));
}

void TIMForm::refuse(const char* key, QWidget* focus)
{
    Messages::information(this, ResStrs::text(key));
    if (focus)
        focus->setFocus();
}

void TIMForm::confirm()
{
    const QString file = m_path->text();
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return refuse("I_SelectCert");
    qint32 count = 0;
    const ImportJob::Kind kind = kindOf(file);
    if (kind == ImportJob::X509) {
        count = 1;
    } else {
        const quint32 status = kind == ImportJob::Pkcs7
                                   ? CerMgrApis::ParseP7bFile(file, count)
                                   : CerMgrApis::ParsePkcs12File(file, m_password->text(), count);
        if (status != 0)
            return refuse("I_CertPINError", m_password);
        if (count <= 0)
            return refuse("I_CertFileError");
    }
    if (m_new->isChecked() && m_name->text().trimmed().isEmpty())
        return refuse("K_Cont_NullName");
    m_kind = kind;
    m_count = count;
    accept();
}
