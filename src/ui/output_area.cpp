#include "ui/output_area.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace velmora {
namespace {

// The text area keeps a block of its own for every paragraph, and making
// blocks is most of what an insertion costs; line breaks inside a block are
// line separators, which show the same and read back as "\n" from
// toPlainText(). A tool's lines therefore share blocks of about this many
// characters: few blocks, none so long that laying it out again is slow.
constexpr qsizetype kBlockCharacters = 4096;

QString WithLineSeparators(QString text) {
  text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  text.replace(QLatin1Char('\r'), QChar::LineSeparator);
  return text;
}

}  // namespace

OutputArea::OutputArea(QPlainTextEdit& area)
    : QObject(&area), area_(area), holdsLines_(!area.document()->isEmpty()) {
  area_.installEventFilter(this);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushInterval);
  connect(&flushTimer_, &QTimer::timeout, this, &OutputArea::Flush);
}

void OutputArea::Clear() {
  flushTimer_.stop();
  pending_.clear();
  area_.clear();
  holdsLines_ = false;
  lineOpen_ = false;
}

// A text area cannot tell an empty first line from no line at all, so the
// break that ends the previous line is written with the next one.
void OutputArea::StartLine() {
  if (holdsLines_) {
    pending_ += QLatin1Char('\n');
    blockLength_ = 0;
  }
  holdsLines_ = true;
}

void OutputArea::AppendLine(std::string_view line) {
  StartLine();
  const QString text =
      WithLineSeparators(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
  pending_ += text;
  blockLength_ += text.size();
  lineOpen_ = false;
  FlushSoon();
}

void OutputArea::AppendToolText(std::string_view text) {
  if (text.empty()) {
    return;
  }
  // A tool's text comes a whole pipe read at a time; inserting what waits
  // first keeps one insertion, and so one stall of the event loop, as short.
  if (pending_.size() + static_cast<qsizetype>(text.size()) > kMostPendingCharacters) {
    Flush();
  }
  if (!lineOpen_) {
    StartLine();
  }
  // The break that ends the last line, too, is written with the next line.
  lineOpen_ = !text.ends_with('\n');
  if (!lineOpen_) {
    text.remove_suffix(1);
  }
  AppendToolLines(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  FlushSoon();
}

void OutputArea::AppendToolLines(const QString& text) {
  qsizetype from = 0;
  for (qsizetype lineEnd = text.indexOf(QLatin1Char('\n')); lineEnd >= 0;
       lineEnd = text.indexOf(QLatin1Char('\n'), from)) {
    pending_ += QStringView(text).sliced(from, lineEnd - from);
    blockLength_ += lineEnd - from;
    if (blockLength_ >= kBlockCharacters) {
      pending_ += QLatin1Char('\n');
      blockLength_ = 0;
    } else {
      pending_ += QChar::LineSeparator;
      ++blockLength_;
    }
    from = lineEnd + 1;
  }
  pending_ += QStringView(text).sliced(from);
  blockLength_ += text.size() - from;
}

void OutputArea::FlushSoon() {
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

// A read-only text area lets Tab move the focus; this one keeps it.
bool OutputArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &area_ && event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const bool tab = key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab;
    return tab && !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace velmora
