// The engine alone on the simulated platform, with no application around it:
// one loopback output device (not opened), Ecossaise loaded and the default
// settings published.
#pragma once

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "platform/simulated_platform.h"

namespace tuttiro::test {

struct EngineFixture {
  EngineFixture() {
    platform.AddOutputDevice("Out");
    platform.SetNow(1000);
    EXPECT_EQ(OpenPiece(piece, sources, "Ecossaise"), kLoadOk);
    EnginePublish(engine, system, live);
  }

  SimulatedPlatform platform;
  PieceModel piece;
  PieceSourceState sources;
  SystemSettings system;
  PieceSettings live;
  EngineRec engine{platform, piece};
};

}  // namespace tuttiro::test
