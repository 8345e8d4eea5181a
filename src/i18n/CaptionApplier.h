// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QStringList>

class QWidget;

// Puts the catalog's texts, font and pictures on the main window. The window's controls are found
// by name anywhere below the window, so this does not depend on how the window is put together.
namespace CaptionApplier {

// Window font, versioned window caption, every control text and the banner and about pictures.
// A control the window does not have is skipped.
void apply(QWidget* window);

// The names of every control and action that receives a text, in the order they receive it.
QStringList controlNames();

// The catalog keys whose caption gets an ASCII ":" after the text; the shipped Chinese file gives
// them without the full-width colon the built-in texts end in, so the label shows one colon.
QStringList colonKeys();

// The window caption for a catalog caption and a version text: the two are joined by "  V".
QString windowCaption(const QString& caption, const QString& version);

} // namespace CaptionApplier
