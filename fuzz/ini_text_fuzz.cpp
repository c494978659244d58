// Feeds arbitrary settings files to the reader and the writer. Besides not
// crashing, a written value must read back exactly, whatever surrounds it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/ini_text.h"

namespace {

// Section and key names the program could use: letters, digits, "_".
std::string NameFrom(std::string_view bytes) {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  std::string name;
  for (unsigned char byte : bytes) name.push_back(kAlphabet[byte % kAlphabet.size()]);
  return name.empty() ? "S" : name;
}

// A value that reads back as written: printable, no blanks at its ends, no quotes.
std::string ValueFrom(std::string_view bytes) {
  std::string value;
  for (unsigned char byte : bytes) {
    char c = static_cast<char>(0x21 + byte % 0x5E);
    value.push_back(c == '"' || c == '\'' ? '_' : c);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t sectionLength = 1 + data[0] % 12;
  std::size_t keyLength = 1 + data[1] % 12;
  std::size_t valueLength = data[2] % 40;
  input.remove_prefix(3);
  if (input.size() < sectionLength + keyLength + valueLength) return 0;

  std::string section = NameFrom(input.substr(0, sectionLength));
  std::string key = NameFrom(input.substr(sectionLength, keyLength));
  std::string value = ValueFrom(input.substr(sectionLength + keyLength, valueLength));
  std::string_view content = input.substr(sectionLength + keyLength + valueLength);

  if (auto before = velmora::FindIniValue(content, section, key)) {
    if (before->size() > velmora::kMaxValueBytes) std::abort();
  }
  std::string written = velmora::SetIniValue(content, section, key, value);
  if (velmora::FindIniValue(written, section, key) != value) std::abort();
  if (velmora::SetIniValue(written, section, key, value) != written) std::abort();
  return 0;
}
