#pragma once
// Saving over a file the operator already has must never leave it half-written: everything is
// written to a temporary file in the target's own folder (so the rename cannot cross file systems)
// and renamed over the target only once it is complete and flushed. Any failure leaves the old file
// as it was and ends in one EFileError whose message names the file and the reason.
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace torvane {

// The one error every file operation (spreadsheets, comma-separated files) raises. what() is a
// complete sentence for a message box, for example:
//   Cannot save "/home/op/configuration/telinf.xlsx": Permission denied.
class EFileError : public std::runtime_error {
 public:
  enum class TAction { Open, Save };
  EFileError(TAction action, std::string fileName, std::string reason);

  TAction Action() const { return action_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& Reason() const { return reason_; }

 private:
  TAction action_;
  std::string fileName_;
  std::string reason_;
};

// Writes `bytes` to `path` atomically (see above). The new file gets the old file's permissions, or
// the usual ones for a new file.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// For writers that insist on a file name of their own (libxlsxwriter): `writer` fills the temporary
// path it is given; it reports a failure by throwing (an EFileError naming `path` is best). The
// temporary file is removed on every failure.
void SaveFileAtomically(const std::string& path,
                        const std::function<void(const std::string& tempPath)>& writer);

// Reads a whole file of at most `maxBytes` bytes; throws EFileError (TAction::Open) when the file is
// missing, unreadable, not a regular file or larger than that.
std::string ReadWholeFile(const std::string& path, size_t maxBytes);

}  // namespace torvane
