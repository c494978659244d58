#pragma once

#include <random>
#include <string>
#include <vector>

namespace velmora::test {

// A tool's output that is hard to show right: lines longer than a pipe read,
// LF and CRLF endings, NUL bytes, Chinese text, and a last line without an
// ending. The same seed always gives the same stream.
struct ToolStream {
  std::string bytes;
  std::vector<std::string> lines;  // as they are to be shown
};

inline ToolStream MakeToolStream(unsigned seed) {
  std::mt19937 random(seed);
  const auto pick = [&random](int from, int to) {
    return std::uniform_int_distribution<int>(from, to)(random);
  };
  const std::string pieces[] = {"apktool ", "解码资源", "…", "I: ", "0123456789", "签名完成"};
  ToolStream stream;
  for (int line = 0; line < 200; ++line) {
    const int length = pick(0, 9) == 0 ? pick(4097, 12000) : pick(0, 120);
    std::string shown;
    while (static_cast<int>(shown.size()) < length) {
      const std::string& piece = pieces[pick(0, 5)];
      shown += piece;
      stream.bytes += piece;
      if (pick(0, 30) == 0) stream.bytes += '\0';
    }
    stream.lines.push_back(shown);
    stream.bytes += line == 199 ? "" : pick(0, 1) == 0 ? "\n" : "\r\n";
  }
  return stream;
}

}  // namespace velmora::test
