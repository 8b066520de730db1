// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_lists.h"

namespace torvane {

TSettingsLists::TSettingsLists() {
  const std::vector<std::string> inputType{"0:NC ", "1:NO"};
  const std::vector<std::string> notify{"0:None", "1:Admin Number", "2:Caller Number",
                                        "3:Admin Number;Caller Number"};
  Din1 = {3, inputType, 1};
  Din2 = {4, inputType, 1};
  Arm = {8, {"0:Disarm", "1:Arm"}, 0};
  Authorization = {9,
                   {"0:All number can call to control the Relay",
                    "1:Only the authorized number can call to control the relay"},
                   1};
  NotifyOn = {11, notify, 3};
  NotifyOff = {12, notify, 3};
}

TListChoice* TSettingsLists::ForRow(int row) {
  for (TListChoice* l : All())
    if (l->Row == row) return l;
  return nullptr;
}

void TSettingsLists::SetItemIndex(TListChoice& list, int index) {
  // An index beyond the items shows no selection (a save then writes 0xFF).
  index = (index >= 0 && index < static_cast<int>(list.Items.size())) ? index : -1;
  if (index != list.ItemIndex) {
    TValueChange change(undo_, UndoId(list, false));
    list.ItemIndex = index;
  }
  Changed(list);
}

void TSettingsLists::SetVisible(TListChoice& list, bool visible) {
  if (list.Visible == visible) return;
  {
    TValueChange change(undo_, UndoId(list, true));
    list.Visible = visible;
  }
  Changed(list);
}

int TSettingsLists::AddListener(std::function<void(TListChoice&)> listener) {
  listeners_.emplace_back(nextId_, std::move(listener));
  return nextId_++;
}

void TSettingsLists::RemoveListener(int id) {
  std::erase_if(listeners_, [id](const auto& p) { return p.first == id; });
}

void TSettingsLists::Changed(TListChoice& list) {
  if (OnChange) OnChange(list);
  for (auto& [id, fn] : listeners_) fn(list);
}

void TSettingsLists::RecordIn(TUndoStack& undo) {
  undo_ = &undo;
  undoIds_.clear();
  for (TListChoice* list : All()) {
    const int index =
        undo.AddValue([list] { return list->ItemIndex; }, [this, list](int v) { SetItemIndex(*list, v); });
    const int visible = undo.AddValue([list] { return list->Visible ? 1 : 0; },
                                      [this, list](int v) { SetVisible(*list, v != 0); }, false);
    undoIds_.emplace_back(index, visible);
  }
}

int TSettingsLists::UndoId(const TListChoice& list, bool visibility) const {
  const std::vector<TListChoice*> all = const_cast<TSettingsLists*>(this)->All();
  for (size_t i = 0; i < all.size() && i < undoIds_.size(); ++i)
    if (all[i] == &list) return visibility ? undoIds_[i].second : undoIds_[i].first;
  return -1;
}

}  // namespace torvane
