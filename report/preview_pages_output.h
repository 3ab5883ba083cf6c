// The band engine's output over the report's prepared pages: forwards the engine's calls
// to TfrxPreviewPages and tells the store about the engine (running, pass, CurY, total
// pages, pages added).
#pragma once

#include "report/engine_output.h"
#include "report/prepared_pages.h"

namespace lgoty::report {

class TfrxCustomEngine;

class PreviewPagesOutput final : public EngineOutput, public PreparedPagesEngine {
 public:
  // Both borrowed; the store must outlive this object. SetEngine before a run.
  explicit PreviewPagesOutput(TfrxPreviewPages& pages) : pages_(pages) {}
  void SetEngine(const TfrxCustomEngine* engine) { engine_ = engine; }
  TfrxPreviewPages& Pages() { return pages_; }

  void AddSourcePage(TfrxReportPage& page) override { pages_.AddSourcePage(&page); }
  void BeginPass() override;
  void ClearFirstPassPages() override;
  void Finish() override;
  void AddPage(TfrxReportPage& page) override { pages_.AddPage(&page); }
  void AddObject(TfrxComponent& object) override { pages_.AddObject(&object); }
  int Count() const override { return pages_.Count(); }
  int CurPage() const override { return pages_.CurPage(); }
  int CurPosition() const override { return pages_.GetCurPosition(); }
  void CutObjects(int from) override { pages_.CutObjects(from); }
  void PasteObjects(double x, double y) override { pages_.PasteObjects(x, y); }
  bool BandExists(const TfrxBand& band) const override { return pages_.BandExists(&band); }
  double LastY() const override { return pages_.GetLastY(); }
  void IncLogicalPageNumber() override { pages_.IncLogicalPageNumber(); }
  void ResetLogicalPageNumber() override { pages_.ResetLogicalPageNumber(); }
  int LogicalPageNumber() const override { return pages_.GetLogicalPageNo(); }
  int LogicalTotalPages() const override { return pages_.GetLogicalTotalPages(); }
  void AddAnchor(const std::string& text, double top) override;
  int AnchorCount() const override { return pages_.AnchorCount(); }
  int AnchorPage(const std::string& text) const override { return pages_.GetAnchorPage(text); }
  void ShiftAnchors(int from, double new_top) override;
  void AddOutlineItem(const std::string& text, double top) override;
  void OutlineLevelUp() override { pages_.Outline().LevelUp(); }
  TfrxOutline::Mark OutlineMark() const override { return pages_.Outline().GetMark(); }
  void MoveOutline(const TfrxOutline::Mark& mark, double new_top) override;

  // PreparedPagesEngine.
  bool Running() const override;
  bool FinalPass() const override;
  double CurY() const override;
  int TotalPages() const override;

 private:
  TfrxPreviewPages& pages_;
  const TfrxCustomEngine* engine_ = nullptr;
};

}  // namespace lgoty::report
