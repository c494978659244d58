#include "config/tool_locations.h"

#include <cstdlib>

#include "config/text.h"

namespace velmora {
namespace {

std::string GeneralSettingOr(const Settings& settings, std::string_view key,
                             std::string_view fallback) {
  std::string value = settings.ReadSetting("General", key, "");
  return std::string(WithoutTrailingSlashes(value.empty() ? fallback : std::string_view(value)));
}

}  // namespace

std::string ResolveJavaHome(const Settings& settings) {
  std::string value = settings.ReadSetting("General", "JAVA_HOME", "");
  if (value.empty()) {
    if (const char* environment = std::getenv("JAVA_HOME")) value = environment;
  }
  return std::string(WithoutTrailingSlashes(TrimBlanks(value)));
}

std::string ResolveApktoolPath(const Settings& settings) {
  return GeneralSettingOr(settings, "apktool_path", "%CurrentDir%/tool");
}

std::string ResolveFrameworkPath(const Settings& settings) {
  return GeneralSettingOr(settings, "framework_path", "%apktool_path%/framework");
}

}  // namespace velmora
