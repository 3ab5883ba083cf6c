#include "ui/page_settings_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

#include "report/printer.h"
#include "report/resources.h"
#include "report/units.h"

namespace lgoty::ui {

using report::TPrinterOrientation;

namespace {

QString Text(const char* key) { return QString::fromStdString(report::frxGet(key)); }

}  // namespace

bool DesignerUsesInches(const std::string& ini_key) {
  // "\Software\Name" is kept as a native settings path, like the other registry keys.
  QString path = QString::fromStdString(ini_key).replace('\\', '/');
  while (path.startsWith('/')) path.remove(0, 1);
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, path);
  return settings.value("Form.TfrxDesignerForm/Units", 0).toInt() == 1;
}

TfrxPageSettingsForm::TfrxPageSettingsForm(const PageSetup& setup,
                                           report::TfrxCustomPrinter& printer, bool inches,
                                           QWidget* parent)
    : QDialog(parent), printer_(printer), unit_mm_(inches ? 25.4 : 10) {
  setWindowTitle(Text("psCaption"));
  QString unit = Text(inches ? "psInch" : "psCm");
  auto* layout = new QVBoxLayout(this);

  auto* paper_group = new QGroupBox(Text("psSize"), this);
  auto* paper_form = new QFormLayout(paper_group);
  size_ = new QComboBox(paper_group);
  for (size_t i = 0; i < printer.PaperNames().size(); ++i)
    size_->addItem(QString::fromStdString(printer.PaperNames()[i]), printer.Papers()[i]);
  int at = size_->findData(setup.paper);
  size_->setCurrentIndex(at >= 0 ? at : size_->findData(report::kPaperCustom));
  paper_form->addRow(size_);
  width_ = LengthBox();
  height_ = LengthBox();
  width_->setValue(ToUnits(setup.width));
  height_->setValue(ToUnits(setup.height));
  paper_form->addRow(Text("psWidth") + ", " + unit, width_);
  paper_form->addRow(Text("psHeight") + ", " + unit, height_);
  layout->addWidget(paper_group);

  auto* orientation_group = new QGroupBox(Text("psOrientation"), this);
  auto* orientation_row = new QHBoxLayout(orientation_group);
  portrait_ = new QRadioButton(Text("psPortrait"), orientation_group);
  landscape_ = new QRadioButton(Text("psLandscape"), orientation_group);
  (setup.orientation == TPrinterOrientation::poLandscape ? landscape_ : portrait_)->setChecked(true);
  orientation_row->addWidget(portrait_);
  orientation_row->addWidget(landscape_);
  layout->addWidget(orientation_group);

  auto* margins_group = new QGroupBox(Text("psMargins") + ", " + unit, this);
  auto* margins_form = new QFormLayout(margins_group);
  left_ = LengthBox();
  top_ = LengthBox();
  right_ = LengthBox();
  bottom_ = LengthBox();
  left_->setValue(ToUnits(setup.left));
  top_->setValue(ToUnits(setup.top));
  right_->setValue(ToUnits(setup.right));
  bottom_->setValue(ToUnits(setup.bottom));
  margins_form->addRow(Text("psLeft"), left_);
  margins_form->addRow(Text("psTop"), top_);
  margins_form->addRow(Text("psRight"), right_);
  margins_form->addRow(Text("psBottom"), bottom_);
  layout->addWidget(margins_group);

  current_ = new QRadioButton(Text("psApplyCurrent"), this);
  all_ = new QRadioButton(Text("psApplyAll"), this);
  (setup.all_pages ? all_ : current_)->setChecked(true);
  layout->addWidget(current_);
  layout->addWidget(all_);

  problem_ = new QLabel(this);
  problem_->setWordWrap(true);
  problem_->setStyleSheet("color: #b00000");
  problem_->hide();
  layout->addWidget(problem_);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Text("pdOk"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(Text("pdCancel"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrxPageSettingsForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(size_, &QComboBox::currentIndexChanged, this, &TfrxPageSettingsForm::PaperChanged);
  connect(portrait_, &QRadioButton::toggled, this, &TfrxPageSettingsForm::PaperChanged);
}

QDoubleSpinBox* TfrxPageSettingsForm::LengthBox() {
  auto* box = new QDoubleSpinBox(this);
  box->setDecimals(unit_mm_ > 10 ? 2 : 1);
  box->setRange(0, ToUnits(5000));
  return box;
}

void TfrxPageSettingsForm::PaperChanged() {
  int paper = size_->currentData().toInt();
  TPrinterOrientation orientation =
      landscape_->isChecked() ? TPrinterOrientation::poLandscape : TPrinterOrientation::poPortrait;
  double width = ToMm(width_->value()), height = ToMm(height_->value());
  if (paper == report::kPaperCustom) {
    // A custom size keeps its numbers; turning it lays it the other way.
    bool lying = width > height;
    if (lying != (orientation == TPrinterOrientation::poLandscape)) std::swap(width, height);
  }
  printer_.SetViewParams(paper, width, height, orientation);
  width_->setValue(ToUnits(printer_.PaperWidth()));
  height_->setValue(ToUnits(printer_.PaperHeight()));
}

QString TfrxPageSettingsForm::Problem() const {
  if (width_->value() <= 0 || height_->value() <= 0)
    return QString::fromUtf8("Ширина и высота страницы должны быть больше нуля.");
  if (left_->value() + right_->value() >= width_->value())
    return QString::fromUtf8("Левое и правое поля вместе не оставляют места на странице: "
                             "они должны быть меньше её ширины.");
  if (top_->value() + bottom_->value() >= height_->value())
    return QString::fromUtf8("Верхнее и нижнее поля вместе не оставляют места на странице: "
                             "они должны быть меньше её высоты.");
  return {};
}

void TfrxPageSettingsForm::accept() {
  const QString problem = Problem();
  if (!problem.isEmpty()) {
    problem_->setText(problem);
    problem_->show();
    adjustSize();  // room for the message without squeezing the boxes
    return;
  }
  QDialog::accept();
}

PageSetup TfrxPageSettingsForm::Result() const {
  PageSetup setup;
  setup.paper = size_->currentData().toInt();
  setup.width = ToMm(width_->value());
  setup.height = ToMm(height_->value());
  setup.orientation =
      landscape_->isChecked() ? TPrinterOrientation::poLandscape : TPrinterOrientation::poPortrait;
  setup.left = ToMm(left_->value());
  setup.top = ToMm(top_->value());
  setup.right = ToMm(right_->value());
  setup.bottom = ToMm(bottom_->value());
  setup.all_pages = all_->isChecked();
  return setup;
}

}  // namespace lgoty::ui
