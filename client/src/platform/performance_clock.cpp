#include "platform/performance_clock.h"

#include <SDL.h>

namespace vobu {

double performanceMs() { return double(SDL_GetPerformanceCounter()) * 1000.0 / double(SDL_GetPerformanceFrequency()); }

}  // namespace vobu
