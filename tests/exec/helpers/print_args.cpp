// Writes its whole argv, argv[0] included, each argument in brackets, in one
// write: "[argv0][first][second]".
#include <unistd.h>

#include <string>

int main(int argc, char* argv[]) {
  std::string text;
  for (int i = 0; i < argc; ++i) {
    text += '[';
    text += argv[i];
    text += ']';
  }
  return ::write(STDOUT_FILENO, text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0
                                                                                               : 1;
}
