// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/save_dialog.h"

namespace torvane {

// A desktop's portal or its toolkit's dialog may ask about the name as typed.
bool NativeSaveDialogAddsTheExtensionFirst() {
  return false;
}

}  // namespace torvane
