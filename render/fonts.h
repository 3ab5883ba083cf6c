// Fonts of the report model as QFonts. Face names of templates name the usual desktop
// faces; fontconfig maps Arial, Times New Roman and Courier New to their metric-compatible
// Liberation faces, and the dialog faces fontconfig has no match for (Tahoma, MS Sans
// Serif) are mapped to Liberation Sans here. Hinting is off everywhere, so that measuring
// and drawing depend on the font files only, never on the desktop's settings.
#pragma once

#include <QFont>
#include <QString>
#include <string_view>

#include "report/canvas.h"

namespace lgoty::render {

// The family a face name is drawn with before fontconfig's own substitutions.
QString FamilyFor(std::string_view face_name);

// A font with the face, style bits and no hinting; the caller sets its size.
QFont MakeFont(const report::CanvasFont& font);

}  // namespace lgoty::render
