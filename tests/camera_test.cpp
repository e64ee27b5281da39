// The step rules of the drag modes and the orbit, called as GLUT calls them.
#include "camera/camera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Camera : public ::testing::Test {
protected:
    void SetUp() override
    {
        initCamera();
        lastMouseX = 0;
        lastMouseY = 0;
    }
    void TearDown() override { SetUp(); }
    static void expectFixedParts()
    {
        EXPECT_EQ(centerZ, -30);
        EXPECT_EQ(upX, 0);
        EXPECT_EQ(upY, 1);
        EXPECT_EQ(upZ, 0);
    }
};

TEST_F(Camera, StartsWhereTheLabIsSeenFromTheOrigin)
{
    EXPECT_EQ(eyeX, 0); EXPECT_EQ(eyeY, 0); EXPECT_EQ(eyeZ, 0);
    EXPECT_EQ(centerX, 0); EXPECT_EQ(centerY, 0);
    expectFixedParts();
    EXPECT_EQ(orbitAngle, 90);
    EXPECT_EQ(orbitRadius, 40);
    EXPECT_DOUBLE_EQ(orbitStep, 0.034906222222222222);
}

TEST_F(Camera, OrbitComesIntoRangeOverItsFirstFourteenSteps)
{
    autoMove();
    EXPECT_NEAR(orbitAngle, 83.7517862, 1e-7);
    EXPECT_NEAR(eyeX, -19.16, 0.01);
    EXPECT_EQ(eyeY, 0);
    EXPECT_NEAR(eyeZ, 35.11, 0.01);
    for (int i = 2; i <= 14; ++i) autoMove();
    EXPECT_NEAR(orbitAngle, 2.5250071, 1e-7);
    autoMove();
    EXPECT_NEAR(orbitAngle, 2.5599133, 1e-7);  // the first step without a wrap
    expectFixedParts();
}

TEST_F(Camera, OrbitWrapsOnlyAboveTheBoundAndOnceAStep)
{
    orbitAngle = 2.0 * PI - orbitStep;
    ASSERT_EQ(orbitAngle + orbitStep, 2.0 * PI) << "the step must land exactly on the bound";
    autoMove();
    EXPECT_EQ(orbitAngle, 2.0 * PI - orbitStep + orbitStep) << "exactly on the bound: not reduced";
    EXPECT_GT(orbitAngle, 6.28);
    autoMove();
    EXPECT_LT(orbitAngle, 0.1);
    orbitAngle = 1000;
    autoMove();
    EXPECT_NEAR(orbitAngle, 1000 + orbitStep - 6.28312, 1e-9) << "one subtraction, no loop";
}

TEST_F(Camera, OneRevolutionIsOneHundredEightySteps)
{
    for (int i = 0; i < 15; ++i) autoMove();  // into the wrapped range
    double start = orbitAngle, x = eyeX, z = eyeZ;
    int steps = 0;  // until the orbit is first back where it started: fewer would be a faster turn
    do {
        autoMove();
    } while (++steps < 1000 && std::fabs(orbitAngle - start) > 1e-9);
    EXPECT_EQ(steps, 180) << "steps in one revolution";
    EXPECT_NEAR(eyeX, x, 1e-9);
    EXPECT_NEAR(eyeZ, z, 1e-9);
}

TEST_F(Camera, OrientationDragMovesTheCentreOneStepPerEvent)
{
    orientationMotion(300, 200);  // first event of the run compares with (0, 0)
    EXPECT_EQ(centerX, 4);
    EXPECT_EQ(centerY, -4);
    orientationMotion(900, 200);  // many pixels, one step
    EXPECT_EQ(centerX, 8);
    EXPECT_EQ(centerY, -4);
    orientationMotion(899, 150);  // diagonal: both
    EXPECT_EQ(centerX, 4);
    EXPECT_EQ(centerY, 0);
    orientationMotion(899, 150);  // the stored position: nothing
    EXPECT_EQ(centerX, 4);
    EXPECT_EQ(centerY, 0);
    orientationMotion(-50, -70);  // outside the window, compared as signed ints
    EXPECT_EQ(centerX, 0);
    EXPECT_EQ(centerY, 4);
    EXPECT_EQ(lastMouseX, -50);
    EXPECT_EQ(lastMouseY, -70);
    EXPECT_EQ(eyeX, 0); EXPECT_EQ(eyeY, 0); EXPECT_EQ(eyeZ, 0);
    expectFixedParts();
}

TEST_F(Camera, PositionDragMovesTheEyeInYAndZ)
{
    positionMotion(10, 10);
    EXPECT_EQ(eyeZ, 2);
    EXPECT_EQ(eyeY, 2);
    for (int y : {9, 8, 7}) positionMotion(10, y);  // upward drag lowers the eye
    EXPECT_EQ(eyeY, -4);
    EXPECT_EQ(eyeZ, 2);
    for (int y : {8, 9, 10}) positionMotion(10, y);
    EXPECT_EQ(eyeY, 2);
    positionMotion(5, 10);
    EXPECT_EQ(eyeZ, 0);
    EXPECT_EQ(eyeX, 0) << "no drag moves x";
    EXPECT_EQ(centerX, 0);
    EXPECT_EQ(centerY, 0);
    expectFixedParts();
}

TEST_F(Camera, ModesShareTheLastPositionAndKeepEachOthersChanges)
{
    orientationMotion(100, 100);
    positionMotion(100, 100);  // same place as the last event of the other mode
    EXPECT_EQ(eyeY, 0);
    EXPECT_EQ(eyeZ, 0);
    positionMotion(101, 101);
    EXPECT_EQ(centerX, 4) << "switching modes leaves the centre where it was";
    EXPECT_EQ(centerY, -4);
    EXPECT_EQ(eyeZ, 2);
}

TEST_F(Camera, AnOrbitStepDiscardsPositionDragsButKeepsTheCentre)
{
    positionMotion(50, 50);
    orientationMotion(60, 60);
    autoMove();
    EXPECT_NEAR(eyeX, -19.16, 0.01);
    EXPECT_EQ(eyeY, 0);
    EXPECT_NEAR(eyeZ, 35.11, 0.01);
    EXPECT_EQ(centerX, 4);
    EXPECT_EQ(centerY, -4);
}

}  // namespace
