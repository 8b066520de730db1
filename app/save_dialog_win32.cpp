// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/save_dialog.h"

namespace torvane {

// IFileSaveDialog appends the file type's extension and then asks about that name.
bool NativeSaveDialogAddsTheExtensionFirst() {
  return true;
}

}  // namespace torvane
