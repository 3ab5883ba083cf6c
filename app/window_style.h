// Looks shared by the register's windows: the form font and the colours of captions.
#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

namespace lgoty::app {

inline const QColor kTeal(0x00, 0x80, 0x80);
inline const QColor kMaroon(0x80, 0x00, 0x00);
inline const QColor kBlue(0x00, 0x00, 0xFF);

// "MS Sans Serif", 8 points (height -11 at 96 dpi); the face maps to Liberation Sans.
QFont FormFont();
// Maps the old desktop faces the windows name to the fonts that stand in for them.
void InstallFontSubstitutes();
// Loads Qt's own Russian texts (standard buttons, file dialogs) whatever the locale: the
// program speaks Russian. False when the translation files are not installed.
bool InstallRussianTranslations();
// Sets the text colour of a label, edit or button.
void SetTextColor(QWidget* widget, const QColor& color);

}  // namespace lgoty::app
