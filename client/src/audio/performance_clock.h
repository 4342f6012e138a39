#pragma once
// The game's clock: the performance counter in milliseconds.

namespace vobu {

double performanceMs();

} // namespace vobu
