#pragma once

#include <string>

namespace vobu {

class TextField;

// The system's text input, switched on while a field is being edited.
void startTextInput();
void stopTextInput();

// Input-method hooks. Composition is not supported: the caret hint is
// ignored and no composition is ever reported.
void setTextInputCaret(int cursor, int anchor);
bool compositionText(std::string& text, int& cursor, int& anchor);
bool compositionActive();

// Whether either Shift key is held now.
bool isShiftHeld();

// Clipboard text for a field: copy and cut put a non-empty selection on the
// clipboard; paste inserts the clipboard text (cleaned and cut to the room
// left) in place of the selection. Each reports whether it did anything.
bool copyFieldSelection(const TextField& field);
bool cutFieldSelection(TextField& field);
bool pasteIntoField(TextField& field);

}  // namespace vobu
