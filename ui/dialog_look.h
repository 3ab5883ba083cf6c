// How report objects look and sound on Qt: colours, fonts, pictures and key codes of the
// dialog pages.
//
// Colours are Windows RGB values (0x00BBGGRR) or system colour codes (0x80000000 | index);
// system colours take the matching role of the widget's palette. Fonts keep their pixel
// height (a negative Height is the character height without leading, as Qt's pixel size);
// Tahoma and MS Sans Serif, the faces of dialog forms, are shown as Liberation Sans.
// Scripts see keys as the window system's virtual-key codes and Shift as a set of bits
// (report/dialog_events.h).
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <optional>

#include "report/graphics.h"

namespace lgoty::ui {

// The palette colour a report colour stands for; nullopt for clTransparent.
std::optional<QColor> QColorFromReport(report::TColor color, const QPalette& palette);
QFont QFontFromReport(const report::TfrxFont& font);
// A picture stored in a template (the bare image file bytes, or with the class-name
// prefix of the old picture streams); a null pixmap when the bytes are no image.
QPixmap QPixmapFromReport(const report::TfrxPicture& picture);

// Virtual-key code of a Qt key (0 when it has none) and back (Qt::Key_unknown).
int VirtualKeyFromQt(int qt_key);
int QtKeyFromVirtualKey(int virtual_key);
// The Shift bits of keyboard modifiers and mouse buttons.
int ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

}  // namespace lgoty::ui
