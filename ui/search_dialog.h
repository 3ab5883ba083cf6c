// The find dialog of the preview (TfrxSearchDialog, "Искать текст").
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace lgoty::ui {

class TfrxSearchDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TfrxSearchDialog(QWidget* parent = nullptr);
  QLineEdit* TextEdit() const { return text_; }
  QCheckBox* FromStart() const { return from_start_; }
  QCheckBox* CaseSensitive() const { return case_; }

 private:
  QLineEdit* text_;
  QCheckBox *from_start_, *case_;
};

}  // namespace lgoty::ui
