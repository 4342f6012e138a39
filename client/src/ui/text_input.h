#pragma once

#include <string>

namespace vobu {

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

}  // namespace vobu
