// A printer and a page source that write down what the print loop asks of them, so tests can
// compare the printed sequence with the expected one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "report/print_loop.h"
#include "report/printer.h"

namespace lgoty::report::testing {

struct DrawnPage {
  int index;
  int copy;
  double scale_x, scale_y, offset_x, offset_y;
  int sheet;  // the 0-based printer page it went onto
};

class RecordingPrinter : public TfrxCustomPrinter {
 public:
  explicit RecordingPrinter(std::string name = "Recorder", double dpi = 300,
                            double margin_mm = 0)
      : TfrxCustomPrinter(std::move(name), "rec:"), dpi_(dpi), margin_(margin_mm) {}

  void SetPrintParams(const PrintParams& params) override {
    ApplyPaperGeometry(params.paper, params.width_mm, params.height_mm, params.orientation);
    bin_ = params.bin;
    duplex_ = params.duplex;
    set_params.push_back(params);
    events.push_back("params");
  }
  void BeginDoc() override { events.push_back("begin:" + title + ":" + file_name); }
  void BeginPage() override {
    events.push_back("page");
    ++sheets;
  }
  void EndPage() override { events.push_back("end page"); }
  void EndDoc() override { events.push_back("end doc"); }
  void Abort() override { events.push_back("abort"); }

  std::vector<std::string> events;
  std::vector<PrintParams> set_params;
  int sheets = 0;
  bool fail_init = false;

 protected:
  void ReadDriverDefaults() override {
    if (fail_init) throw core::Exception("driver refused");
    paper_names_.push_back("A4");
    papers_.push_back(9);
    paper_names_.push_back("A3");
    papers_.push_back(8);
    dpi_x_ = dpi_y_ = dpi_;
    left_margin_ = top_margin_ = margin_;
    ApplyPaperGeometry(9, 210, 297, TPrinterOrientation::poPortrait);
  }

 private:
  double dpi_, margin_;
};

// `count` pages of the given size, all from template page 0 unless a page says otherwise.
class FakePages : public PrintPageSource {
 public:
  explicit FakePages(int count, PrintPageInfo info = {}) : infos_(count, info) {}
  int Count() override { return static_cast<int>(infos_.size()); }
  PrintPageInfo PageInfo(int index) override { return infos_.at(index); }
  void DrawPage(int index, TfrxCustomPrinter& printer, double sx, double sy, double ox,
                double oy, int copy) override {
    auto& recorder = static_cast<RecordingPrinter&>(printer);
    drawn.push_back({index, copy, sx, sy, ox, oy, recorder.sheets - 1});
    if (on_draw) on_draw(index);
  }
  void ClearCache() override { ++cache_clears; }

  std::vector<PrintPageInfo>& Infos() { return infos_; }
  // Page numbers (1-based) in drawing order.
  std::vector<int> Numbers() const {
    std::vector<int> numbers;
    for (const DrawnPage& page : drawn) numbers.push_back(page.index + 1);
    return numbers;
  }

  std::vector<DrawnPage> drawn;
  int cache_clears = 0;
  std::function<void(int)> on_draw;

 private:
  std::vector<PrintPageInfo> infos_;
};

class CancelAfter : public PrintProgress {
 public:
  explicit CancelAfter(int pages = -1) : left_(pages) {}
  void Progress(const std::string& text, int page) override {
    texts.push_back(text);
    (void)page;
    if (left_ > 0) --left_;
  }
  bool Terminated() override { return left_ == 0; }
  std::vector<std::string> texts;

 private:
  int left_;
};

}  // namespace lgoty::report::testing
