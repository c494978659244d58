#pragma once

#include <string>

#include "config/settings.h"

namespace velmora {

// Each call reads the settings file afresh. The results never end with "/";
// the two tool directories may still hold placeholders (their defaults do),
// which ExpandPlaceholders expands.

// [General] JAVA_HOME, else the JAVA_HOME environment variable (read whole),
// trimmed; empty when neither is set.
std::string ResolveJavaHome(const Settings& settings);
// [General] apktool_path, else "%CurrentDir%/tool".
std::string ResolveApktoolPath(const Settings& settings);
// [General] framework_path, else "%apktool_path%/framework".
std::string ResolveFrameworkPath(const Settings& settings);

}  // namespace velmora
