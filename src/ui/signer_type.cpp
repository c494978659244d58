#include "ui/signer_type.h"

#include <optional>
#include <string>

#include "config/signer_type.h"

namespace velmora {

int SignerTypeIndexFromSetting(std::string_view stored) {
  const std::optional<int> value = ParseSignerType(stored);
  if (!value) {
    throw InvalidIntegerError("'" + std::string(stored) + "' is not a valid integer value");
  }
  return ClampSignerType(*value);
}

}  // namespace velmora
