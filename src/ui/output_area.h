#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <string_view>

class QPlainTextEdit;

namespace velmora {

// The window's output area as a list of lines that keeps up with a chatty
// tool. Inserting each piece on its own into a wrapping text area manages a
// few MB/s; so what arrives within one flush interval is gathered and
// inserted in one edit, after which the view is scrolled to the end. The
// lines shown (and the area's plain text) are exactly those appended. The
// area keeps the Tab key instead of letting it move the focus.
class OutputArea : public QObject {
  Q_OBJECT

 public:
  // How long appended lines may wait before they are shown: short enough to
  // look live, long enough that one insertion carries many chunks.
  static constexpr std::chrono::milliseconds kFlushInterval{25};
  // How much may wait at most: a tool can write faster than the area takes
  // it, and one insertion of this size keeps the event loop's stall short.
  static constexpr qsizetype kMostPendingCharacters = 256 * 1024;

  // `area` is read-only for the user; its current text counts as lines
  // already shown.
  explicit OutputArea(QPlainTextEdit& area);

  // Empties the area, lines not yet shown included.
  void Clear();
  // Appends `line` (UTF-8) as one line of its own, even after tool text that
  // ended in the middle of a line; line breaks inside it start further
  // lines. It is shown at the next flush, which comes at once when too much
  // is waiting.
  void AppendLine(std::string_view line);
  // Appends a tool's text (UTF-8, "\n" ending each line, see OutputSink):
  // it continues a line the tool has not ended yet, and its own last line may
  // stay unended. Shown at the next flush, like a line.
  void AppendToolText(std::string_view text);
  // Shows every appended line now.
  void Flush();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StartLine();
  void AppendToolLines(const QString& text);
  void FlushSoon();

  QPlainTextEdit& area_;
  QString pending_;
  // Whether the area holds a line, even an empty one, so that the next line
  // starts on a line of its own.
  bool holdsLines_;
  // Whether its last line is a tool's that the tool has not ended yet.
  bool lineOpen_ = false;
  // How long the text area's last block is (see AppendToolLines).
  qsizetype blockLength_ = 0;
  QTimer flushTimer_;
};

}  // namespace velmora
