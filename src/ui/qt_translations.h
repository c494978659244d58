#pragma once

class QCoreApplication;

namespace velmora {

// Makes Qt's own texts (the file dialogs, the overwrite question, the buttons
// of message boxes) Simplified Chinese like the rest of the window, whatever
// the session's locale. Returns false when Qt's translations are not
// installed; the texts then stay English.
bool UseChineseQtTexts(QCoreApplication& application);

}  // namespace velmora
