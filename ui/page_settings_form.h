// The page settings of the preview (TfrxPageSettingsForm, "Настройки страницы"): paper
// size from the printer's paper list, width and height, orientation and margins, applied
// to the current page or to every page. Lengths are kept in millimetres and shown in
// centimetres, or in inches when the designer's units setting asks for them.
#pragma once

#include <QDialog>

#include "ui/preview_document.h"

class QComboBox;
class QLabel;
class QDoubleSpinBox;
class QRadioButton;

namespace lgoty::report {
class TfrxCustomPrinter;
}

namespace lgoty::ui {


class TfrxPageSettingsForm : public QDialog {
  Q_OBJECT
 public:
  // `printer` supplies the size list and the sizes of its papers; it must outlive the form.
  TfrxPageSettingsForm(const PageSetup& setup, report::TfrxCustomPrinter& printer,
                       bool inches, QWidget* parent = nullptr);
  PageSetup Result() const;
  // What is wrong with the values entered (a page without width or height, margins that
  // leave no room on it), or empty when they can be applied. OK refuses while there is
  // something and shows it in the form.
  QString Problem() const;
  void accept() override;

  QComboBox* SizeBox() const { return size_; }
  QDoubleSpinBox* WidthBox() const { return width_; }
  QDoubleSpinBox* HeightBox() const { return height_; }
  QRadioButton* Portrait() const { return portrait_; }
  QRadioButton* Landscape() const { return landscape_; }
  QDoubleSpinBox* LeftBox() const { return left_; }
  QDoubleSpinBox* TopBox() const { return top_; }
  QDoubleSpinBox* RightBox() const { return right_; }
  QDoubleSpinBox* BottomBox() const { return bottom_; }
  QRadioButton* ApplyToAll() const { return all_; }
  QLabel* ProblemLabel() const { return problem_; }

 private:
  // Asks the printer for the chosen paper in the chosen orientation and shows its size.
  void PaperChanged();
  QDoubleSpinBox* LengthBox();
  double ToUnits(double mm) const { return mm / unit_mm_; }
  double ToMm(double units) const { return units * unit_mm_; }

  report::TfrxCustomPrinter& printer_;
  double unit_mm_;
  QComboBox* size_;
  QDoubleSpinBox *width_, *height_, *left_, *top_, *right_, *bottom_;
  QRadioButton *portrait_, *landscape_, *current_, *all_;
  QLabel* problem_;
};

// Whether the report's settings storage (ini key) asks for inches: the value "Units" in
// section "Form.TfrxDesignerForm" is 1.
bool DesignerUsesInches(const std::string& ini_key);

}  // namespace lgoty::ui
