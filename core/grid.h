// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A table of UTF-8 text cells addressed as Cells[col][row], like the string grids the operator sees.
// The grids are the data model: transfers, the filter and the file code read and write these cells,
// and the views are thin adapters that listen for changes.
#include <functional>
#include <string>
#include <vector>

namespace torvane {

// Told before each change of a grid's cells, with what they held, and when a batch of changes begins
// and ends: what an undo history needs to put them back.
class IGridRecorder {
 public:
  virtual void CellChanging(int col, int row, const std::string& old) = 0;
  // The row count is about to change; the cells of rows that go have been reported first.
  virtual void RowCountChanging(int oldRows) = 0;
  virtual void BatchBegun() = 0;
  virtual void BatchEnded() = 0;

 protected:
  ~IGridRecorder() = default;
};

class TGrid {
 public:
  // firstRow..lastRow (inclusive) changed; a change of the row count reports every row.
  using TListener = std::function<void(int firstRow, int lastRow)>;

  TGrid(int colCount, int rowCount);

  int ColCount() const { return cols_; }
  int RowCount() const { return rows_; }
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string text);
  void SetRowCount(int rows);
  // Empties every cell of the rows first..last.
  void ClearRows(int first, int last);

  // Between BeginUpdate and the matching EndUpdate changes are gathered and reported once, so a page
  // of a transfer or a whole-column edit costs one repaint, not one per cell.
  void BeginUpdate() {
    if (updating_++ == 0 && recorder_) recorder_->BatchBegun();
  }
  void EndUpdate();

  // At most one recorder; nullptr detaches it. Without one a change costs one test more.
  void SetRecorder(IGridRecorder* recorder) { recorder_ = recorder; }
  IGridRecorder* Recorder() const { return recorder_; }

  int AddListener(TListener listener);
  void RemoveListener(int id);

 private:
  void Changed(int first, int last);
  int cols_, rows_;
  std::vector<std::string> cells_;  // row-major
  int updating_ = 0;
  IGridRecorder* recorder_ = nullptr;
  int dirtyFirst_ = -1, dirtyLast_ = -1;
  int nextId_ = 1;
  std::vector<std::pair<int, TListener>> listeners_;
};

// RAII form of BeginUpdate/EndUpdate.
class TGridUpdate {
 public:
  explicit TGridUpdate(TGrid& g) : g_(g) { g_.BeginUpdate(); }
  ~TGridUpdate() { g_.EndUpdate(); }
  TGridUpdate(const TGridUpdate&) = delete;
  TGridUpdate& operator=(const TGridUpdate&) = delete;

 private:
  TGrid& g_;
};

}  // namespace torvane
