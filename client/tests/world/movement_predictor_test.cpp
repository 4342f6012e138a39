#include <gtest/gtest.h>

#include <cmath>

#include "movement_test_support.h"
#include "world/movement.h"
#include "world/movement_predictor.h"

namespace vobu {
namespace {

using movetest::sameState;

const double kStep = 1.0 / 60.0;

class PredictorTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene.walkMesh = movetest::prepared(mapkit::flatFloor());
        scene.spawn = movetest::standingAt(scene.walkMesh, 1, 2, 0);
        scene.spawn.heading = 0.5;
        predictor.resetFromScene(scene);
    }

    // Replays commands on a state the way the predictor must.
    MoveState replay(MoveState s, const std::deque<MoveCommand>& commands) const {
        for (const MoveCommand& c : commands) {
            s = moveStep(s, c, kStep, scene.walkMesh, scene.movement);
        }
        return s;
    }

    Scene scene;
    MovementPredictor predictor;
};

TEST_F(PredictorTest, ResetFromSceneStartsAtTheSpawnWithSequenceOne) {
    predictor.advance(0.05, 1, 0, scene, false);
    predictor.resetFromScene(scene);
    EXPECT_TRUE(sameState(predictor.state, scene.spawn));
    EXPECT_TRUE(predictor.pending.empty());
    EXPECT_EQ(predictor.lastSentSequence, 0u);
    EXPECT_EQ(predictor.openTime, 0);
    predictor.advance(kStep, 0, 0, scene, false);
    ASSERT_EQ(predictor.pending.size(), 1u);
    EXPECT_EQ(predictor.pending.front().sequence, 1u);
}

TEST_F(PredictorTest, LongFramesCountAsATenthOfASecond) {
    predictor.advance(0.25, 1, 0, scene, false);
    ASSERT_EQ(predictor.pending.size(), 6u) << "0.1 s makes 6 steps within the tolerance";
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(predictor.pending[i].sequence, i + 1);
        EXPECT_EQ(predictor.pending[i].moveX, 1.0);
    }
    EXPECT_LT(predictor.openTime, 1e-9);
    EXPECT_EQ(predictor.nextSequence, 7u);
    EXPECT_TRUE(sameState(predictor.state, replay(scene.spawn, predictor.pending)));
    predictor.advance(-1, 1, 0, scene, false);
    predictor.advance(std::nan(""), 1, 0, scene, false);
    EXPECT_EQ(predictor.pending.size(), 6u) << "no time, no steps";
}

TEST_F(PredictorTest, InputIsNormalisedOnlyWhenLongerThanOne) {
    const struct {
        double x, y, expectedX, expectedY;
    } cases[] = {{3, 4, 0.6, 0.8}, {0.3, 0.4, 0.3, 0.4}, {0, -2, 0, -1}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        predictor.resetFromScene(scene);
        predictor.advance(kStep, c.x, c.y, scene, false);
        ASSERT_EQ(predictor.pending.size(), 1u);
        EXPECT_NEAR(predictor.pending[0].moveX, c.expectedX, 1e-15) << c.x << "," << c.y;
        EXPECT_NEAR(predictor.pending[0].moveY, c.expectedY, 1e-15) << c.x << "," << c.y;
    }
}

TEST_F(PredictorTest, CommandHoldsTheTimeAverageOfItsStep) {
    predictor.advance(kStep / 2, 1, 0, scene, false);
    EXPECT_TRUE(predictor.pending.empty());
    predictor.advance(kStep / 2, 0, 1, scene, false);
    ASSERT_EQ(predictor.pending.size(), 1u);
    EXPECT_NEAR(predictor.pending[0].moveX, 0.5, 1e-12);
    EXPECT_NEAR(predictor.pending[0].moveY, 0.5, 1e-12);
}

TEST_F(PredictorTest, JumpMarksItsStepAndShowsAtOnce) {
    predictor.advance(kStep / 3, 0, 0, scene, true);
    EXPECT_TRUE(predictor.pending.empty());
    const MoveState shown = predictor.predictedState(scene);
    EXPECT_GT(shown.z, 0) << "the open step's jump is already visible";
    EXPECT_GT(shown.vz, 0);
    EXPECT_TRUE(sameState(predictor.state, scene.spawn)) << "showing does not advance the state";

    predictor.advance(kStep, 0, 0, scene, false);
    ASSERT_EQ(predictor.pending.size(), 1u);
    EXPECT_TRUE(predictor.pending[0].jump);
    predictor.advance(kStep, 0, 0, scene, false);
    ASSERT_EQ(predictor.pending.size(), 2u);
    EXPECT_FALSE(predictor.pending[1].jump);
}

TEST_F(PredictorTest, PredictedStateRunsThePartialStepOverItsTime) {
    EXPECT_TRUE(sameState(predictor.predictedState(scene), predictor.state));
    predictor.advance(kStep * 0.4, 1, 0, scene, false);
    MoveCommand partial;
    partial.moveX = 1;
    const MoveState expected = moveStep(predictor.state, partial, predictor.openTime, scene.walkMesh, scene.movement);
    const MoveState shown = predictor.predictedState(scene);
    EXPECT_NEAR(shown.x, expected.x, 1e-12);
    EXPECT_GT(shown.x, predictor.state.x);
}

TEST_F(PredictorTest, StopsCollectingAtTwoHundredFortyPending) {
    for (int i = 0; i < 60; ++i) {
        predictor.advance(0.1, 1, 0, scene, false);
    }
    ASSERT_EQ(predictor.pending.size(), 240u);
    const MoveState held = predictor.state;
    predictor.advance(0.1, 1, 0, scene, false);
    EXPECT_EQ(predictor.pending.size(), 240u);
    EXPECT_TRUE(sameState(predictor.state, held)) << "the player stands still";
    EXPECT_EQ(predictor.nextSequence, 241u);

    predictor.reconcile(held, 100, scene);
    EXPECT_EQ(predictor.pending.size(), 140u);
    EXPECT_EQ(predictor.pending.front().sequence, 101u);
    predictor.advance(kStep, 1, 0, scene, false);
    EXPECT_EQ(predictor.pending.size(), 141u);
    EXPECT_EQ(predictor.pending.back().sequence, 241u);
}

TEST_F(PredictorTest, ReconcileReplaysWhatTheServerHasNotAcknowledged) {
    predictor.advance(0.1, 1, 0.5, scene, false);
    predictor.advance(0.05, 1, 0.5, scene, false);
    ASSERT_EQ(predictor.pending.size(), 9u);
    MoveState server = movetest::standingAt(scene.walkMesh, -3, 1, 0);
    server.vx = 1;
    const std::deque<MoveCommand> all = predictor.pending;
    const double openTime = predictor.openTime;

    predictor.reconcile(server, 0, scene);
    EXPECT_EQ(predictor.pending.size(), 9u) << "an ack below every command drops none";
    EXPECT_TRUE(sameState(predictor.state, replay(server, all)));

    predictor.reconcile(server, 4, scene);
    ASSERT_EQ(predictor.pending.size(), 5u);
    EXPECT_EQ(predictor.pending.front().sequence, 5u);
    EXPECT_TRUE(sameState(predictor.state, replay(server, predictor.pending)));

    predictor.reconcile(server, 9, scene);
    EXPECT_TRUE(predictor.pending.empty());
    EXPECT_TRUE(sameState(predictor.state, server));
    EXPECT_EQ(predictor.openTime, openTime) << "the open step is untouched";
    EXPECT_EQ(predictor.nextSequence, 10u);
}

TEST_F(PredictorTest, ResetContinuesAfterTheGivenSequence) {
    predictor.advance(0.1, 1, 0, scene, false);
    MoveState granted = movetest::standingAt(scene.walkMesh, 4, 4, 0);
    predictor.reset(granted, 57);
    EXPECT_TRUE(predictor.unsentCommands().empty());
    EXPECT_TRUE(predictor.pending.empty());
    EXPECT_TRUE(sameState(predictor.state, granted));
    predictor.advance(kStep / 2, 1, 0, scene, false);
    EXPECT_TRUE(predictor.unsentCommands().empty()) << "nothing until a step completes";
    predictor.advance(kStep / 2, 1, 0, scene, false);
    const std::vector<MoveCommand> unsent = predictor.unsentCommands();
    ASSERT_EQ(unsent.size(), 1u);
    EXPECT_EQ(unsent[0].sequence, 58u);
}

TEST_F(PredictorTest, UnsentCommandsComeTwentyFourAtATime) {
    for (int i = 0; i < 10; ++i) {
        predictor.advance(0.1, 0, 1, scene, false);
    }
    ASSERT_EQ(predictor.pending.size(), 60u);
    std::vector<MoveCommand> unsent = predictor.unsentCommands();
    ASSERT_EQ(unsent.size(), 24u);
    EXPECT_EQ(unsent.front().sequence, 1u);
    EXPECT_EQ(unsent.back().sequence, 24u);
    predictor.lastSentSequence = unsent.back().sequence;
    unsent = predictor.unsentCommands();
    ASSERT_EQ(unsent.size(), 24u);
    EXPECT_EQ(unsent.front().sequence, 25u);
    predictor.lastSentSequence = 48;
    EXPECT_EQ(predictor.unsentCommands().size(), 12u);
    predictor.lastSentSequence = 60;
    EXPECT_TRUE(predictor.unsentCommands().empty());
}

TEST_F(PredictorTest, StepLengthThatIsNotPositiveMakesNoCommands) {
    for (double step : {0.0, -kStep, std::nan("")}) {
        scene.movement.step = step;
        predictor.resetFromScene(scene);
        predictor.advance(0.05, 1, 0, scene, true);  // must return, not spin
        EXPECT_TRUE(predictor.pending.empty()) << step;
        EXPECT_TRUE(sameState(predictor.predictedState(scene), scene.spawn)) << step;
    }
}

TEST_F(PredictorTest, FrameRateDoesNotChangeTheCommands) {
    const int frameCounts[] = {1, 10, 100};
    std::vector<std::deque<MoveCommand>> results;
    std::vector<MoveState> states;
    for (int frames : frameCounts) {
        MovementPredictor p;
        p.resetFromScene(scene);
        for (int i = 0; i < frames; ++i) {
            p.advance(0.1 / frames, 0.6, -0.8, scene, i == 0);
        }
        results.push_back(p.pending);
        states.push_back(p.state);
    }
    for (size_t r = 1; r < results.size(); ++r) {
        ASSERT_EQ(results[r].size(), results[0].size()) << frameCounts[r] << " frames";
        for (size_t i = 0; i < results[0].size(); ++i) {
            EXPECT_EQ(results[r][i].sequence, results[0][i].sequence);
            EXPECT_NEAR(results[r][i].moveX, results[0][i].moveX, 1e-12);
            EXPECT_NEAR(results[r][i].moveY, results[0][i].moveY, 1e-12);
        }
        for (size_t i = 0; i < results[0].size(); ++i) {
            EXPECT_EQ(results[r][i].jump, i == 0);
        }
        EXPECT_NEAR(states[r].x, states[0].x, 1e-9);
        EXPECT_NEAR(states[r].y, states[0].y, 1e-9);
        EXPECT_NEAR(states[r].z, states[0].z, 1e-9);
    }
    ASSERT_EQ(results[0].size(), 6u);
}

// Replay invariant: when the server reports exactly the predicted state (its
// heading narrowed to float, as it travels), reconciling reproduces the live
// states bit for bit.
TEST_F(PredictorTest, ReplayFromAMatchingServerStateReproducesTheLiveStates) {
    scene.walkMesh = movetest::prepared(mapkit::walledRoom());
    scene.spawn = movetest::standingAt(scene.walkMesh, 0, 0, 0);
    predictor.resetFromScene(scene);
    MovementPredictor live = predictor;
    std::vector<MoveState> after;  // state after each command
    movetest::Lcg random(3);
    for (int frame = 0; frame < 400; ++frame) {
        const double seconds = random.uniform(0.004, 0.03);
        const double x = random.uniform(-1, 1), y = random.uniform(-1, 1);
        const bool jump = random.next() % 40 == 0;
        const size_t before = predictor.pending.size();
        predictor.advance(seconds, x, y, scene, jump);
        live.advance(seconds, x, y, scene, jump);
        for (size_t i = before; i < predictor.pending.size(); ++i) {
            const MoveState previous = after.empty() ? scene.spawn : after.back();
            after.push_back(moveStep(previous, predictor.pending[i], kStep, scene.walkMesh, scene.movement));
        }
        if (frame % 7 == 6 && predictor.pending.size() > 3) {
            // Acknowledge all but the last three.
            const MoveCommand& acked = predictor.pending[predictor.pending.size() - 4];
            MoveState server = after[acked.sequence - 1];
            server.heading = static_cast<float>(server.heading);
            predictor.reconcile(server, acked.sequence, scene);
            ASSERT_TRUE(movetest::samePosition(predictor.state, live.state)) << "frame " << frame;
            ASSERT_TRUE(movetest::samePosition(predictor.predictedState(scene), live.predictedState(scene)));
        }
        if (live.pending.size() > 220) {
            break;  // the live copy is never acknowledged: stay below its limit
        }
    }
}

}  // namespace
}  // namespace vobu
