#include "ui/output_area.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace velmora {
namespace {

// The text area keeps a block of its own for every paragraph, and making
// blocks is most of what an insertion costs; the line breaks inside one
// appended line become line separators, which show the same and read back as
// "\n" from toPlainText(), so a chunk of many lines costs one block.
QString WithLineSeparators(QString text) {
  text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  text.replace(QLatin1Char('\r'), QChar::LineSeparator);
  return text;
}

}  // namespace

OutputArea::OutputArea(QPlainTextEdit& area)
    : QObject(&area), area_(area), holdsLines_(!area.document()->isEmpty()) {
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushInterval);
  connect(&flushTimer_, &QTimer::timeout, this, &OutputArea::Flush);
}

void OutputArea::Clear() {
  flushTimer_.stop();
  pending_.clear();
  area_.clear();
  holdsLines_ = false;
}

void OutputArea::AppendLine(std::string_view line) {
  // A text area cannot tell an empty first line from no line at all, so the
  // break that ends the previous line is written with the next one.
  if (holdsLines_) {
    pending_ += QLatin1Char('\n');
  }
  pending_ +=
      WithLineSeparators(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
  holdsLines_ = true;
  if (pending_.size() >= kMostPendingCharacters) {
    Flush();
  } else if (!flushTimer_.isActive()) {
    flushTimer_.start();
  }
}

void OutputArea::Flush() {
  flushTimer_.stop();
  if (pending_.isEmpty()) {
    return;
  }
  QTextCursor end(area_.document());
  end.movePosition(QTextCursor::End);
  end.insertText(pending_);
  pending_.clear();
  QScrollBar& bar = *area_.verticalScrollBar();
  bar.setValue(bar.maximum());
}

}  // namespace velmora
