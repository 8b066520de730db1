// SPDX-License-Identifier: GPL-3.0-or-later
// The safe save on POSIX: mkstemp beside the target, fsync, rename, and the file modes that keep
// secrets to their owner.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/message.h"
#include "files/file_texts.h"
#include "files/safe_file.h"

namespace torvane {

namespace {

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ErrnoText(int error) {
  return std::strerror(error);
}

constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kOthersRights = 077;

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Parents of a private folder get the usual rights: only the last folder holds anything private, and
// the parents may be shared ones (~/.local/share).
void MakeFolders(const std::string& folder) {
  if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return;
  if (errno != ENOENT) throw EFileError(EFileError::TAction::Save, folder, ErrnoText(errno));
  MakeFolders(FolderOf(folder));
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
    throw EFileError(EFileError::TAction::Save, folder, ErrnoText(errno));
}

// Closes and removes the temporary file unless Commit() was reached.
class TTempFile {
 public:
  TTempFile(const std::string& target, TFileAccess access) : target_(target), access_(access) {
    if (target.empty() || target.back() == '/') Fail("the file name is empty");
    std::string folder = FolderOf(target);
    struct stat folderInfo {};
    if (stat(folder.c_str(), &folderInfo) != 0) {
      if (errno == ENOENT) Fail(FillText(kFolderMissing, {folder}));
      Fail(ErrnoText(errno));
    }
    if (!S_ISDIR(folderInfo.st_mode)) Fail(FillText(kNotAFolder, {folder}));
    struct stat targetInfo {};
    const bool targetExists = stat(target.c_str(), &targetInfo) == 0;
    if (targetExists) {
      if (S_ISDIR(targetInfo.st_mode)) Fail("a folder of that name exists");
      mode_ = targetInfo.st_mode & 07777;
    }
    if (access == TFileAccess::Private) {
      mode_ = kPrivateFileMode;
    } else if (!targetExists) {
      mode_t mask = umask(0);
      umask(mask);
      mode_ = 0666 & ~mask;
    }
    auto slash = target.find_last_of('/');
    std::string prefix = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = prefix + "." + base + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) Fail(ErrnoText(errno));
    path_ = name.data();
  }
  ~TTempFile() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::string& Path() const { return path_; }
  int Fd() const { return fd_; }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw EFileError(EFileError::TAction::Save, target_, reason);
  }

  void WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t written = write(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        Fail(ErrnoText(errno));
      }
      bytes.remove_prefix(static_cast<size_t>(written));
    }
  }

  // The writer may have replaced the file behind our descriptor (libxlsxwriter reopens by name), so
  // the flush goes through a fresh descriptor on the name.
  void Commit() {
    close(fd_);
    fd_ = -1;
    int fd = open(path_.c_str(), O_RDONLY);
    if (fd < 0) Fail(FillText(kTemporaryFileVanished, {ErrnoText(errno)}));
    int syncError = fsync(fd) == 0 ? 0 : errno;
    // Some file systems (a FAT stick) cannot keep a mode and refuse it; an ordinary file is saved there
    // all the same, a private one is not private there and must not be written.
    int modeError = fchmod(fd, mode_) == 0 ? 0 : errno;
    close(fd);
    if (syncError != 0) Fail(ErrnoText(syncError));
    if (modeError != 0 && access_ == TFileAccess::Private) Fail(ErrnoText(modeError));
    if (rename(path_.c_str(), target_.c_str()) != 0) Fail(ErrnoText(errno));
    path_.clear();
    int dir = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
      fsync(dir);
      close(dir);
    }
  }

 private:
  std::string target_;
  TFileAccess access_;
  std::string path_;
  int fd_ = -1;
  mode_t mode_ = 0644;
};

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileAccess access) {
  TTempFile temp(path, access);
  temp.WriteAll(bytes);
  temp.Commit();
}

void SaveFileAtomically(const std::string& path, const std::function<void(const std::string&)>& writer) {
  TTempFile temp(path, TFileAccess::Usual);
  writer(temp.Path());
  temp.Commit();
}

void EnsurePrivateFile(const std::string& path) {
  auto fail = [&](const std::string& reason) -> void {
    throw EFileError(EFileError::TAction::Save, path, reason);
  };
  if (path.empty()) fail("the file name is empty");
  // O_NONBLOCK: a named pipe of that name is refused below instead of waiting for a reader.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  bool created = true;
  int fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, kPrivateFileMode);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = open(path.c_str(), kFlags);
  }
  if (fd < 0) fail(ErrnoText(errno));
  struct stat info {};
  int error = fstat(fd, &info) == 0 ? 0 : errno;
  if (error == 0 && !S_ISREG(info.st_mode)) {
    close(fd);
    fail("it is not a file");
  }
  // A new file's 0600 went through the umask, which may have taken the owner's own rights too.
  const mode_t mode = created ? kPrivateFileMode : info.st_mode & 0700;
  if (error == 0 && (created || (info.st_mode & kOthersRights) != 0) && fchmod(fd, mode) != 0) error = errno;
  close(fd);
  if (error != 0) fail(ErrnoText(error));
}

void EnsurePrivateFolder(const std::string& path) {
  auto fail = [&](const std::string& reason) -> void {
    throw EFileError(EFileError::TAction::Save, path, reason);
  };
  const std::string folder = WithoutTrailingSlashes(path);
  if (folder.empty()) fail("the folder name is empty");
  bool made = mkdir(folder.c_str(), kPrivateFolderMode) == 0;
  if (!made && errno == ENOENT) {
    MakeFolders(FolderOf(folder));
    made = mkdir(folder.c_str(), kPrivateFolderMode) == 0;
  }
  if (!made && errno != EEXIST) fail(ErrnoText(errno));
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) fail(ErrnoText(errno));
  if (!S_ISDIR(info.st_mode)) fail("it is not a folder");
  // mkdir's mode went through the umask; an existing folder is narrowed only when it is ours.
  const bool narrow = made || (info.st_uid == geteuid() && (info.st_mode & kOthersRights) != 0);
  if (narrow && chmod(folder.c_str(), kPrivateFolderMode) != 0) fail(ErrnoText(errno));
}

bool ReservePrivateFile(const std::string& path) {
  // The umask can only narrow 0600, and the writer's rename puts a private file in this one's place.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, kPrivateFileMode);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw EFileError(EFileError::TAction::Save, path, ErrnoText(errno));
  }
  close(fd);
  return true;
}

void NarrowToPrivate(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  int error = 0;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
      (info.st_mode & kOthersRights) != 0 && fchmod(fd, info.st_mode & 0700) != 0)
    error = errno;
  close(fd);
  if (error != 0) throw EFileError(EFileError::TAction::Save, path, ErrnoText(error));
}

namespace {

std::string ReadFile(const std::string& path, size_t maxBytes, bool whole) {
  auto fail = [&](const std::string& reason) -> void {
    throw EFileError(EFileError::TAction::Open, path, reason);
  };
  // O_NONBLOCK: a named pipe is refused as no file instead of waiting for a writer.
  int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) fail("the file does not exist");
    fail(ErrnoText(errno));
  }
  std::string bytes;
  try {
    struct stat info {};
    if (fstat(fd, &info) != 0) fail(ErrnoText(errno));
    if (!S_ISREG(info.st_mode)) fail("it is not a file");
    const auto size = static_cast<unsigned long long>(info.st_size);
    if (whole && size > maxBytes) fail("the file is too large");
    bytes.resize(static_cast<size_t>(std::min<unsigned long long>(size, maxBytes)));
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) fail(ErrnoText(errno));
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    bytes.resize(done);
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
  return bytes;
}

}  // namespace

std::string ReadWholeFile(const std::string& path, size_t maxBytes) {
  return ReadFile(path, maxBytes, true);
}

std::string ReadFileStart(const std::string& path, size_t maxBytes) {
  return ReadFile(path, maxBytes, false);
}

}  // namespace torvane
