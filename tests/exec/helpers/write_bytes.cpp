// Writes each argument with one write() call, after turning the escapes \n,
// \r, \0 and a doubled backslash into the bytes they name. "-o" sends the following arguments to
// standard output (the default), "-e" to standard error.
#include <unistd.h>

#include <string>
#include <string_view>

namespace {

std::string Unescape(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    switch (text[++i]) {
      case 'n':
        bytes += '\n';
        break;
      case 'r':
        bytes += '\r';
        break;
      case '0':
        bytes += '\0';
        break;
      default:
        bytes += text[i];
    }
  }
  return bytes;
}

}  // namespace

int main(int argc, char* argv[]) {
  int fd = STDOUT_FILENO;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-o" || argument == "-e") {
      fd = argument == "-o" ? STDOUT_FILENO : STDERR_FILENO;
      continue;
    }
    const std::string bytes = Unescape(argument);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      return 1;
    }
  }
  return 0;
}
