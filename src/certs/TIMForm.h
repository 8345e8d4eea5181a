// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "certs/ImportJob.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The import dialog: the certificate file with its password, the target container (a new one or an
// existing one) and the key usage. OK parses the file, so after it the token manager library holds
// the parsed file and kind() and certCount() tell what it is.
class TIMForm : public QDialog
{
    Q_OBJECT
public:
    // Longest new container name the dialog takes.
    static constexpr int MaxContainerName = 40;

    explicit TIMForm(QWidget* parent = nullptr);
    ~TIMForm() override;

    // The token's containers: none makes a new container the only choice; otherwise the list is
    // offered with `preselect` chosen (the first when out of range) and the existing container checked.
    void setContainers(const QStringList& names, int preselect);

    // The file's kind by its name's extension: ".cer" X.509, ".p7b" PKCS#7, anything else PKCS#12.
    static ImportJob::Kind kindOf(const QString& path);

    bool newContainer() const;
    QString newContainerName() const; // as typed, untrimmed
    QString existingContainer() const;
    int existingIndex() const;
    bool exchange() const;
    QString path() const;
    ImportJob::Kind kind() const { return m_kind; }
    int certCount() const { return m_count; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void browse();
    void takeFile(const QString& path, bool passwordForP7b);
    void setPasswordEnabled(bool on);
    void containerChoiceChanged();
    void showPasswordLength();
    void confirm();
    // Shows a refusal and keeps the dialog open.
    void refuse(const char* key, QWidget* focus = nullptr);

    ImportJob::Kind m_kind = ImportJob::Pkcs12;
    int m_count = 0;

    QGroupBox* m_fileGroup;
    QLineEdit* m_path;
    QPushButton* m_browse;
    QLabel* m_passwordPrompt;
    QLineEdit* m_password;
    QLabel* m_passwordLength;
    QGroupBox* m_containerGroup;
    QRadioButton* m_new;
    QPushButton* m_random;
    QLineEdit* m_name;
    QRadioButton* m_existing;
    QComboBox* m_names;
    QGroupBox* m_usageGroup;
    QRadioButton* m_exchange;
    QRadioButton* m_signature;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
