// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

#include <initializer_list>

class QAction;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QObject;
class QTableWidget;
class QWidget;
class TActionButton;

// Small builders shared by the pages, so every named control is made the same way.
namespace PageWidgets {

// An action owned by the page, found by its name.
QAction* action(QObject* page, const char* name);
QLabel* label(QWidget* parent, const char* name, const QString& text = {});
// A single-line entry; masked entries echo "*" for every character.
QLineEdit* edit(QWidget* parent, const char* name, int maxLength, bool masked = false);
TActionButton* button(QWidget* parent, const char* name, QAction* action);
QGroupBox* group(QWidget* parent, const char* name);
// A read-only two-column report list with grid lines and whole-row selection.
QTableWidget* reportList(QWidget* parent, const char* name, int width1, int width2);
// A prompt in the tool's blue bold 14-pixel face, with a font of its own that the window font
// does not override.
QLabel* nameLabel(QWidget* parent, const char* name);

// A line at the top of a page's form that tells why the page's operation is off for the current
// token; hidden until the page finds the token lacks what the operation needs. Made before any other
// row of the form.
QLabel* unsupportedHint(QGridLayout* form, QWidget* parent, const char* name, const QString& text);

// Empties every masked entry under `root`: typed PINs and passwords do not outlive the token they
// were typed for.
void clearMaskedFields(QWidget* root);

// Lays the page out as the group box holding a form of rows (prompt | field | extra), centred
// in the page, and returns the form.
QGridLayout* formIn(QWidget* page, QGroupBox* group);
void addRow(QGridLayout* form, QWidget* prompt, QWidget* field, QWidget* extra = nullptr);
// A row of buttons under the fields, aligned with them on the right.
void addButtons(QGridLayout* form, std::initializer_list<QWidget*> buttons);

} // namespace PageWidgets
