#pragma once
// The game's clock: the performance counter in milliseconds, as a double
// (the counter runs at 1e9 Hz here, so an integer product would overflow).
// Game, network, animation and sound times all use it.

namespace vobu {

double performanceMs();

}  // namespace vobu
