// TFormPlacement: keeps a window's position, size and state (normal or maximised) between
// runs. The file is an INI file named after the program ("<program>.INI") in the user's
// configuration folder, one section per window named after the window's class ("TFMain",
// "TFPers"). Keys:
//   Left, Top, Width, Height   the normal (not maximised) client rectangle in pixels
//   State                      0 normal, 2 maximised
// Restore() is meant for the first show, Save() for when the window goes away. A missing or
// unreadable entry leaves the window as designed; a geometry that lies wholly off every
// screen is not applied, and one partly off is moved so that its title bar is on screen.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace lgoty::ui {

class TFormPlacement {
 public:
  TFormPlacement(QWidget* form, QString section);

  // The INI file: <user configuration folder>/<program name>.INI.
  static QString IniFileName();
  const QString& Section() const { return section_; }

  void Restore();
  void Save() const;
  bool Restored() const { return restored_; }
  // Moves rect (a client rectangle) onto the available part of the screen it covers most,
  // with room above it for the title bar; false when it covers no screen.
  static bool FitOnScreen(QRect& rect);

 private:
  QWidget* form_;  // borrowed: the window that owns this keeper
  QString section_;
  bool restored_ = false;
};

}  // namespace lgoty::ui
