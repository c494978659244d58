#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace velmora {

// The text an error box shows for `message`: the message with a full stop
// added when its last character comes after "." in character order, so
// "Unable to write to …/Velmora.ini" ends with "." but "…!" and "" stay.
QString WithFullStop(const QString& message);

// Shows `message` (UTF-8, full-stop rule applied) in a modal box with the
// error icon and the application's name as caption, over `parent` (may be
// null).
void ShowErrorMessage(QWidget* parent, const QString& message);

// Runs one event handler of the window. An exception that leaves it (a signer
// type that is not an integer, a settings file that cannot be written) is
// shown with ShowErrorMessage, the rest of the handler being skipped, and goes
// no further: the event loop carries on. An exception that is no
// std::exception shows an empty box.
void DispatchHandler(QWidget* window, const std::function<void()>& handler) noexcept;

}  // namespace velmora
