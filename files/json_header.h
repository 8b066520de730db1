// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every JSON document of the program begins with: {"format": "torvane-...", "version": N, ...}.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace torvane {

// Why `doc` is not a document of `format` in `version`; nothing when it is.
inline std::optional<std::string> JsonHeaderProblem(const nlohmann::ordered_json& doc,
                                                    const std::string& format, int version) {
  if (!doc.is_object()) return "not a " + format + " document";
  const auto f = doc.find("format");
  if (f == doc.end() || !f->is_string() || f->get<std::string>() != format)
    return "not a " + format + " document";
  const auto v = doc.find("version");
  if (v == doc.end() || !v->is_number_integer() || v->get<int64_t>() != version)
    return "a " + format + " document of a version this program does not know";
  return std::nullopt;
}

}  // namespace torvane
