// SPDX-License-Identifier: BSD-3-Clause
#include "TInitPage.h"

#include "i18n/ResStrs.h"
#include "pinadmin/SoPinVerdict.h"
#include "pinadmin/TInitDefaults.h"
#include "platform/ActionUpdater.h"
#include "platform/DialogService.h"
#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"
#include "token/SecretBuffer.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <vector>

using namespace PageWidgets;

namespace {

// One field of an inner page: an entry when `maxLength` is set, otherwise a spin field.
struct InitField
{
    const char* prompt;
    const char* field;
    int maxLength;
    const char* text;
    int minimum;
    int maximum;
    int value;
};

struct InitTab
{
    const char* name;
    std::vector<InitField> fields;
};

const InitTab kTabs[] = {
    {"TabSheet12",
     {{"lInit_keyname", "edtInit_KeyName", 31, "QX4100", 0, 0, 0},
      {"lInit_gs", "edtInit_GS", 32, "Vostrel", 0, 0, 0},
      {"LInit_Model", "edtInit_UnLockPIN", 32, "Vostrel", 0, 0, 0}}},
    {"TabSheet13",
     {{"LInit_SOPIN", "edtInit_SPIN", 16, "qzrbn", 0, 0, 0},
      {"lInit_SOPINLenMin", "edtInit_SOPINlenMin", 0, nullptr, 4, 16, 4},
      {"lInit_SOPINLenMax", "edtInit_SOPINlenMax", 0, nullptr, 4, 16, 16},
      {"LInit_TryCount_SOPIN", "edtInit_MaxCount_SOPIN", 0, nullptr, 1, 15, 10}}},
    {"TabSheet14",
     {{"lInit_UPIN", "edtInit_UPIN", 16, "58203164", 0, 0, 0},
      {"lInit_PINLenMin", "edtInit_PINlenMin", 0, nullptr, 4, 16, 4},
      {"lINit_PINLenMax", "edtInit_PINLenMax", 0, nullptr, 4, 16, 16},
      {"LInit_TryCount", "edtInit_MaxCount", 0, nullptr, 1, 15, 10}}},
    {"TabSheet19",
     {{"Label22", "edtInit_SOPINTry", 0, nullptr, 1, 15, 10},
      {"Label24", "edtInit_SOPINLeve", 0, nullptr, 1, 3, 1},
      {"Label27", "edtInit_UPINTry", 0, nullptr, 1, 15, 10},
      {"Label30", "edtInit_UPINLeve", 0, nullptr, 1, 3, 1}}},
};

QWidget* makeField(QWidget* tab, const InitField& f, QLabel** range)
{
    if (f.maxLength > 0) {
        auto* e = edit(tab, f.field, f.maxLength);
        e->setText(QString::fromUtf8(f.text));
        return e;
    }
    auto* spin = new QSpinBox(tab);
    spin->setObjectName(QLatin1String(f.field));
    spin->setRange(f.minimum, f.maximum);
    // A typed value out of range is pulled back into it when the field is left.
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    spin->setValue(f.value);
    *range = label(tab, (QByteArray(f.field) + "_Range").constData(),
                   QStringLiteral("(%1--%2)").arg(f.minimum).arg(f.maximum));
    return spin;
}

} // namespace

TInitPage::TInitPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_pcInit(new QTabWidget(this))
{
    setObjectName(QStringLiteral("TabSheet8"));
    m_pcInit->setObjectName(QStringLiteral("PCInit"));

    for (const InitTab& t : kTabs) {
        auto* tab = new QWidget;
        tab->setObjectName(QLatin1String(t.name));
        auto* form = new QGridLayout(tab);
        form->setColumnMinimumWidth(1, 160);
        form->setColumnStretch(3, 1);
        int row = 0;
        for (const InitField& f : t.fields) {
            QLabel* range = nullptr;
            QWidget* field = makeField(tab, f, &range);
            form->addWidget(label(tab, f.prompt), row, 0, Qt::AlignRight | Qt::AlignVCenter);
            form->addWidget(field, row, 1);
            if (range)
                form->addWidget(range, row, 2);
            ++row;
        }
        form->setRowStretch(row, 1);
        m_pcInit->addTab(tab, QString());
    }
    m_edtInitKeyName = m_pcInit->findChild<QLineEdit*>(QStringLiteral("edtInit_KeyName"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_init = action(this, "AcInit");
    buttons->addWidget(button(this, "Button14", m_init));
    connect(m_init, &QAction::triggered, this, &TInitPage::initialize);
    ActionUpdater::instance().add(m_init, [this] {
        return !m_edtInitKeyName->text().isEmpty() && !text("edtInit_GS")->text().isEmpty();
    });
    // A typed value is clamped when the field is left, before anything reads it.
    for (QSpinBox* s : findChildren<QSpinBox*>())
        connect(s, &QSpinBox::editingFinished, s, [s] { s->setValue(s->value()); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pcInit);
    layout->addLayout(buttons);
}

void TInitPage::setKeyName(const QString& label)
{
    m_edtInitKeyName->setText(label);
}

QLineEdit* TInitPage::text(const char* name) const
{
    return m_pcInit->findChild<QLineEdit*>(QLatin1String(name));
}

QSpinBox* TInitPage::spin(const char* name) const
{
    return m_pcInit->findChild<QSpinBox*>(QLatin1String(name));
}

void TInitPage::fill()
{
    TInitDefaults d;
    if (!d.read(TInitDefaults::readPath()))
        return;
    text("edtInit_KeyName")->setText(d.LabelName);
    text("edtInit_GS")->setText(d.manufacture);
    text("edtInit_UnLockPIN")->setText(d.Issuer);
    text("edtInit_SPIN")->setText(d.default_sopin);
    text("edtInit_UPIN")->setText(d.default_upin);
    // QSpinBox::setValue clamps to the field's range.
    spin("edtInit_PINLenMax")->setValue(d.maxUPINLen);
    spin("edtInit_PINlenMin")->setValue(d.minUPINLen);
    spin("edtInit_MaxCount")->setValue(d.uPinRetryTimes);
    spin("edtInit_SOPINlenMax")->setValue(d.maxSOPINLen);
    spin("edtInit_SOPINlenMin")->setValue(d.minSOPINLen);
    spin("edtInit_MaxCount_SOPIN")->setValue(d.soPinRetryTimes);
    spin("edtInit_SOPINTry")->setValue(d.F_AdminRetryTimes);
    spin("edtInit_SOPINLeve")->setValue(d.F_AdminLevel);
    spin("edtInit_UPINTry")->setValue(d.F_UserRetryTimes);
    spin("edtInit_UPINLeve")->setValue(d.F_UserLevel);
}

TInitDefaults TInitPage::defaultsFromPage() const
{
    TInitDefaults d;
    d.LabelName = text("edtInit_KeyName")->text();
    d.manufacture = text("edtInit_GS")->text();
    d.Issuer = text("edtInit_UnLockPIN")->text();
    d.default_sopin = text("edtInit_SPIN")->text();
    d.default_upin = text("edtInit_UPIN")->text();
    d.uPinRetryTimes = spin("edtInit_MaxCount")->value();
    d.soPinRetryTimes = spin("edtInit_MaxCount_SOPIN")->value();
    d.minUPINLen = spin("edtInit_PINlenMin")->value();
    d.maxUPINLen = spin("edtInit_PINLenMax")->value();
    d.minSOPINLen = spin("edtInit_SOPINlenMin")->value();
    d.maxSOPINLen = spin("edtInit_SOPINlenMax")->value();
    // The fingerprint keys are written with their fixed values whatever the fields hold.
    return d;
}

void TInitPage::initialize()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    const auto outside = [](qsizetype length, const QSpinBox* min, const QSpinBox* max) {
        return length < min->value() || length > max->value();
    };
    if (outside(text("edtInit_SPIN")->text().size(), spin("edtInit_SOPINlenMin"),
                spin("edtInit_SOPINlenMax"))) {
        Messages::information(owner, ResStrs::text("SOPIN_E2"));
        return;
    }
    if (outside(text("edtInit_UPIN")->text().size(), spin("edtInit_PINlenMin"), spin("edtInit_PINLenMax"))) {
        Messages::information(owner, ResStrs::text("UPIN_E2"));
        return;
    }
    const TInitDefaults d = defaultsFromPage();
    if (d.LabelName.toUtf8().size() > TInitDefaults::MaxLabelBytes) {
        m_edtInitKeyName->setFocus();
        Messages::information(owner, ResStrs::text("K_Len_Error"));
        return;
    }

    QString soPin;
    if (token->info().Initialized != 0) {
        if (!Messages::question(owner,
                                ResStrs::text("K_Init_Info") + QChar(13) + ResStrs::text("K_Init_try")))
            return;
        CerMgrApis::ReadPinState(slot, PinType::So, token->pinState());
        if (token->pinState().Locked == 1) {
            Messages::information(owner, ResStrs::text("K_Dead"));
            return;
        }
        soPin = DialogService::instance()
                    .soPinInput(owner, ResStrs::text("K_Verify"),
                                ResStrs::text("K_InputSOPIN") + QLatin1Char(':'), QString(),
                                ResStrs::text("C_Btn_Confirm"), ResStrs::text("C_Btn_Cancel"))
                    .trimmed();
        if (soPin.isEmpty())
            return;
        qint32 retriesLeft = 0;
        if (CerMgrApis::LoginSO(slot, soPin, retriesLeft) != 0) {
            Messages::information(owner, SoPinVerdict(retriesLeft));
            return;
        }
    }
    // Whoever was logged in, on the token or on its device, is not once it is formatted.
    token->logout();
    QByteArray record = d.formatRecord();
    const auto wipeRecord = qScopeGuard([&record] { SecretBuffer::wipe(record); });

    // The fingerprints are this token's own, on its own device: another token's stay as they are.
    TSkfBinding* skf = token->skf();
    HAPPLICATION application = token->application();
    quint32 status = 0;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        CerMgrApis::RemoveAllCertsFromStore(ResStrs::text("PROVIDER_NAME"));
        CerMgrApis::SetTokenLabel(slot, d.LabelName.trimmed());
        if (application) {
            uint32_t retries = 0;
            skf->VerifyPIN(application, SKF_ADMIN_TYPE, soPin, &retries);
            skf->DeleteFinger(application, SKF_ADMIN_TYPE, SKF_ALL_FINGERS);
            skf->DeleteFinger(application, SKF_USER_TYPE, SKF_ALL_FINGERS);
            skf->ClearSecureState(application);
        }
        status = CerMgrApis::FormatToken(slot, record);
    }
    if (status != 0) {
        Messages::information(owner, ResStrs::text("Change_No") + QStringLiteral("(%1)").arg(qint32(status)));
        return;
    }

    const QString defaultsPath = TInitDefaults::writePath();
    const bool defaultsSaved = d.write(defaultsPath);
    if (skf && token->hasSensor()) {
        skf->LoadFingerDevices();
        if ((application = token->findApplication())) {
            uint32_t retries = 0;
            skf->VerifyPIN(application, SKF_ADMIN_TYPE, d.default_sopin, &retries);
            skf->InitFinger(application, uint32_t(spin("edtInit_UPINTry")->value()),
                            uint32_t(spin("edtInit_SOPINTry")->value()),
                            uint32_t(spin("edtInit_UPINLeve")->value()),
                            uint32_t(spin("edtInit_SOPINLeve")->value()));
            // The administrator's authentication served the set-up only.
            skf->ClearSecureState(application);
        }
    }
    Q_EMIT initialized();
    // The token is done either way; a defaults file left as it was must not pass for success.
    Messages::information(owner, defaultsSaved
                                     ? ResStrs::text("Change_Yes")
                                     : ResStrs::text("Admin_InitDefaults_Error") + QLatin1Char(' ') +
                                           QDir::toNativeSeparators(defaultsPath));
}
