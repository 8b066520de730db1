// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/undo.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace torvane {

namespace {

// What a text takes beyond the entry itself: short texts live inside the string.
size_t HeapBytes(const std::string& s) {
  return s.capacity() > 15 ? s.capacity() + 1 : 0;
}

}  // namespace

TUndoStack::TUndoStack(TGrid& grid, TUndoLimits limits) : grid_(grid), limits_(limits) {
  grid_.SetRecorder(this);
}

TUndoStack::~TUndoStack() {
  if (grid_.Recorder() == this) grid_.SetRecorder(nullptr);
}

int TUndoStack::AddValue(std::function<int()> get, std::function<void(int)> set, bool makesSteps) {
  values_.push_back({std::move(get), std::move(set), makesSteps});
  return static_cast<int>(values_.size()) - 1;
}

bool TUndoStack::BeginValueChange(int id) {
  if (applying_ || id < 0 || id >= static_cast<int>(values_.size())) return false;
  if (depth_ == 0 && !values_[id].MakesSteps) return false;
  Open(0);
  TEntry e;
  e.Kind = TKind::Value;
  e.Col = id;
  e.OldValue = values_[id].Get();
  Record(std::move(e));
  return true;
}

void TUndoStack::CellChanging(int col, int row, const std::string& old) {
  if (applying_) return;
  TEntry e;
  e.Col = col;
  e.Row = row;
  e.Old = old;
  Record(std::move(e));
}

void TUndoStack::RowCountChanging(int oldRows) {
  if (applying_) return;
  TEntry e;
  e.Kind = TKind::RowCount;
  e.OldValue = oldRows;
  Record(std::move(e));
}

void TUndoStack::BatchBegun() {
  if (!applying_) Open(0);
}

void TUndoStack::BatchEnded() {
  if (!applying_) EndStep();
}

void TUndoStack::BeginStep(uint64_t mergeKey) {
  Open(mergeKey);
  // A step that spans events shows at once that nothing can be undone meanwhile. A batch or a single
  // change ends before anyone could ask, so it does not flick the views' actions off and on.
  Notify();
}

void TUndoStack::Open(uint64_t mergeKey) {
  if (depth_++ > 0) return;
  open_ = {};
  open_.MergeKey = mergeKey;
}

void TUndoStack::EndStep() {
  if (depth_ == 0 || --depth_ > 0) return;
  Commit();
  Notify();
}

void TUndoStack::Record(TEntry entry) {
  open_.Entries.push_back(std::move(entry));
}

void TUndoStack::Commit() {
  TStep step = std::move(open_);
  open_ = {};
  if (step.Entries.empty()) return;
  const bool merge = step.MergeKey != 0 && !undo_.empty() && redo_.empty() &&
                     (step.MergeKey == kFollowUp || undo_.back().MergeKey == step.MergeKey);
  if (merge) {
    TStep& top = undo_.back();
    bytes_ -= top.Bytes;
    std::move(step.Entries.begin(), step.Entries.end(), std::back_inserter(top.Entries));
    top.Bytes = Finish(top.Entries);
    bytes_ += top.Bytes;
    // A date picked and picked back leaves nothing to undo.
    if (top.Entries.empty()) undo_.pop_back();
    Trim();
    return;
  }
  // An echo with no step of its own to join is not kept: after an undo it would cost the redo.
  if (step.MergeKey == kFollowUp) return;
  step.Bytes = Finish(step.Entries);
  if (step.Entries.empty()) return;
  for (const TStep& r : redo_) bytes_ -= r.Bytes;
  redo_.clear();
  bytes_ += step.Bytes;
  undo_.push_back(std::move(step));
  Trim();
}

size_t TUndoStack::Finish(std::vector<TEntry>& entries) const {
  // A cell typed into key by key is recorded at every key; only its value before the first one counts.
  std::vector<bool> keep(entries.size(), true);
  if (entries.size() > 1) {
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    auto key = [&](size_t i) {
      const TEntry& e = entries[i];
      return std::make_tuple(e.Kind, e.Col, e.Row, i);
    };
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
    for (size_t k = 1; k < order.size(); ++k) {
      const TEntry &a = entries[order[k - 1]], &b = entries[order[k]];
      if (a.Kind == b.Kind && a.Col == b.Col && a.Row == b.Row) keep[order[k]] = false;
    }
  }
  size_t out = 0, bytes = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!keep[i]) continue;
    TEntry& e = entries[i];
    bool same = false;
    switch (e.Kind) {
      case TKind::Cell:
        e.New = grid_.Cell(e.Col, e.Row);
        same = e.New == e.Old;
        break;
      case TKind::RowCount:
        e.NewValue = grid_.RowCount();
        same = e.NewValue == e.OldValue;
        break;
      case TKind::Value:
        e.NewValue = values_[e.Col].Get();
        same = e.NewValue == e.OldValue;
        break;
    }
    if (same) continue;
    bytes += sizeof(TEntry) + HeapBytes(e.Old) + HeapBytes(e.New);
    if (out != i) entries[out] = std::move(e);
    ++out;
  }
  entries.resize(out);
  entries.shrink_to_fit();
  return bytes;
}

void TUndoStack::Apply(const TStep& step, bool undo) {
  applying_ = true;
  {
    TGridUpdate batch(grid_);
    auto put = [&](const TEntry& e) {
      switch (e.Kind) {
        case TKind::Cell:
          grid_.SetCell(e.Col, e.Row, undo ? e.Old : e.New);
          break;
        case TKind::RowCount:
          grid_.SetRowCount(undo ? e.OldValue : e.NewValue);
          break;
        case TKind::Value:
          values_[e.Col].Set(undo ? e.OldValue : e.NewValue);
          break;
      }
    };
    // Backwards to undo, so that a row count comes back before the cells of the rows it brings back.
    if (undo)
      std::for_each(step.Entries.rbegin(), step.Entries.rend(), put);
    else
      std::for_each(step.Entries.begin(), step.Entries.end(), put);
  }
  applying_ = false;
}

bool TUndoStack::Undo() {
  if (!CanUndo()) return false;
  TStep step = std::move(undo_.back());
  undo_.pop_back();
  Apply(step, true);
  redo_.push_back(std::move(step));
  Notify();
  return true;
}

bool TUndoStack::Redo() {
  if (!CanRedo()) return false;
  TStep step = std::move(redo_.back());
  redo_.pop_back();
  Apply(step, false);
  undo_.push_back(std::move(step));
  Notify();
  return true;
}

void TUndoStack::Clear() {
  undo_.clear();
  redo_.clear();
  bytes_ = 0;
  Notify();
}

void TUndoStack::StartAfter(const std::function<void()>& change) {
  grid_.SetRecorder(nullptr);
  applying_ = true;
  change();
  applying_ = false;
  grid_.SetRecorder(this);
  Clear();
}

void TUndoStack::Trim() {
  while (!undo_.empty() && (undo_.size() > limits_.Steps || (bytes_ > limits_.Bytes && undo_.size() > 1))) {
    bytes_ -= undo_.front().Bytes;
    undo_.erase(undo_.begin());
  }
}

int TUndoStack::AddListener(std::function<void()> listener) {
  listeners_.emplace_back(nextListener_, std::move(listener));
  return nextListener_++;
}

void TUndoStack::RemoveListener(int id) {
  std::erase_if(listeners_, [id](const auto& p) { return p.first == id; });
}

void TUndoStack::Notify() {
  const bool canUndo = CanUndo(), canRedo = CanRedo();
  if (canUndo == couldUndo_ && canRedo == couldRedo_) return;
  couldUndo_ = canUndo;
  couldRedo_ = canRedo;
  const auto listeners = listeners_;
  for (const auto& [id, fn] : listeners) fn();
}

}  // namespace torvane
