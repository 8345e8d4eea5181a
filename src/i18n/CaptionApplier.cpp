// SPDX-License-Identifier: BSD-3-Clause
#include "CaptionApplier.h"

#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

namespace {

enum class Target
{
    Text,   // an action's text, a label's, a button's, a group box's title
    Column, // a list's column header
    Tab,    // an inner page's tab
};

struct Caption
{
    const char* control;
    Target target;
    int index;       // column or tab, from 0
    const char* key; // nullptr for a fixed text
    bool colon;      // an ASCII ":" follows the catalog text
    const char* fixedText = nullptr;
};

constexpr Caption kCaptions[] = {
    {"lv", Target::Column, 0, "Main_Form_ListView_Item1", false},
    {"lv", Target::Column, 1, "Main_Form_ListView_ITem2", false},
    {"Acrefresh", Target::Text, 0, "Main_Form_btn_Refresh", false},
    {"AcFindKeyRefresh", Target::Text, 0, "Main_Form_btn_Refresh", false},
    {"AcInputCert", Target::Text, 0, "Main_Form_btn_Import", false},
    {"AcOutput", Target::Text, 0, "Main_Form_btn_Output", false},
    {"AcDel", Target::Text, 0, "Main_Form_btn_Del", false},
    {"AcLogin", Target::Text, 0, "Login_Form_btn_OK", false},
    {"AcCancel", Target::Text, 0, "C_Btn_Cancel", false},
    {"Aclogout", Target::Text, 0, "K_Logout", false},
    {"AcListCert", Target::Text, 0, "btn_ViewCert", false},
    {"Label14", Target::Text, 0, "Login_Form_label_keyname", true},
    {"RzLabel1", Target::Text, 0, "Lonin_Form_lable_Key", true},
    {"Label2", Target::Text, 0, "UPINSet_Form_OldPIN", true},
    {"Label3", Target::Text, 0, "UPINSet_Form_NewPIN1", true},
    {"Label4", Target::Text, 0, "UPINSet_Form_NewPIN2", true},
    {"LVSystemInfo", Target::Column, 0, "CheckSys_Form_lv_Item1", false},
    {"LVSystemInfo", Target::Column, 1, "CheckSys_Form_lv_Item2", false},
    {"lInit_keyname", Target::Text, 0, "K_Info_labelName", true},
    {"lInit_gs", Target::Text, 0, "K_Info_manufacture", true},
    {"LInit_SOPIN", Target::Text, 0, "Admin_label_SOPIN", true},
    {"lInit_UPIN", Target::Text, 0, "Admin_label_UPIN", true},
    {"lINit_PINLenMax", Target::Text, 0, "K_Info_maxPinLen", true},
    {"lInit_PINLenMin", Target::Text, 0, "K_Info_minPinLen", true},
    {"LInit_TryCount", Target::Text, 0, "Admin_label_TryCount", true},
    {"LInit_Model", Target::Text, 0, "K_Info_Issuer", true},
    {"lInit_SOPINLenMax", Target::Text, 0, "K_Info_SOPIN_maxPinLen", true},
    {"lInit_SOPINLenMin", Target::Text, 0, "K_Info_SOPIN_minPinLen", true},
    {"LInit_TryCount_SOPIN", Target::Text, 0, "K_Info_SOPIN_TryCount", true},
    {"PCInit", Target::Tab, 0, "K_Info_Base", false},
    {"PCInit", Target::Tab, 1, "Admin_label_SOPIN", false},
    {"PCInit", Target::Tab, 2, "Admin_label_UPIN", false},
    {"Label8", Target::Text, 0, "KeyName_Form_Lable", true},
    {"AcInit", Target::Text, 0, "Admin_btn_Init", false},
    {"AcSetSOPIN", Target::Text, 0, "Admin_btn_SOPIN", false},
    {"AcUnlock", Target::Text, 0, "Admin_btn_Unlock", false},
    {"AcDownISO", Target::Text, 0, "Admin_btn_DownISO", false},
    {"AcSetUserPIN", Target::Text, 0, "C_btn_Set", false},
    {"AcSetKeyName", Target::Text, 0, "C_btn_Set", false},
    {"LAdmin_Old_SOPIN", Target::Text, 0, "Admin_label_OldSOPIN", true},
    {"LAdmin_New_SOPIN1", Target::Text, 0, "Admin_label_NewSOPIN1", true},
    {"LAdmin_new_SOPIN2", Target::Text, 0, "Admin_label_NewSOPIN2", true},
    {"LAdmin_SOPIN", Target::Text, 0, "Admin_label_SOPIN", true},
    {"LAdmin_New_UPIN1", Target::Text, 0, "Admin_label_NewUPIN1", true},
    {"LAdmin_New_UPIN2", Target::Text, 0, "Admin_label_NewUPIN2", true},
    {"LAdmin_UPIN", Target::Text, 0, "Admin_label_UPIN", true},
    {"LAdmin_ISOPath", Target::Text, 0, "Admin_label_ISOPath", true},
    {"AcRegCert", Target::Text, 0, "K_Cert_Reg", false},
    {"AcUnRegCert", Target::Text, 0, "K_Cert_UnReg", false},
    {"AcDelCert", Target::Text, 0, "K_Cert_Del", false},
    {"AcUpdate", Target::Text, 0, "U_CheckVersion", false},
    {"AcSave", Target::Text, 0, "btn_Save", false},
    {"AcMore", Target::Text, 0, "btn_More", false},
    {"AcFingerTest", Target::Text, 0, "F_Finger_Test", false},
    {"AcFingerDel", Target::Text, 0, "F_Finger_Del", false},
    {"AcFingerUnlock", Target::Text, 0, "F_User_Unlock", false},
    {"AcFingerlogon", Target::Text, 0, "F_Logon", false},
    {"AcFingerLoginCancel", Target::Text, 0, "C_Btn_Cancel", false},
    {"AcFinger_SOPIN_Login", Target::Text, 0, "F_Admin_Longin", false},
    {"AcFinger_SOPINFinger_Login", Target::Text, 0, "F_Logon", false},
    {"PCFinger", Target::Tab, 0, "F_User_Finger", false},
    {"LFingerInfo1", Target::Text, 0, "F_Finger_Info1", false},
    {"Label12", Target::Text, 0, "Login_Form_label_keyname", true},
    {"RzLabel2", Target::Text, 0, nullptr, false, "SO PIN:"},
    {"PCInit", Target::Tab, 3, "F_Finger_Set", false},
    {"Label22", Target::Text, 0, "F_Admin_MAXTry", false},
    {"Label24", Target::Text, 0, "F_Admin_Level", false},
    {"Label27", Target::Text, 0, "F_User_MAXTry", false},
    {"Label30", Target::Text, 0, "F_User_Level", false},
    {"RzGroupBox8", Target::Text, 0, "P_Remoteunlock", false},
    {"AcRequest", Target::Text, 0, "P_Gen", false},
    {"AcRemoteUnLock", Target::Text, 0, "P_Unlock", false},
    {"Label44", Target::Text, 0, "P_Request", true},
    {"Label45", Target::Text, 0, "P_Resporse", true},
};

QString captionText(const Caption& c)
{
    if (!c.key)
        return QString::fromUtf8(c.fixedText);
    QString text = ResStrs::text(c.key);
    if (c.colon)
        text += QLatin1Char(':');
    return text;
}

void setText(QObject* control, const QString& text)
{
    if (auto* action = qobject_cast<QAction*>(control))
        action->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(control))
        box->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
}

void setColumn(QObject* control, int column, const QString& text)
{
    if (auto* table = qobject_cast<QTableWidget*>(control)) {
        if (column >= table->columnCount())
            return;
        if (QTableWidgetItem* item = table->horizontalHeaderItem(column))
            item->setText(text);
        else
            table->setHorizontalHeaderItem(column, new QTableWidgetItem(text));
    } else if (auto* tree = qobject_cast<QTreeWidget*>(control)) {
        if (column < tree->columnCount())
            tree->headerItem()->setText(column, text);
    }
}

void setTab(QObject* control, int tab, const QString& text)
{
    auto* pages = qobject_cast<QTabWidget*>(control);
    if (pages && tab < pages->count())
        pages->setTabText(tab, text);
}

// The window's font size; the built-in 9 points when the catalog's text is not a positive integer.
int fontPointSize()
{
    bool ok = false;
    const int size = ResStrs::text("FontSize").trimmed().toInt(&ok);
    return ok && size > 0 ? size : 9;
}

// The version compiled into the tool as four numbers, as the file version resource would give it.
QString toolVersion()
{
#ifdef QX_VERSION_STRING
    QStringList parts = QStringLiteral(QX_VERSION_STRING).split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    while (parts.size() < 4)
        parts << QStringLiteral("0");
    return parts.mid(0, 4).join(QLatin1Char('.'));
#else
    return QString();
#endif
}

void loadPicture(QWidget* window, const char* control, const char* fileKey)
{
    auto* image = window->findChild<QLabel*>(QLatin1String(control));
    const QString name = ResStrs::text(fileKey).trimmed();
    if (!image || name.isEmpty())
        return;
    const QFileInfo file(AppPaths::applicationDir() + QStringLiteral("res/") + name);
    if (!file.isFile())
        return;
    QPixmap picture(file.filePath());
    if (!picture.isNull())
        image->setPixmap(picture);
}

} // namespace

namespace CaptionApplier {

void apply(QWidget* window)
{
    QFont font = window->font();
    const QString family = ResStrs::text("FontName").trimmed();
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSize(fontPointSize());
    window->setFont(font);

    window->setWindowTitle(windowCaption(ResStrs::text("P_Caption"), toolVersion()));

    for (const Caption& c : kCaptions) {
        QObject* control = window->findChild<QObject*>(QLatin1String(c.control));
        if (!control)
            continue;
        const QString text = captionText(c);
        switch (c.target) {
        case Target::Text:
            setText(control, text);
            break;
        case Target::Column:
            setColumn(control, c.index, text);
            break;
        case Target::Tab:
            setTab(control, c.index, text);
            break;
        }
    }

    loadPicture(window, "Image1", "P_topImg");
    loadPicture(window, "Image6", "P_GSImg");
}

QStringList controlNames()
{
    QStringList names;
    for (const Caption& c : kCaptions)
        if (!names.contains(QLatin1String(c.control)))
            names << QLatin1String(c.control);
    return names;
}

QStringList colonKeys()
{
    QStringList keys;
    for (const Caption& c : kCaptions)
        if (c.colon && c.key && !keys.contains(QLatin1String(c.key)))
            keys << QLatin1String(c.key);
    return keys;
}

QString windowCaption(const QString& caption, const QString& version)
{
    return caption + QStringLiteral("  V") + version;
}

} // namespace CaptionApplier
