// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/safe_file.h"

#include <utility>

namespace torvane {

namespace {

std::string Describe(EFileError::TAction action, const std::string& fileName, const std::string& reason) {
  std::string text = action == EFileError::TAction::Open ? "Cannot open" : "Cannot save";
  if (!fileName.empty()) text += " \"" + fileName + "\"";
  text += ": ";
  text += reason;
  if (!reason.empty() && reason.back() != '.') text += '.';
  return text;
}

}  // namespace

EFileError::EFileError(TAction action, std::string fileName, std::string reason)
    : std::runtime_error(Describe(action, fileName, reason)),
      action_(action),
      fileName_(std::move(fileName)),
      reason_(std::move(reason)) {}

}  // namespace torvane
