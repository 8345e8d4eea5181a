#include "TInitPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
    buttons->addWidget(button(this, "Button14", action(this, "AcInit")));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pcInit);
    layout->addLayout(buttons);
}

void TInitPage::setKeyName(const QString& label)
{
    m_edtInitKeyName->setText(label);
}
