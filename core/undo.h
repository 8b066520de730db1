// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The undo history of one grid (and of values kept beside it, such as the settings lists' choices).
// It keeps, for every step, what each changed cell held before and holds after, and puts either back
// as one change of the grid.
//
// What makes a step: a change made on its own is one; the changes of one TGridUpdate batch are one
// (a page of a read, "All Always", an import); BeginStep/EndStep, which nest, make one of everything in
// between, across as many events as it takes (a whole read, the typing in a cell until its editor
// closes). While a step is open nothing can be undone or redone.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/grid.h"

namespace torvane {

struct TUndoLimits {
  size_t Steps = 100;
  // Roughly what the kept texts and records take; the oldest steps go first. The newest step is kept
  // whatever its size.
  size_t Bytes = 16u << 20;
};

class TUndoStack : private IGridRecorder {
 public:
  // The merge key of a change that only echoes an earlier one (a list's text copied into its cell when
  // the operator leaves it): it joins the newest step, and after an undo it is not kept at all, so it
  // never costs the operator the steps to redo.
  static constexpr uint64_t kFollowUp = ~uint64_t{0};

  explicit TUndoStack(TGrid& grid, TUndoLimits limits = {});
  ~TUndoStack();
  TUndoStack(const TUndoStack&) = delete;
  TUndoStack& operator=(const TUndoStack&) = delete;

  // A value kept beside the cells: how to read and set it. A value that does not make a step of its
  // own is kept only as part of a step made by something else (a list's visibility, which painting
  // and scrolling change). Returns the id its changes name (TValueChange).
  int AddValue(std::function<int()> get, std::function<void(int)> set, bool makesSteps = true);
  // Before value `id` changes; true when the change is kept, and then EndStep follows the change.
  bool BeginValueChange(int id);

  // A step across many events. A non-zero merge key (given to the outermost BeginStep) lets the step
  // join the newest one when that has the same key and nothing was undone since: the picks of one
  // date picker in a row, say.
  void BeginStep(uint64_t mergeKey = 0);
  void EndStep();
  bool InStep() const { return depth_ > 0; }

  bool CanUndo() const { return depth_ == 0 && !undo_.empty(); }
  bool CanRedo() const { return depth_ == 0 && !redo_.empty(); }
  // False when there is nothing to undo or redo, or a step is open.
  bool Undo();
  bool Redo();
  int UndoCount() const { return static_cast<int>(undo_.size()); }
  int RedoCount() const { return static_cast<int>(redo_.size()); }
  size_t Bytes() const { return bytes_; }
  // Forgets every step (an open one keeps being gathered).
  void Clear();
  // Makes `change` without recording it (it would cost a copy of every cell it writes) and starts the
  // history afresh after it: a grid's start-up texts are where its history begins.
  void StartAfter(const std::function<void()>& change);

  // Told when CanUndo or CanRedo may have changed.
  int AddListener(std::function<void()> listener);
  void RemoveListener(int id);

 private:
  enum class TKind : uint8_t { Cell, RowCount, Value };
  struct TEntry {
    TKind Kind = TKind::Cell;
    int Col = 0, Row = 0;  // a cell; for a value, Col is its id
    int OldValue = 0, NewValue = 0;
    std::string Old, New;
  };
  struct TStep {
    std::vector<TEntry> Entries;
    uint64_t MergeKey = 0;
    size_t Bytes = 0;
  };
  struct TValue {
    std::function<int()> Get;
    std::function<void(int)> Set;
    bool MakesSteps = true;
  };

  void CellChanging(int col, int row, const std::string& old) override;
  void RowCountChanging(int oldRows) override;
  void BatchBegun() override;
  void BatchEnded() override;

  // Within a step: the grid brackets every change as a batch.
  void Record(TEntry entry);
  void Open(uint64_t mergeKey);
  void Commit();
  // Keeps the first old value of each thing changed, reads the new ones, drops what came back as it
  // was; returns the bytes the step holds.
  size_t Finish(std::vector<TEntry>& entries) const;
  void Apply(const TStep& step, bool undo);
  void Trim();
  void Notify();

  TGrid& grid_;
  TUndoLimits limits_;
  std::vector<TValue> values_;
  std::vector<TStep> undo_, redo_;
  size_t bytes_ = 0;
  int depth_ = 0;
  TStep open_;
  bool applying_ = false;
  int nextListener_ = 1;
  std::vector<std::pair<int, std::function<void()>>> listeners_;
  bool couldUndo_ = false, couldRedo_ = false;
};

// Around a change of a value kept beside the cells; a null stack makes it do nothing.
class TValueChange {
 public:
  TValueChange(TUndoStack* stack, int id) : stack_(stack && stack->BeginValueChange(id) ? stack : nullptr) {}
  ~TValueChange() {
    if (stack_) stack_->EndStep();
  }
  TValueChange(const TValueChange&) = delete;
  TValueChange& operator=(const TValueChange&) = delete;

 private:
  TUndoStack* stack_;
};

// RAII form of BeginStep/EndStep; a null stack makes it do nothing.
class TUndoStep {
 public:
  explicit TUndoStep(TUndoStack* stack, uint64_t mergeKey = 0) : stack_(stack) {
    if (stack_) stack_->BeginStep(mergeKey);
  }
  explicit TUndoStep(TUndoStack& stack, uint64_t mergeKey = 0) : TUndoStep(&stack, mergeKey) {}
  ~TUndoStep() {
    if (stack_) stack_->EndStep();
  }
  TUndoStep(const TUndoStep&) = delete;
  TUndoStep& operator=(const TUndoStep&) = delete;

 private:
  TUndoStack* stack_;
};

}  // namespace torvane
