#pragma once

#include <string>
#include <vector>

namespace velmora {

// A variable a run sets in its tool's environment.
struct EnvironmentVariable {
  std::string name;
  std::string value;
};

// The environment a tool is started with: `environment` (a null-terminated
// array like environ) unchanged, except that a character type that is not
// UTF-8 (no locale set at all, "C", "POSIX", a legacy code page) becomes
// C.UTF-8, and that each of `settings` takes the place of an inherited
// variable of its name. Velmora's paths and settings are UTF-8, and the Java
// tools cannot open a file whose name they cannot encode in their locale.
class ChildEnvironment {
 public:
  explicit ChildEnvironment(char* const* environment,
                            const std::vector<EnvironmentVariable>& settings = {});

  // For execve and posix_spawn; valid while this object lives.
  char* const* Get() const { return pointers_.data(); }

 private:
  std::vector<std::string> entries_;
  std::vector<char*> pointers_;
};

}  // namespace velmora
