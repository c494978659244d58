#include "merge/merge_destination.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::optional<struct stat> StatOf(const std::string& path) {
  struct stat file;
  if (::stat(path.c_str(), &file) != 0) return std::nullopt;
  return file;
}

bool IsSameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file of the set folder that `output` is, if it is one. Every file
// counts, not only the APKs: the set is read from all of the folder.
std::optional<std::string> SetFileThatIs(const std::string& folder, const struct stat& output) {
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::optional<struct stat> file = StatOf(entry->path().string());
    if (file && IsSameFile(*file, output)) return entry->path().filename().string();
  }
  return std::nullopt;
}

// Bytes as a person reads them: "620 字节", "1.5 MB", "2.0 GB", "3.1 TB".
std::string ShownSize(std::uint64_t bytes) {
  if (bytes < (1u << 20)) return std::to_string(bytes) + " 字节";
  const char* unit = "MB";
  auto value = static_cast<double>(bytes) / (1 << 20);
  for (const char* larger : {"GB", "TB"}) {
    if (value < 1024) break;
    value /= 1024;
    unit = larger;
  }
  char shown[32];
  std::snprintf(shown, sizeof shown, "%.1f %s", value, unit);
  return shown;
}

}  // namespace

std::string FolderOf(const std::string& output) {
  const fs::path folder = fs::path(output).parent_path();
  return folder.empty() ? "." : folder.string();
}

std::optional<std::string> WhyOutputWouldHitSet(const std::string& set, const std::string& output) {
  const std::optional<struct stat> setFile = StatOf(set);
  if (!setFile) return std::nullopt;
  const std::string refusal = "输出 " + output + " ";
  const std::string keep = "，这会毁掉要读取的输入；请另选输出位置";
  const std::optional<struct stat> outputFile = StatOf(output);
  if (outputFile && IsSameFile(*outputFile, *setFile)) {
    return refusal + "就是安装包组 " + set + keep;
  }
  if (!S_ISDIR(setFile->st_mode)) return std::nullopt;
  if (outputFile) {
    if (std::optional<std::string> file = SetFileThatIs(set, *outputFile)) {
      return refusal + "就是安装包组 " + set + " 中的 " + *file + keep;
    }
  }
  const std::optional<struct stat> outputFolder = StatOf(FolderOf(output));
  if (outputFolder && IsSameFile(*outputFolder, *setFile)) {
    return refusal + "在安装包组的文件夹 " + set + " 中" + keep;
  }
  return std::nullopt;
}

std::optional<std::string> WhyNoRoomFor(std::uint64_t needed, const std::string& output) {
  const std::string folder = FolderOf(output);
  struct statvfs fileSystem;
  if (::statvfs(folder.c_str(), &fileSystem) != 0) {
    return "无法查看 " + folder + " 的可用空间：" + std::strerror(errno);
  }
  const std::uint64_t free = std::uint64_t{fileSystem.f_bavail} * fileSystem.f_frsize;
  if (needed <= free) return std::nullopt;
  return "空间不足：合并需要约 " + ShownSize(needed) + "，" + folder + " 所在的文件系统只有 " +
         ShownSize(free) + " 可用";
}

}  // namespace velmora
