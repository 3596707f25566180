// The built-in preloader picture: an 80 x 20, 8-bit, 256-colour uncompressed Windows BMP of
// 2678 bytes showing "LOADING".
#pragma once

#include "engine/engine_namespace.h"
#include <cstdint>
#include <vector>

namespace kestrova::engine {

constexpr int kPreloaderResourceId = 145;
// The frame the last preloader frame jumps back to: the load test.
constexpr uint16_t kPreloaderLoopFrame = 0;

const std::vector<uint8_t>& BuiltInPreloaderPicture();

} // namespace kestrova::engine
