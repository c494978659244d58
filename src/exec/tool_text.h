#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Turns the bytes a tool writes, as the reads of its pipe return them, into
// text to show, keeping the lines as the tool broke them: LF, CRLF and a lone
// CR each end a line and become "\n" (a lone CR breaks the line rather than
// starting it over, so no text the tool wrote is hidden), NUL bytes are
// dropped, and a UTF-8 character cut by the end of a read is held back until
// its rest arrives. Other bytes pass unchanged, invalid UTF-8 included.
class ToolTextDecoder {
 public:
  // Appends to `text` what of `bytes` can be shown now: everything but a cut
  // character at the end, and a CR at the end, which may be the first half of
  // a CRLF.
  void Decode(std::string_view bytes, std::string& text);
  // Appends what was held back once the tool's output has ended: a CR as a
  // line break, a cut character as the bytes it has; then a line break when
  // the text ended in the middle of a line, so that a run's text always ends
  // with a line of its own.
  void Finish(std::string& text);

 private:
  // Completes a cut character from the first bytes of `bytes`; false when
  // `bytes` ran out before it was complete (it is then still held).
  bool CompleteHeldCharacter(std::string_view& bytes, std::string& text);
  // A CR that ends `bytes` waits for the next read only when `endsRead`: one
  // followed by the start of a cut character is a lone CR.
  void AppendWithLineBreaks(std::string_view bytes, bool endsRead, std::string& text);
  void NoteEnding(const std::string& text);

  std::string heldCharacter_;
  std::size_t heldCharacterLength_ = 0;
  bool heldCarriageReturn_ = false;
  bool lineOpen_ = false;
};

}  // namespace velmora
