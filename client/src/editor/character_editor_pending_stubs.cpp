// TEMPORARY: stands in for the image-file exchange until it lands; delete
// this file when CharacterEditor::requestImport calls loadPngFile.

#include "editor/character_editor.h"

namespace vobu {

void CharacterEditor::requestImport() {}

}  // namespace vobu
