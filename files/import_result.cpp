#include "files/import_result.h"

#include "files/import_texts.h"

namespace torvane {

namespace {

constexpr size_t kNamedRefusals = 10;

std::string Replace1(const std::string& text, const std::string& value) {
  const size_t at = text.find("%1");
  return at == std::string::npos ? text : text.substr(0, at) + value + text.substr(at + 2);
}

}  // namespace

std::string RefusalLines(const std::string& headline, const std::vector<TRefusal>& refused) {
  std::string text = headline;
  for (size_t i = 0; i < refused.size() && i < kNamedRefusals; ++i)
    text += "\n" + refused[i].Name + ": " + refused[i].Why;
  if (refused.size() > kNamedRefusals)
    text += "\n" + Replace1(kRefusalMore, std::to_string(refused.size() - kNamedRefusals));
  return text;
}

std::string CleanedRowsText(int rows) {
  return rows == 1 ? std::string(kCleanedOneRow) : Replace1(kCleanedRows, std::to_string(rows));
}

void ShowImportResult(IOperator& op, const TImportResult& result) {
  switch (result.File) {
    case TImportResult::TFile::Cancelled:
      return;
    case TImportResult::TFile::Unreadable:
      op.Error(result.FileError);
      return;
    case TImportResult::TFile::Broken:
      op.Message(result.FileError);
      return;
    case TImportResult::TFile::Read:
      break;
  }
  if (!result.Refused.empty())
    op.Message(result.RefusalText);
  else if (result.RowsCleaned > 0)
    op.Message(CleanedRowsText(result.RowsCleaned));
}

}  // namespace torvane
