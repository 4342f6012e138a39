#pragma once
// The game's clock: the performance counter in milliseconds, as a double
// (the counter runs at 1e9 Hz here, so an integer product would overflow).
// Game, network, animation and sound times all use it.

#include <functional>

namespace vobu {

double performanceMs();

// The one way a part is given another clock (tests): `setClock` with a
// function answering milliseconds. Every part starts on performanceMs.
using MillisecondClock = std::function<double()>;

}  // namespace vobu
