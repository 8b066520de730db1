// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six in-cell lists of the settings grid as the logic sees them: items, the chosen index (-1 for
// none) and whether the list is shown. The stored byte of a list parameter is its item index.
#include <functional>
#include <string>
#include <vector>

#include "core/undo.h"

namespace torvane {

struct TListChoice {
  int Row = 0;  // the settings grid row the list lies over
  std::vector<std::string> Items;
  int ItemIndex = -1;
  bool Visible = false;
  // The displayed text: the chosen item, or empty with no selection.
  std::string Text() const {
    return ItemIndex >= 0 && ItemIndex < static_cast<int>(Items.size()) ? Items[ItemIndex] : std::string();
  }
};

class TSettingsLists {
 public:
  TSettingsLists();
  // Rows 3, 4, 8, 9, 11 and 12, in that order.
  std::vector<TListChoice*> All() { return {&Din1, &Din2, &Arm, &Authorization, &NotifyOn, &NotifyOff}; }
  TListChoice* ForRow(int row);
  const TListChoice* ForRow(int row) const { return const_cast<TSettingsLists*>(this)->ForRow(row); }
  // Sets the index of a list (any value: one beyond the items shows no selection) and tells the view.
  void SetItemIndex(TListChoice& list, int index);
  void SetVisible(TListChoice& list, bool visible);

  // Keeps the lists' choices in the settings grid's undo history: a choice is a step, as a typed cell
  // is. Their visibility is kept only within a step made by something else (a read), since painting
  // and scrolling change it all the time.
  void RecordIn(TUndoStack& undo);

  TListChoice Din1, Din2, Arm, Authorization, NotifyOn, NotifyOff;
  // The view's own hook, and any number of others (the marks of unsaved changes): told of every change.
  std::function<void(TListChoice&)> OnChange;
  int AddListener(std::function<void(TListChoice&)> listener);
  void RemoveListener(int id);

 private:
  void Changed(TListChoice& list);
  // The ids of each list's index and visibility in the history, in the order of All().
  int UndoId(const TListChoice& list, bool visibility) const;
  TUndoStack* undo_ = nullptr;
  std::vector<std::pair<int, int>> undoIds_;
  int nextId_ = 1;
  std::vector<std::pair<int, std::function<void(TListChoice&)>>> listeners_;
};

}  // namespace torvane
