#pragma once
// The one place where downloaded assets enter the world.

namespace vobu {

struct Scene;
class AssetStore;

// Hands every complete asset of the Scene's manifest that has not been
// applied yet to the reader of its kind, in manifest order, and records it
// as applied, so each asset is applied once per game however often this
// runs. A reader's fault (or "ERR_BAD_SPAWN_SKIN") propagates; the faulty
// asset leaves the Scene as it was and stays unapplied, the assets before
// it stay applied.
void applyAssets(Scene& scene, const AssetStore& store);

}  // namespace vobu
