#pragma once
// stb_vorbis declarations only; the decoder itself comes from libstb.

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
