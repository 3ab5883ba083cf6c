// Printing through a real CUPS queue: a private CUPS server with a PDF printer is started
// for the test (skipped, with the reason, where that cannot be done), the print loop prints
// through Qt's print support, and the PDF that arrives must hold every printed page.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>

#include "qt_test_support.h"
#include "report/page_numbers.h"
#include "report/prepared_pages.h"
#include "report/print_loop.h"
#include "report/printers.h"
#include "tests/render/small_report.h"
#include "ui/prepared_pages_document.h"
#include "ui/qt_printer.h"

namespace lgoty::ui {
namespace {

class TextPages : public report::PrintPageSource {
 public:
  explicit TextPages(int count) : count_(count) {}
  int Count() override { return count_; }
  report::PrintPageInfo PageInfo(int) override { return {}; }
  void DrawPage(int index, report::TfrxCustomPrinter& printer, double sx, double sy, double ox,
                double oy, int copy) override {
    QPainter* painter = static_cast<TfrxQtPrinter&>(printer).Painter();
    ASSERT_NE(painter, nullptr);
    painter->save();
    painter->translate(ox, oy);
    painter->scale(sx, sy);
    painter->setFont(QFont("Liberation Sans", 14));
    painter->drawText(QPointF(100, 100), QString("Страница %1, копия %2").arg(index + 1).arg(copy));
    painter->drawRect(QRectF(40, 40, 714, 1043));
    painter->restore();
  }

 private:
  int count_;
};

class NoCancel : public report::PrintProgress {
 public:
  void Progress(const std::string&, int) override {}
  bool Terminated() override { return false; }
};

struct CupsServer {
  QTemporaryDir dir{"/tmp/lgoty-cups-XXXXXX"};
  qint64 pid = 0;
  QString socket, failure;

  CupsServer() {
    QProcess start;
    start.start("bash", {QString(LGOTY_SOURCE_DIR) + "/tests/ui/cups_pdf_server.sh", dir.path()});
    if (!start.waitForFinished(60000)) {
      start.kill();
      failure = "the CUPS start script did not finish";
      return;
    }
    QString out = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
    if (start.exitCode() != 0) {
      failure = out.isEmpty() ? "the CUPS start script failed" : out;
      return;
    }
    QStringList parts = out.split(' ');
    socket = parts.value(0);
    pid = parts.value(1).toLongLong();
  }
  ~CupsServer() {
    if (pid <= 0) return;
    kill(static_cast<pid_t>(pid), SIGTERM);
    // Its folder goes once the server has let go of it (gone, or a zombie nobody reaps).
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
      QFile stat(QString("/proc/%1/stat").arg(pid));
      if (!stat.open(QIODevice::ReadOnly)) break;
      QList<QByteArray> fields = stat.readAll().split(' ');
      if (fields.size() > 2 && fields[2] == "Z") break;
      QThread::msleep(50);
    }
    dir.remove();
  }
};

// cups-pdf writes into the job owner's ~/PDF, or its anonymous folder; the title names
// the file.
QString FindOutput(const QString& title) {
  QStringList folders;
  if (passwd* user = getpwuid(getuid())) folders << QString(user->pw_dir) + "/PDF";
  folders << "/var/spool/cups-pdf/ANONYMOUS";
  for (const QString& folder : folders)
    for (const QFileInfo& file : QDir(folder).entryInfoList({"*" + title + "*.pdf"}, QDir::Files))
      return file.absoluteFilePath();
  return QString();
}

// The PDF of the job with this title once it holds `pages` pages; empty when none arrives
// in time. The queue works on its own time and no completion signal reaches this process,
// so the file is polled for, with a generous deadline.
QString AwaitOutput(const QString& title, int pages);

int PdfPageCount(const QString& path) {
  QProcess info;
  info.start("pdfinfo", {path});
  info.waitForFinished(30000);
  for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n'))
    if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
  return -1;
}

QString AwaitOutput(const QString& title, int pages) {
  QString output;
  QElapsedTimer waited;
  waited.start();
  while ((output = FindOutput(title)).isEmpty() && waited.elapsed() < 90000)
    QThread::msleep(100);
  if (output.isEmpty()) return output;
  // The backend may still be writing it.
  while (PdfPageCount(output) != pages && waited.elapsed() < 90000) QThread::msleep(100);
  return output;
}

TEST(CupsPrinting, APdfQueueReceivesEveryPrintedPage) {
  CupsServer server;
  if (!server.failure.isEmpty()) GTEST_SKIP() << "no CUPS server: " << server.failure.toStdString();
  // Before Qt's print support first asks CUPS for its printers.
  setenv("CUPS_SERVER", server.socket.toLocal8Bit().constData(), 1);
  lgoty::testing::TestApp();

  QtPrinterSystem system;
  report::TfrxPrinters printers(&system);
  int index = printers.IndexOf("LgotyPDF");
  ASSERT_GE(index, 0) << "the queue is not listed";
  EXPECT_TRUE(printers.HasPhysicalPrinters());
  printers.SetPrinterIndex(index);
  report::TfrxCustomPrinter& printer = printers.Printer();
  EXPECT_GE(printer.Papers().size(), 2u);  // the custom entry and the queue's papers
  EXPECT_GT(printer.DPIX(), 0);

  QString title = QString("lgoty-print-%1").arg(getpid());
  printer.title = title.toStdString();
  TextPages pages(3);
  NoCancel progress;
  report::PrintLoopSettings settings;
  settings.copies = 2;  // collated: two passes in one document
  ASSERT_EQ(report::RunPrintLoop(pages, printer, settings, progress),
            report::PrintLoopResult::kPrinted);

  const QString output = AwaitOutput(title, 6);
  ASSERT_FALSE(output.isEmpty()) << "no PDF arrived";
  EXPECT_EQ(PdfPageCount(output), 6);
  QFile::remove(output);

  // A prepared report, as the preview prints it: pages 1, 3 and 4 of four (the last one
  // lying on its side).
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  PreparedPagesDocument document(small.Report());
  ASSERT_NE(document.PrintSource(), nullptr);
  const QString report_title = QString("lgoty-report-%1").arg(getpid());
  printer.title = report_title.toStdString();
  report::PrintLoopSettings some;
  some.page_list = report::ParsePageNumbers("1,3-4", document.PrintSource()->Count());
  ASSERT_EQ(report::RunPrintLoop(*document.PrintSource(), printer, some, progress),
            report::PrintLoopResult::kPrinted);
  const QString report_output = AwaitOutput(report_title, 3);
  ASSERT_FALSE(report_output.isEmpty()) << "no PDF of the report arrived";
  EXPECT_EQ(PdfPageCount(report_output), 3);
  // The queue's PDF is made again by its filters: no text to read back, and every page on
  // the queue's sheet (the landscape page turned onto it); the count is what shows.
  QFile::remove(report_output);
}

}  // namespace
}  // namespace lgoty::ui
