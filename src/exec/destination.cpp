#include "exec/destination.h"

#include "config/text.h"
#include "exec/program_files.h"

namespace velmora {
namespace {

constexpr std::string_view kAllFilesFilter = "所有文件 (*.*)|*.*";

std::string_view FileNamePart(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The part of `name` from its last "." on; empty when there is no ".".
std::string_view ExtensionOf(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string_view WithoutExtension(std::string_view name) {
  return name.substr(0, name.size() - ExtensionOf(name).size());
}

// "apk", ".apk", "..apk." and " .apk " all give "apk".
std::string_view CleanExtension(std::string_view extension) {
  for (;;) {
    extension = TrimBlanks(extension);
    if (extension.starts_with('.')) {
      extension.remove_prefix(1);
    } else if (extension.ends_with('.')) {
      extension.remove_suffix(1);
    } else {
      return extension;
    }
  }
}

std::string JoinTag(std::string_view name, std::string_view tag) {
  if (!name.empty() && !tag.empty()) return std::string(name) + "_" + std::string(tag);
  return std::string(name) + std::string(tag);
}

std::string FileFilterFor(std::string_view dotExtension) {
  if (dotExtension.empty()) return std::string(kAllFilesFilter);
  std::string pattern = "*" + std::string(dotExtension);
  return std::string(dotExtension.substr(1)) + " 文件 (" + pattern + ")|" + pattern + "|" +
         std::string(kAllFilesFilter);
}

}  // namespace

SavePrompt ProposeDestination(const Settings& settings, std::string_view section,
                              std::string_view source, std::string_view tag,
                              std::string_view extension) {
  std::string sourceType = LowerAscii(settings.ReadSetting(section, "SourceFileType", ""));
  std::string destinationType = LowerAscii(settings.ReadSetting(section, "DestFileType", ""));

  std::string_view name = FileNamePart(source);
  // A folder's name is used whole; a file loses its extension.
  const bool folderSource = sourceType == "directory" ||
                            (sourceType == "any" && IsExistingDirectory(std::string(source)));
  if (!folderSource) name = WithoutExtension(name);
  std::string file = JoinTag(name, tag);
  std::string_view cleanExtension = CleanExtension(extension);
  if (!cleanExtension.empty()) file += "." + std::string(cleanExtension);
  std::string dotExtension(ExtensionOf(file));

  if (destinationType == "directory") {
    return SavePrompt{
        .FileName = file,
        .Filter = "选择目录|*.$$$DefaultDirectoryExtName$$$|" + std::string(kAllFilesFilter),
        .DefaultExt = "",
        .Title = "选择目录",
        .FolderMode = true};
  }
  return SavePrompt{.FileName = file,
                    .Filter = FileFilterFor(dotExtension),
                    .DefaultExt = dotExtension,
                    .Title = "另存为",
                    .FolderMode = false};
}

}  // namespace velmora
