// SPDX-License-Identifier: GPL-3.0-or-later
// The safe save on Windows: a temporary file beside the target, FlushFileBuffers, then MoveFileExW
// over the target. Names are UTF-8 inside the program and UTF-16 at every call.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "core/message.h"
#include "core/wide_text.h"
#include "files/file_texts.h"
#include "files/safe_file.h"

namespace torvane {

namespace {

using TAction = EFileError::TAction;

std::string LastErrorText() {
  return WindowsErrorText(GetLastError());
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The folder part of a name: "." for a bare name, the drive's root for "C:\name".
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && path[1] == ':'))
    path.pop_back();
  return path;
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(WideFromUtf8(path).c_str());
}

bool Missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

class THandle {
 public:
  explicit THandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  THandle& operator=(HANDLE handle) {
    Close();
    handle_ = handle;
    return *this;
  }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // False, with the system's error kept for GetLastError, when the close fails.
  bool Close() {
    if (!Valid()) return true;
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// A name no other save picks at the same moment; the exclusive create below settles the rare tie.
std::string UniqueSuffix() {
  static std::atomic<unsigned> count{0};
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, "%lx%llx%x", GetCurrentProcessId(),
                static_cast<unsigned long long>(GetTickCount64() & 0xFFFFFF), count.fetch_add(1));
  return suffix;
}

// A folder that ANSI functions can open by name: the folder itself when its name is ASCII, otherwise
// its short (8.3) name when the volume keeps those. Empty when neither works.
std::string AsciiFolder(const std::string& folder) {
  if (IsAscii(folder)) return folder;
  const std::wstring wide = WideFromUtf8(folder);
  std::vector<wchar_t> shortName(MAX_PATH);
  DWORD length = GetShortPathNameW(wide.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
  if (length >= shortName.size()) {
    shortName.resize(length + 1);
    length = GetShortPathNameW(wide.c_str(), shortName.data(), static_cast<DWORD>(shortName.size()));
  }
  if (length == 0 || length >= shortName.size()) return {};
  const std::string name = Utf8FromWide(std::wstring_view(shortName.data(), length));
  return IsAscii(name) ? name : std::string();
}

std::string TemporaryFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  return WithoutTrailingSeparators(Utf8FromWide(std::wstring_view(folder, length)));
}

// Closes and removes the temporary file unless Commit() was reached.
class TTempFile {
 public:
  // `asciiIn`: the folder to make the file in when it must have an ASCII name (see SaveFileAtomically);
  // empty for one beside the target, named after it.
  TTempFile(const std::string& target, const std::string& asciiIn = {}) : target_(target) {
    if (target.empty() || IsSeparator(target.back())) Fail("the file name is empty");
    const std::string folder = FolderOf(target);
    const DWORD folderAttributes = Attributes(folder);
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
      if (Missing(GetLastError())) Fail(FillText(kFolderMissing, {folder}));
      Fail(LastErrorText());
    }
    if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) Fail(FillText(kNotAFolder, {folder}));
    const DWORD targetAttributes = Attributes(target);
    if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_DIRECTORY))
      Fail("a folder of that name exists");

    const size_t slash = target.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0;; ++attempt) {
      const std::string name =
          asciiIn.empty() ? (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." +
                                base + ".tmp-" + UniqueSuffix()
                          : asciiIn + "\\.torvane-" + UniqueSuffix() + ".tmp";
      handle_ = CreateFileW(WideFromUtf8(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle_.Valid()) {
        path_ = name;
        break;
      }
      if (GetLastError() != ERROR_FILE_EXISTS || attempt == 100) Fail(LastErrorText());
    }
  }
  ~TTempFile() {
    handle_.Close();
    if (!path_.empty()) DeleteFileW(WideFromUtf8(path_).c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::string& Path() const { return path_; }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw EFileError(TAction::Save, target_, reason);
  }

  void WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 30));
      DWORD written = 0;
      if (!WriteFile(handle_.Get(), bytes.data(), chunk, &written, nullptr)) Fail(LastErrorText());
      bytes.remove_prefix(written);
    }
  }

  // Lets a writer that opens the file by name have it to itself.
  void Release() {
    if (!handle_.Close()) Fail(LastErrorText());
  }

  // The file as it is now on disk, for a target elsewhere.
  std::string Contents() const { return ReadWholeFile(path_, static_cast<size_t>(1) << 31); }

  // The writer may have replaced the file behind our handle (libxlsxwriter reopens by name), so the
  // flush goes through a fresh handle on the name.
  void Commit() {
    if (!handle_.Valid()) {
      handle_ = CreateFileW(WideFromUtf8(path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (!handle_.Valid()) Fail(FillText(kTemporaryFileVanished, {LastErrorText()}));
    }
    if (!FlushFileBuffers(handle_.Get())) Fail(LastErrorText());
    if (!handle_.Close()) Fail(LastErrorText());
    if (!MoveFileExW(WideFromUtf8(path_).c_str(), WideFromUtf8(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      Fail(LastErrorText());
    path_.clear();
  }

 private:
  std::string target_;
  std::string path_;
  THandle handle_;
};

// Parents first; a folder that is there already is no failure.
void MakeFolders(const std::string& folder, const std::string& named) {
  if (CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
    return;
  if (GetLastError() != ERROR_PATH_NOT_FOUND) throw EFileError(TAction::Save, named, LastErrorText());
  const std::string parent = WithoutTrailingSeparators(FolderOf(folder));
  if (parent == folder || parent == ".") throw EFileError(TAction::Save, named, LastErrorText());
  MakeFolders(parent, named);
  if (!CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    throw EFileError(TAction::Save, named, LastErrorText());
}

std::string ReadFile(const std::string& path, size_t maxBytes, bool whole) {
  auto fail = [&](const std::string& reason) -> void { throw EFileError(TAction::Open, path, reason); };
  // A folder cannot be opened as a file at all; it is told apart before the open says only "Access
  // is denied".
  const DWORD attributes = Attributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    fail("it is not a file");
  // Others may go on writing the file (a spreadsheet program that has it open); we read what is there.
  THandle file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    if (Missing(GetLastError())) fail("the file does not exist");
    fail(LastErrorText());
  }
  // A pipe, a console or a serial port by a device name ("COM1") is no file to read whole.
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) fail("it is not a file");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) fail(LastErrorText());
  const auto bytesThere = static_cast<unsigned long long>(size.QuadPart);
  if (whole && bytesThere > maxBytes) fail("the file is too large");
  std::string bytes(static_cast<size_t>(std::min<unsigned long long>(bytesThere, maxBytes)), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 30));
    DWORD got = 0;
    if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &got, nullptr)) fail(LastErrorText());
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileAccess) {
  TTempFile temp(path);
  temp.WriteAll(bytes);
  temp.Commit();
}

void SaveFileAtomically(const std::string& path, const std::function<void(const std::string&)>& writer) {
  if (path.empty() || IsSeparator(path.back()))
    throw EFileError(TAction::Save, path, "the file name is empty");
  const std::string beside = AsciiFolder(FolderOf(path));
  if (!beside.empty()) {
    TTempFile temp(path, beside);
    temp.Release();
    writer(temp.Path());
    temp.Commit();
    return;
  }
  // The target's folder has no name the writer can open; the workbook is made in the temporary folder
  // and then saved beside the target like any other file.
  const std::string elsewhere = AsciiFolder(TemporaryFolder());
  if (elsewhere.empty())
    throw EFileError(TAction::Save, path,
                     "no folder with a name in plain letters is at hand for the workbook");
  TTempFile temp(path, elsewhere);
  temp.Release();
  writer(temp.Path());
  WriteFileAtomically(path, temp.Contents());
}

void EnsurePrivateFile(const std::string& path) {
  auto fail = [&](const std::string& reason) -> void { throw EFileError(TAction::Save, path, reason); };
  if (path.empty()) fail("the file name is empty");
  const DWORD attributes = Attributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    fail("it is not a file");
  THandle file(CreateFileW(WideFromUtf8(path).c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) fail(LastErrorText());
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) fail("it is not a file");
  if (!file.Close()) fail(LastErrorText());
}

void EnsurePrivateFolder(const std::string& path) {
  auto fail = [&](const std::string& reason) -> void { throw EFileError(TAction::Save, path, reason); };
  const std::string folder = WithoutTrailingSeparators(path);
  if (folder.empty()) fail("the folder name is empty");
  MakeFolders(folder, path);
  const DWORD attributes = Attributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) fail(LastErrorText());
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) fail("it is not a folder");
}

bool ReservePrivateFile(const std::string& path) {
  THandle file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return false;
    // A folder of that name refuses the create as "Access is denied"; it is taken all the same.
    if (error == ERROR_ACCESS_DENIED && Attributes(path) != INVALID_FILE_ATTRIBUTES) return false;
    throw EFileError(TAction::Save, path, WindowsErrorText(error));
  }
  if (!file.Close()) throw EFileError(TAction::Save, path, LastErrorText());
  return true;
}

void NarrowToPrivate(const std::string&) {
  // Nothing to take away: the file has its folder's permissions (see TFileAccess).
}

std::string ReadWholeFile(const std::string& path, size_t maxBytes) {
  return ReadFile(path, maxBytes, true);
}

std::string ReadFileStart(const std::string& path, size_t maxBytes) {
  return ReadFile(path, maxBytes, false);
}

}  // namespace torvane
