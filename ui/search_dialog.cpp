#include "ui/search_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "report/resources.h"

namespace lgoty::ui {

TfrxSearchDialog::TfrxSearchDialog(QWidget* parent) : QDialog(parent) {
  auto text = [](const char* key) { return QString::fromStdString(report::frxGet(key)); };
  setWindowTitle(text("sdCaption"));
  auto* layout = new QFormLayout(this);
  text_ = new QLineEdit(this);
  text_->setMinimumWidth(240);
  layout->addRow(text("sdText"), text_);
  from_start_ = new QCheckBox(text("sdFromStart"), this);
  case_ = new QCheckBox(text("sdCase"), this);
  layout->addRow(from_start_);
  layout->addRow(case_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(text("pdOk"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(text("pdCancel"), QDialogButtonBox::RejectRole);
  layout->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace lgoty::ui
