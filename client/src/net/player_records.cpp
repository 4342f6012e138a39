#include "net/player_records.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace vobu {

void storeCharacter(Scene& scene, int32_t id, Character&& character, int32_t generation) {
    if (scene.characters.count(id) == 0 && scene.characters.size() >= kMaxPlayers)
        throw std::runtime_error("ERR_CHARACTER_LIMIT");
    scene.characters[id] = std::move(character);
    scene.characterRevisions[id] += 1;
    scene.characterGenerations[id] = generation;
}

bool noteJoined(Scene& scene, int32_t id) {
    auto& departed = scene.departedPlayers;
    if (scene.joinedPlayers.count(id) != 0) {
        departed.erase(std::remove(departed.begin(), departed.end(), id), departed.end());
        return false;
    }
    // Every remembered departure is a joined id, so the rest are present.
    const size_t present = scene.joinedPlayers.size() - departed.size();
    if (present + 1 >= kMaxPlayers) throw std::runtime_error("ERR_PLAYER_LIMIT");
    scene.joinedPlayers.insert(id);
    return true;
}

void noteLeft(Scene& scene, int32_t id) {
    scene.characters.erase(id);
    scene.characterRevisions.erase(id);
    scene.characterGenerations.erase(id);
    auto& departed = scene.departedPlayers;
    if (scene.joinedPlayers.count(id) == 0 || std::find(departed.begin(), departed.end(), id) != departed.end()) return;
    departed.push_back(id);
    if (departed.size() > kMaxRememberedDepartures) {
        scene.joinedPlayers.erase(departed.front());
        departed.pop_front();
    }
}

}  // namespace vobu
