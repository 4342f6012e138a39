#pragma once
// What the Scene keeps of the players a server announces, within fixed
// bounds: a server cannot make the client hold more characters than one
// game has players, nor remember departed players without end.

#include <cstddef>
#include <cstdint>

#include "character/character.h"
#include "world/scene.h"

namespace vobu {

// The most players one game holds, the local player included: as many
// characters are kept at most, and as many joined players may be present.
inline constexpr size_t kMaxPlayers = 256;
// Departed players still remembered as joined (so that one who comes back
// soon is not announced as new); beyond this the oldest are forgotten.
inline constexpr size_t kMaxRememberedDepartures = 256;

// Sets the character of player `id` (replacing one it had); a new id when
// kMaxPlayers characters are kept fails with "ERR_CHARACTER_LIMIT".
void storeCharacter(Scene& scene, int32_t id, Character&& character, int32_t generation);

// Notes a "joined" player. True when the id is new; false for one already
// joined (a departed one counts as present again). A new id when
// kMaxPlayers players are present, the local one included, fails with
// "ERR_PLAYER_LIMIT".
bool noteJoined(Scene& scene, int32_t id);

// Forgets the character of player `id` and remembers the departure of a
// joined player, the oldest of more than kMaxRememberedDepartures dropped.
void noteLeft(Scene& scene, int32_t id);

}  // namespace vobu
