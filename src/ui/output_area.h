#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <string_view>

class QPlainTextEdit;

namespace velmora {

// The window's output area as a list of lines that keeps up with a chatty
// tool. Inserting each chunk on its own into a wrapping text area manages a
// few MB/s; so the lines that arrive within one flush interval are gathered
// and inserted in one edit, after which the view is scrolled to the end. The
// lines shown (and the area's plain text) are exactly those appended.
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
  // Appends `line` (UTF-8) as one line; line breaks inside it start further
  // lines. It is shown at the next flush, which comes at once when too much
  // is waiting.
  void AppendLine(std::string_view line);
  // Shows every appended line now.
  void Flush();

 private:
  QPlainTextEdit& area_;
  QString pending_;
  // Whether the area holds a line, even an empty one, so that the next line
  // starts on a line of its own.
  bool holdsLines_;
  QTimer flushTimer_;
};

}  // namespace velmora
