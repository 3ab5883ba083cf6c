// The print dialog (TfrxPrintDialog, "Печать"): printer, print to file, pages, copies,
// page filter, order, print mode with the sheet, and duplex, over a PrintRequest.
#pragma once

#include <QDialog>
#include <functional>

#include "report/print_job.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace lgoty::ui {

class TfrxPrintDialog : public QDialog {
  Q_OBJECT
 public:
  // Shows the request's options; `printers` supplies the printer box and the sheet papers.
  TfrxPrintDialog(report::PrintRequest& request, report::TfrxPrinters& printers,
                  QWidget* parent = nullptr);

  // Asks for the print-to-file name; "" cancels. Replaceable for tests.
  std::function<QString()> ask_file_name;

  QComboBox* PrinterBox() const { return printer_box_; }
  QCheckBox* PrintToFile() const { return to_file_; }
  QRadioButton* AllPages() const { return all_; }
  QRadioButton* CurrentPage() const { return current_; }
  QRadioButton* Numbers() const { return numbers_; }
  QLineEdit* PageBox() const { return page_box_; }
  QSpinBox* Copies() const { return copies_; }
  QCheckBox* Collate() const { return collate_; }
  QComboBox* PrintPagesBox() const { return print_pages_; }
  QRadioButton* Reverse() const { return reverse_; }
  QComboBox* ModeBox() const { return mode_; }
  QComboBox* SheetBox() const { return sheet_; }
  QComboBox* DuplexBox() const { return duplex_; }

  void accept() override;
  void reject() override;

 private:
  void PrinterChosen(int index);
  void FillSheets();
  void ShowProperties();

  report::PrintRequest& request_;
  report::TfrxPrinters& printers_;
  int printer_before_;
  QComboBox* printer_box_;
  QCheckBox* to_file_;
  QRadioButton *all_, *current_, *numbers_;
  QLineEdit* page_box_;
  QSpinBox* copies_;
  QCheckBox* collate_;
  QComboBox* print_pages_;
  QRadioButton *direct_, *reverse_;
  QComboBox *mode_, *sheet_, *duplex_;
};

// The print host of the preview: message boxes and the print dialog over a parent window.
class QtPrintHost : public report::PrintHost {
 public:
  explicit QtPrintHost(QWidget* parent) : parent_(parent) {}
  void ShowMessage(const std::string& text) override;
  bool ShowPrintDialog(report::PrintRequest& request, report::TfrxPrinters& printers) override;

 private:
  QWidget* parent_;
};

// "name.txt" -> "name.prn": the extension is replaced (or added).
QString WithExtension(const QString& file_name, const QString& extension);

}  // namespace lgoty::ui
