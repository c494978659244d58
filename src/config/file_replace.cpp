#include "config/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>

#include "config/unique_fd.h"

namespace velmora {
namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

bool WriteAll(int fd, std::string_view bytes, off_t offset) {
  while (!bytes.empty()) {
    ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += written;
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links (a dangling one included) to the path of the real
// file, so the link itself is never replaced by the new file.
std::string RealFilePath(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return current;
    std::string link(target, static_cast<std::size_t>(length));
    current = link.starts_with('/') ? link : DirectoryOf(current) + "/" + link;
  }
  return current;
}

bool MayWriteExisting(const std::string& path, const struct stat& info) {
  return S_ISREG(info.st_mode) && (info.st_mode & kAnyWriteBit) != 0 &&
         ::access(path.c_str(), W_OK) == 0;
}

bool FolderRefusesNewFiles(const std::string& directory) {
  struct stat info;
  if (::stat(directory.c_str(), &info) != 0) return true;
  return (info.st_mode & kAnyWriteBit) == 0 || ::access(directory.c_str(), W_OK) != 0;
}

void SyncDirectory(const std::string& directory) {
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.IsOpen()) ::fsync(fd.Get());
}

enum class NewFileOutcome { kReplaced, kNotCreated, kFailed };

NewFileOutcome ReplaceThroughNewFile(const std::string& path, std::string_view contents,
                                     const std::optional<struct stat>& old) {
  std::string temporary = TemporaryPathBeside(path);
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.IsOpen()) return NewFileOutcome::kNotCreated;
  bool written = true;
  if (old) {
    written = ::fchmod(fd.Get(), old->st_mode & 07777) == 0;
    // Only root can give the file back to its owner; anyone else owns it already.
    if (::geteuid() == 0) (void)::fchown(fd.Get(), old->st_uid, old->st_gid);
  }
  written = written && WriteAll(fd.Get(), contents, 0) && ::fsync(fd.Get()) == 0;
  written = fd.Close() && written;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return NewFileOutcome::kFailed;
  }
  SyncDirectory(DirectoryOf(path));
  return NewFileOutcome::kReplaced;
}

// The last resort where the folder takes no new file: write over the old bytes,
// then cut what is left of them.
bool RewriteInPlace(const std::string& path, std::string_view contents) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.IsOpen()) return false;
  bool written = WriteAll(fd.Get(), contents, 0) &&
                 ::ftruncate(fd.Get(), static_cast<off_t>(contents.size())) == 0 &&
                 ::fsync(fd.Get()) == 0;
  return fd.Close() && written;
}

}  // namespace

// Not derived from the file's own name: a name of 255 bytes is legal, and a
// longer one could not be created beside it.
std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return DirectoryOf(path) + "/.velmora-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter++) + ".tmp";
}

FileContents ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  // Opening a FIFO without O_NONBLOCK waits for a writer that may never come.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.IsOpen()) {
    return {errno == ENOENT || errno == ENOTDIR ? FileState::kMissing : FileState::kUnreadable, {}};
  }
  struct stat info;
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return {FileState::kUnreadable, {}};
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return {FileState::kTooLarge, {}};
  FileContents result{FileState::kRead, {}};
  char buffer[65536];
  for (;;) {
    ssize_t count = ::read(fd.Get(), buffer, sizeof buffer);
    if (count == 0) return result;
    if (count < 0) {
      if (errno == EINTR) continue;
      return {FileState::kUnreadable, {}};
    }
    if (result.bytes.size() + static_cast<std::size_t>(count) > maxBytes) {
      return {FileState::kTooLarge, {}};
    }
    result.bytes.append(buffer, static_cast<std::size_t>(count));
  }
}

bool ReplaceFileContents(const std::string& path, std::string_view contents) {
  std::string realPath = RealFilePath(path);
  std::optional<struct stat> old;
  struct stat info;
  if (::stat(realPath.c_str(), &info) == 0) {
    if (!MayWriteExisting(realPath, info)) return false;
    old = info;
  } else if (errno != ENOENT) {
    return false;
  }
  if (!FolderRefusesNewFiles(DirectoryOf(realPath))) {
    switch (ReplaceThroughNewFile(realPath, contents, old)) {
      case NewFileOutcome::kReplaced:
        return true;
      case NewFileOutcome::kFailed:  // a full disk, say: the old file must stay whole
        return false;
      case NewFileOutcome::kNotCreated:
        break;
    }
  }
  return old && RewriteInPlace(realPath, contents);
}

}  // namespace velmora
