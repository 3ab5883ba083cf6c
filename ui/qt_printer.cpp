#include "ui/qt_printer.h"

#include <QPageLayout>
#include <QPrinterInfo>

#include "core/exception.h"
#include "report/units.h"

namespace lgoty::ui {

using report::PrintParams;
using report::TfrxDuplexMode;
using report::TPrinterOrientation;

std::vector<std::string> QtPrinterSystem::PrinterNames() {
  std::vector<std::string> names;
  for (const QString& name : QPrinterInfo::availablePrinterNames())
    names.push_back(name.toStdString());
  return names;
}

std::string QtPrinterSystem::DefaultPrinterName() {
  return QPrinterInfo::defaultPrinterName().toStdString();
}

std::unique_ptr<report::TfrxCustomPrinter> QtPrinterSystem::CreatePrinter(
    const std::string& name) {
  return std::make_unique<TfrxQtPrinter>(name);
}

void UseQtPrinters() {
  static QtPrinterSystem system;
  static bool installed = false;
  if (installed) return;
  installed = true;
  report::SetPrinterSystem(&system);
}

QPageSize PageSizeOfPaper(int paper, double width_mm, double height_mm) {
  if (paper != report::kPaperCustom) {
    QPageSize::PageSizeId id = QPageSize::id(paper);
    if (id != QPageSize::Custom) return QPageSize(id);
  }
  QSizeF portrait(std::min(width_mm, height_mm), std::max(width_mm, height_mm));
  if (portrait.width() <= 0) portrait = QSizeF(210, 297);
  return QPageSize(portrait, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

namespace {

TfrxDuplexMode FromQt(QPrinter::DuplexMode mode) {
  switch (mode) {
    case QPrinter::DuplexLongSide: return TfrxDuplexMode::dmVertical;
    case QPrinter::DuplexShortSide: return TfrxDuplexMode::dmHorizontal;
    case QPrinter::DuplexNone: return TfrxDuplexMode::dmSimplex;
    default: return TfrxDuplexMode::dmNone;
  }
}

QPrinter::DuplexMode ToQt(TfrxDuplexMode mode) {
  switch (mode) {
    case TfrxDuplexMode::dmVertical: return QPrinter::DuplexLongSide;
    case TfrxDuplexMode::dmHorizontal: return QPrinter::DuplexShortSide;
    case TfrxDuplexMode::dmSimplex: return QPrinter::DuplexNone;
    default: return QPrinter::DuplexAuto;
  }
}

}  // namespace

TfrxQtPrinter::TfrxQtPrinter(const std::string& name) : TfrxCustomPrinter(name, "") {}

TfrxQtPrinter::~TfrxQtPrinter() {
  if (painter_.isActive()) painter_.end();
}

void TfrxQtPrinter::ReadDriverDefaults() {
  QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(name_));
  if (info.isNull()) throw core::Exception("printer not found: " + name_);
  port_ = info.location().toStdString();
  printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  if (!printer_->isValid()) throw core::Exception("printer not valid: " + name_);
  printer_->setFullPage(true);
  for (const QPageSize& size : info.supportedPageSizes()) {
    int number = size.windowsId();
    if (number <= 0 || number == report::kPaperCustom || PaperIndex(number) >= 0) continue;
    paper_names_.push_back(size.name().toStdString());
    papers_.push_back(number);
  }
  QPageSize default_size = info.defaultPageSize();
  def_paper_ = default_size.isValid() && default_size.windowsId() > 0 ? default_size.windowsId()
                                                                       : report::kPaperA4;
  def_orientation_ = printer_->pageLayout().orientation() == QPageLayout::Landscape
                         ? TPrinterOrientation::poLandscape
                         : TPrinterOrientation::poPortrait;
  def_duplex_ = FromQt(info.defaultDuplexMode());
  def_bin_ = kDefaultBin;
  paper_ = def_paper_;
  orientation_ = def_orientation_;
  duplex_ = def_duplex_;
  ReadGeometry();
}

void TfrxQtPrinter::ReadGeometry() {
  dpi_x_ = printer_->logicalDpiX();
  dpi_y_ = printer_->logicalDpiY();
  QPageLayout layout = printer_->pageLayout();
  QSizeF size = layout.fullRectPoints().size() * (25.4 / 72);
  paper_width_ = size.width();
  paper_height_ = size.height();
  left_margin_ = top_margin_ = 0;  // full-page mode
  int number = layout.pageSize().windowsId();
  paper_ = number > 0 ? number : report::kPaperCustom;
}

void TfrxQtPrinter::SetPrintParams(const PrintParams& params) {
  if (!printer_) Init();
  QPageLayout layout = printer_->pageLayout();
  layout.setPageSize(PageSizeOfPaper(params.paper, params.width_mm, params.height_mm));
  layout.setOrientation(params.orientation == TPrinterOrientation::poLandscape
                            ? QPageLayout::Landscape
                            : QPageLayout::Portrait);
  layout.setMargins(QMarginsF());
  printer_->setPageLayout(layout);
  if (!painter_.isActive()) {
    // Copies and duplex are document settings: they can change only between documents.
    printer_->setCopyCount(std::max(params.copies, 1));
    printer_->setCollateCopies(false);
    if (params.duplex != TfrxDuplexMode::dmNone) printer_->setDuplex(ToQt(params.duplex));
  }
  bin_ = params.bin;
  orientation_ = params.orientation;
  duplex_ = params.duplex == TfrxDuplexMode::dmNone ? duplex_ : params.duplex;
  ReadGeometry();
  if (params.paper == report::kPaperCustom) paper_ = report::kPaperCustom;
}

void TfrxQtPrinter::BeginDoc() {
  if (!printer_) Init();
  printer_->setOutputFileName(QString::fromStdString(file_name));
  printer_->setDocName(QString::fromStdString(title));
  pages_begun_ = 0;
  if (!painter_.begin(printer_.get()))
    throw core::Exception("Printer selected is not valid");
}

void TfrxQtPrinter::BeginPage() {
  if (pages_begun_ > 0) printer_->newPage();
  ++pages_begun_;
}

void TfrxQtPrinter::EndDoc() {
  if (painter_.isActive()) painter_.end();
}

void TfrxQtPrinter::Abort() {
  if (painter_.isActive()) {
    printer_->abort();
    painter_.end();
  }
}

}  // namespace lgoty::ui
