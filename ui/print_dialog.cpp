#include "ui/print_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "report/resources.h"
#include "report/units.h"
#include "ui/qt_printer.h"

namespace lgoty::ui {

using report::frxGet;
using report::TfrxDuplexMode;
using report::TfrxPrintMode;
using report::TfrxPrintPages;

namespace {

QString Text(const char* key) { return QString::fromStdString(frxGet(key)); }

// "Caption (*.ext)|*.ext" -> "Caption (*.ext)" as Qt's file dialogs want it.
QString QtFilter(const char* key) { return Text(key).section('|', 0, 0); }

}  // namespace

QString WithExtension(const QString& file_name, const QString& extension) {
  QFileInfo info(file_name);
  QString base = info.suffix().isEmpty() ? file_name
                                         : file_name.left(file_name.size() - info.suffix().size() - 1);
  return base + extension;
}

TfrxPrintDialog::TfrxPrintDialog(report::PrintRequest& request, report::TfrxPrinters& printers,
                                 QWidget* parent)
    : QDialog(parent), request_(request), printers_(printers),
      printer_before_(printers.PrinterIndex()) {
  setWindowTitle(Text("pdCaption"));
  const report::TfrxPrintOptions& options = request.options;
  auto* layout = new QVBoxLayout(this);

  auto* printer_group = new QGroupBox(Text("pdPrinter"), this);
  auto* printer_row = new QHBoxLayout(printer_group);
  printer_box_ = new QComboBox(printer_group);
  for (const std::string& name : printers.Names())
    printer_box_->addItem(QString::fromStdString(name));
  printer_box_->setCurrentIndex(printers.PrinterIndex());
  printer_row->addWidget(printer_box_, 1);
  auto* properties = new QPushButton(Text("pdProperties"), printer_group);
  printer_row->addWidget(properties);
  to_file_ = new QCheckBox(Text("pdPrintToFile"), printer_group);
  printer_row->addWidget(to_file_);
  layout->addWidget(printer_group);

  auto* middle = new QHBoxLayout;
  auto* pages_group = new QGroupBox(Text("pdPageRange"), this);
  auto* pages_layout = new QVBoxLayout(pages_group);
  all_ = new QRadioButton(Text("pdAll"), pages_group);
  current_ = new QRadioButton(Text("pdCurrent"), pages_group);
  numbers_ = new QRadioButton(Text("pdNumbers"), pages_group);
  page_box_ = new QLineEdit(pages_group);
  auto* numbers_row = new QHBoxLayout;
  numbers_row->addWidget(numbers_);
  numbers_row->addWidget(page_box_, 1);
  auto* hint = new QLabel(Text("pdNumbersHint"), pages_group);
  hint->setWordWrap(true);
  pages_layout->addWidget(all_);
  pages_layout->addWidget(current_);
  pages_layout->addLayout(numbers_row);
  pages_layout->addWidget(hint);
  if (options.page_numbers.empty()) {
    all_->setChecked(true);
  } else {
    numbers_->setChecked(true);
    page_box_->setText(QString::fromStdString(options.page_numbers));
  }
  // Typing page numbers chooses "Номера:".
  connect(page_box_, &QLineEdit::textEdited, this, [this] { numbers_->setChecked(true); });
  middle->addWidget(pages_group, 1);

  auto* copies_group = new QGroupBox(Text("pdCopies"), this);
  auto* copies_layout = new QFormLayout(copies_group);
  copies_ = new QSpinBox(copies_group);
  copies_->setRange(1, 999);
  copies_->setValue(std::max(options.copies, 1));
  copies_layout->addRow(Text("pdCopiesCount"), copies_);
  collate_ = new QCheckBox(Text("pdCollate"), copies_group);
  collate_->setChecked(options.collate);
  copies_layout->addRow(collate_);
  middle->addWidget(copies_group);
  layout->addLayout(middle);

  auto* other = new QFormLayout;
  print_pages_ = new QComboBox(this);
  print_pages_->addItems({Text("pdAllPages"), Text("pdOddPages"), Text("pdEvenPages")});
  print_pages_->setCurrentIndex(static_cast<int>(options.print_pages));
  other->addRow(Text("pdPrintPages"), print_pages_);

  auto* order_row = new QHBoxLayout;
  direct_ = new QRadioButton(Text("pdDirect"), this);
  reverse_ = new QRadioButton(Text("pdReverse"), this);
  (options.reverse ? reverse_ : direct_)->setChecked(true);
  order_row->addWidget(direct_);
  order_row->addWidget(reverse_);
  order_row->addStretch(1);
  other->addRow(Text("pdOrder"), order_row);

  mode_ = new QComboBox(this);
  mode_->addItems({Text("pdModeDefault"), Text("pdModeSplit"), Text("pdModeJoin"),
                   Text("pdModeScale")});
  mode_->setCurrentIndex(static_cast<int>(options.print_mode));
  other->addRow(Text("pdPrintMode"), mode_);
  sheet_ = new QComboBox(this);
  other->addRow(Text("pdPrintOnSheet"), sheet_);
  duplex_ = new QComboBox(this);
  duplex_->addItems({Text("pdDuplexDefault"), Text("pdDuplexVertical"),
                     Text("pdDuplexHorizontal"), Text("pdDuplexNone")});
  duplex_->setCurrentIndex(static_cast<int>(request.duplex));
  other->addRow(Text("pdDuplex"), duplex_);
  layout->addLayout(other);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Text("pdOk"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(Text("pdCancel"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  FillSheets();
  auto sync_sheet = [this] { sheet_->setEnabled(mode_->currentIndex() != 0); };
  connect(mode_, &QComboBox::currentIndexChanged, this, sync_sheet);
  sync_sheet();
  connect(printer_box_, &QComboBox::currentIndexChanged, this, &TfrxPrintDialog::PrinterChosen);
  connect(properties, &QPushButton::clicked, this, &TfrxPrintDialog::ShowProperties);

  ask_file_name = [this] {
    return QFileDialog::getSaveFileName(this, QString(), QString(), QtFilter("pdPrnFilter"));
  };
}

void TfrxPrintDialog::PrinterChosen(int index) {
  try {
    printers_.SetPrinterIndex(index);
  } catch (const std::exception& error) {
    QMessageBox::critical(this, windowTitle(), QString::fromUtf8(error.what()));
  }
  FillSheets();
}

void TfrxPrintDialog::FillSheets() {
  int wanted = request_.options.print_on_sheet;
  if (sheet_->count() > 0) {
    bool ok = false;
    int shown = sheet_->currentData().toInt(&ok);
    if (ok) wanted = shown;
  }
  sheet_->clear();
  report::TfrxCustomPrinter& printer = printers_.Printer();
  for (size_t i = 0; i < printer.PaperNames().size(); ++i)
    sheet_->addItem(QString::fromStdString(printer.PaperNames()[i]), printer.Papers()[i]);
  int at = sheet_->findData(wanted);
  if (at < 0) at = sheet_->findData(report::kPaperA4);
  sheet_->setCurrentIndex(std::max(at, 0));
}

void TfrxPrintDialog::ShowProperties() {
  auto* printer = dynamic_cast<TfrxQtPrinter*>(&printers_.Printer());
  if (!printer) return;
  QPageSetupDialog dialog(&printer->Device(), this);
  dialog.exec();
}

void TfrxPrintDialog::accept() {
  request_.output_file.clear();
  if (to_file_->isChecked()) {
    QString name = ask_file_name ? ask_file_name() : QString();
    if (name.isEmpty()) {
      reject();
      return;
    }
    request_.output_file = WithExtension(name, ".prn").toStdString();
  }
  report::TfrxPrintOptions& options = request_.options;
  options.copies = copies_->value();
  options.collate = collate_->isChecked();
  if (all_->isChecked())
    options.page_numbers.clear();
  else if (current_->isChecked())
    options.page_numbers = std::to_string(request_.current_page);
  else
    options.page_numbers = page_box_->text().toStdString();
  options.print_pages = static_cast<TfrxPrintPages>(print_pages_->currentIndex());
  request_.duplex = static_cast<TfrxDuplexMode>(duplex_->currentIndex());
  options.reverse = reverse_->isChecked();
  options.print_mode = static_cast<TfrxPrintMode>(mode_->currentIndex());
  options.print_on_sheet = sheet_->currentData().toInt();
  options.printer = printer_box_->currentText().toStdString();
  QDialog::accept();
}

void TfrxPrintDialog::reject() {
  if (printers_.PrinterIndex() != printer_before_) {
    try {
      printers_.SetPrinterIndex(printer_before_);
    } catch (const std::exception&) {
      // The printer was usable when the dialog opened; nothing else to fall back to.
    }
  }
  QDialog::reject();
}

void QtPrintHost::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QApplication::applicationName(),
                           QString::fromStdString(text));
}

bool QtPrintHost::ShowPrintDialog(report::PrintRequest& request, report::TfrxPrinters& printers) {
  TfrxPrintDialog dialog(request, printers, parent_);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace lgoty::ui
