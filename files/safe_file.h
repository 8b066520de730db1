// SPDX-License-Identifier: GPL-3.0-or-later
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

// Who may read a file the program writes. Usual: the old file's permissions, or the umask's for a new
// file. Private: the owner alone (0600) whatever the umask, for files that hold the device's passwords
// or the residents' numbers.
//
// On Windows a file takes the permissions of the folder it is made in, and the program's folders are
// private already (%LOCALAPPDATA% is its user's; a portable copy's folder is as private as the stick),
// so there both are the folder's, and the Private functions below make files and folders without
// changing anyone's rights.
enum class TFileAccess { Usual, Private };

// Writes `bytes` to `path` atomically (see above) with the rights `access` gives.
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         TFileAccess access = TFileAccess::Usual);

// Makes sure `path` is a file only its owner may read or write, so that a writer can append secrets to
// it: created empty (0600) when missing, narrowed to its owner's rights when others have some, its
// contents left as they are. Throws EFileError (TAction::Save) when it cannot.
void EnsurePrivateFile(const std::string& path);

// Makes the folder `path` (with any missing parents, which get the usual rights) for the owner alone
// (0700). An existing folder of ours that others may enter is narrowed to 0700; another user's folder
// (one an administrator shares, say) is left as it is. Throws EFileError (TAction::Save) when it cannot.
void EnsurePrivateFolder(const std::string& path);

// Creates `path` as an empty private file, never replacing anything: false when something of that name
// exists already. Two programs that want one name at once get it once, so a writer reserves a new
// name with this and then fills it with WriteFileAtomically. Throws EFileError on any other failure.
bool ReservePrivateFile(const std::string& path);

// Takes the group's and others' rights off an existing file of ours. A file that is missing or another
// user's is left alone; throws EFileError when ours cannot be narrowed.
void NarrowToPrivate(const std::string& path);

// For writers that insist on a file name of their own (libxlsxwriter): `writer` fills the temporary
// path it is given; it reports a failure by throwing (an EFileError naming `path` is best). The
// temporary file is removed on every failure. On Windows the temporary path is plain ASCII, because
// such writers open it through the ANSI functions: beside the target when the folder's name (or its
// short name) is ASCII, otherwise in the user's temporary folder, from where it is saved safely.
void SaveFileAtomically(const std::string& path,
                        const std::function<void(const std::string& tempPath)>& writer);

// Reads a whole file of at most `maxBytes` bytes; throws EFileError (TAction::Open) when the file is
// missing, unreadable, not a regular file or larger than that.
std::string ReadWholeFile(const std::string& path, size_t maxBytes);

// Reads the first `maxBytes` bytes of a file, all of it when it is shorter; throws as ReadWholeFile
// does, except that a larger file is no failure.
std::string ReadFileStart(const std::string& path, size_t maxBytes);

}  // namespace torvane
