#include "files/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ErrnoText(int error) {
  return std::strerror(error);
}

// Closes and removes the temporary file unless Commit() was reached.
class TTempFile {
 public:
  explicit TTempFile(const std::string& target) : target_(target) {
    if (target.empty() || target.back() == '/') Fail("the file name is empty");
    std::string folder = FolderOf(target);
    struct stat folderInfo {};
    if (stat(folder.c_str(), &folderInfo) != 0) {
      if (errno == ENOENT) Fail("the folder \"" + folder + "\" does not exist");
      Fail(ErrnoText(errno));
    }
    if (!S_ISDIR(folderInfo.st_mode)) Fail("\"" + folder + "\" is not a folder");
    struct stat targetInfo {};
    if (stat(target.c_str(), &targetInfo) == 0) {
      if (S_ISDIR(targetInfo.st_mode)) Fail("a folder of that name exists");
      mode_ = targetInfo.st_mode & 07777;
    } else {
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
    if (fd < 0) Fail("the temporary file vanished: " + ErrnoText(errno));
    int syncError = fsync(fd) == 0 ? 0 : errno;
    fchmod(fd, mode_);
    close(fd);
    if (syncError != 0) Fail(ErrnoText(syncError));
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
  std::string path_;
  int fd_ = -1;
  mode_t mode_ = 0644;
};

}  // namespace

EFileError::EFileError(TAction action, std::string fileName, std::string reason)
    : std::runtime_error(Describe(action, fileName, reason)),
      action_(action),
      fileName_(std::move(fileName)),
      reason_(std::move(reason)) {}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  TTempFile temp(path);
  temp.WriteAll(bytes);
  temp.Commit();
}

void SaveFileAtomically(const std::string& path, const std::function<void(const std::string&)>& writer) {
  TTempFile temp(path);
  writer(temp.Path());
  temp.Commit();
}

std::string ReadWholeFile(const std::string& path, size_t maxBytes) {
  auto fail = [&](const std::string& reason) -> void {
    throw EFileError(EFileError::TAction::Open, path, reason);
  };
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    if (errno == ENOENT) fail("the file does not exist");
    fail(ErrnoText(errno));
  }
  std::string bytes;
  try {
    struct stat info {};
    if (fstat(fd, &info) != 0) fail(ErrnoText(errno));
    if (!S_ISREG(info.st_mode)) fail("it is not a file");
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) fail("the file is too large");
    bytes.resize(static_cast<size_t>(info.st_size));
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

}  // namespace torvane
