#pragma once
// One frame of the 3D world: the map through the world layer, every player
// as a textured, tinted, posed box, the shattering bodies of players who
// left or changed body, the signs, the speech bubbles and the name tag of
// the player under the cursor. Everything goes through Graphics as
// clip-space triangles projected on the CPU; the clip-space copies are kept
// so that picking sees exactly what was drawn.

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/performance_clock.h"
#include "ui/graphics.h"
#include "world/character_pose.h"
#include "world/ground_color_index.h"
#include "world/name_tag.h"
#include "world/orbit_camera.h"
#include "world/speech_bubbles.h"
#include "world/world_layer.h"

namespace vobu {

class Font;
struct Player;
struct Scene;

inline constexpr double kSpawnSeconds = 0.65;
inline constexpr size_t kMaxFadingMeshes = 128;

struct FadingMesh {
    std::vector<Vertex> worldMesh;
    uint32_t texture = 0;
    bool ownsTexture = false;
    double age = 0;  // seconds
};

struct PlayerVisual {
    float smoothedHeading = 0;
    double headingTime = 0;  // seconds gathered since the heading was smoothed
    int32_t headingCounter = 0;
    CharacterPose pose;
    NameTag nameTag;
    bool initialised = false;
    bool sharesSkin = false;  // the texture is the Renderer's localSkinTexture
    bool tintInitialised = false;
    Color tint{1, 1, 1};
    uint32_t skinTexture = 0;
    int32_t skinRevision = 0;
    int32_t generation = 0;
    double spawnTimer = 0;          // seconds of the assembly left
    std::vector<Vertex> worldMesh;  // w = 1
    std::vector<Vertex> clipMesh;   // as drawn this frame
};

class Renderer {
public:
    Renderer();
    // Lends the Renderer the shared Graphics and Font; both stay valid for the
    // Renderer's whole life. Nothing is drawn before this.
    void initialize(Graphics* graphics, const Font* font);

    // One frame at width x height drawable pixels; dt in seconds; the mouse
    // in window pixels; hover asks for the name tag under the mouse.
    void draw(const Scene& scene, const std::vector<Player>& players, int width, int height, double dt, int mouseX,
              int mouseY, bool hover);
    // The id of the nearest player drawn last frame under window pixel
    // (x, y), or -1.
    int pick(int x, int y) const;
    // Forgets everything of the last game and deletes what it owns.
    void reset();
    // Gives the local player's body a skin texture of its own.
    void detachLocalSkin(const Scene& scene);
    // Drops every visual; that of `id` shatters away first.
    void clearPlayers(int id);
    void addFadingMesh(PlayerVisual& visual);
    std::vector<Vertex> projectTriangles(const std::vector<Vertex>& mesh) const;

    OrbitCamera camera;
    uint32_t localSkinTexture = 0;  // not owned
    // The clock of the chat's receive times, for the speech bubbles.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }

    const std::vector<FadingMesh>& fadingMeshes() const { return fading_; }
    const std::map<int, ChatBubbles>& bubbleStacks() const { return bubbles_; }
    const std::map<int, PlayerVisual>& visuals() const { return visuals_; }
    const std::vector<Vertex>& occluders() const { return occluders_; }
    const std::vector<int32_t>& drawnIds() const { return drawnIds_; }
    uint32_t lastBubbledSequence() const { return lastBubbled_; }

private:
    void drawPlayer(const Scene& scene, const Player& player, double dt, bool isLocal);
    void updateSkin(PlayerVisual& visual, const Scene& scene, const Player& player, bool isLocal);
    void drawFadingMeshes(double dt);
    void drawBubbles(const Scene& scene, const std::vector<Player>& players, double dt);
    void drawHoverTag(const Scene& scene, const std::vector<Player>& players, int mouseX, int mouseY);
    void releaseVisual(PlayerVisual& visual);
    PlotFunction projecting() const;

    MillisecondClock clock_ = performanceMs;
    std::vector<FadingMesh> fading_;
    std::map<int, ChatBubbles> bubbles_;
    uint32_t lastBubbled_ = 0;
    std::vector<Vertex> occluders_;
    std::vector<int32_t> drawnIds_;
    Graphics* graphics_ = nullptr;
    const Font* font_ = nullptr;
    WorldLayer worldLayer_;
    std::map<int, PlayerVisual> visuals_;
    int32_t frameWidth_ = 1;
    int32_t frameHeight_ = 1;
    CameraProjector projector_;
    uint64_t drawnWorld_ = 0;        // identity of the Scene of the last frame
    GroundColorIndex groundColors_;  // the tint under each player
};

// The mesh blown apart into pieces of two triangles at t (0: whole, 1:
// scattered, turned and black).
std::vector<Vertex> shatterMesh(const std::vector<Vertex>& mesh, float t);

}  // namespace vobu
