// The event script: what "events.opt" loads into, and when and how the
// events fire during the steps.
#include <gtest/gtest.h>

#include <string>

#include "SimFixture.h"

namespace
{
// A basin where spheres never touch the water: they are dropped far above
// it, so the only changes to `objects` come from the events.
const char* const HIGH_BASIN = "dGravity = 0.0;";

std::string Names(const CWaterBody& b)
{
    std::string names;
    for (const SimObject& o : b.objects)
        names += o.name ? o.name : "-";
    return names;
}
}  // namespace

TEST(Events, GroupWithoutKeysIsAOneShotBlackSphereAtTheOrigin)
{
    CSimFixture f("dGravity = 9.5;", "iEventNumber = 1;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    ASSERT_EQ(f.body.events.size(), 1u);
    const SimEvent& e = f.body.events[0];
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.time, 0.0);
    EXPECT_TRUE(e.once);
    EXPECT_TRUE(e.addObject);
    const SimObject& o = e.object;
    EXPECT_STREQ(o.name, "null");
    EXPECT_EQ(o.mass, 0.0f);
    EXPECT_EQ(o.radius, 1.0f);
    for (const Vec3* v : {&o.position, &o.speed, &o.color})
        EXPECT_TRUE(v->x == 0.0f && v->y == 0.0f && v->z == 0.0f);
    EXPECT_EQ(o.acceleration.z, -9.5f);
    EXPECT_EQ(o.kind, uint32_t(OBJECT_SOLID));
}

TEST(Events, KeysAreReadWithTheirOwnLookups)
{
    CSimFixture f("", "iEventNumber = 2;"
                      "dEvent1Time = 2; dEvent1ObjectPosZ = 2; dEvent1ObjectPosX = 0.25;"
                      "dEvent1ObjectMass = 3.5; dEvent1ObjectSize = 0.125; dEvent1ObjectSpeedY = -1.5;"
                      "dEvent1ObjectColorG = 0.5; strEvent1ObjectName = \"Ball\"; bEvent1Once = 1;"
                      "iEvent2Type = 1; bEvent2Once = FALSE; dEvent2AddTime = 0.5;"
                      "bEvent2AddObject = false; strEvent2ObjectName = \"Ball\"; dEvent2ObjectMass = 9.0;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    ASSERT_EQ(f.body.events.size(), 2u);
    const SimEvent& first = f.body.events[0];
    EXPECT_EQ(first.time, 2.0);                   // GetDouble takes an integer
    EXPECT_EQ(first.object.position.z, 0.0f);     // GetFloat does not
    EXPECT_EQ(first.object.position.x, 0.25f);
    EXPECT_EQ(first.object.mass, 3.5f);
    EXPECT_EQ(first.object.radius, 0.125f);
    EXPECT_EQ(first.object.speed.y, -1.5f);
    EXPECT_EQ(first.object.color.y, 0.5f);
    EXPECT_STREQ(first.object.name, "Ball");
    EXPECT_TRUE(first.once);                      // 1 is not a boolean
    const SimEvent& second = f.body.events[1];
    EXPECT_FALSE(second.once);
    EXPECT_EQ(second.addTime, 0.5);
    EXPECT_FALSE(second.addObject);
    EXPECT_STREQ(second.object.name, "Ball");
    EXPECT_EQ(second.object.mass, 0.0f);          // not read for a removal
}

TEST(Events, FirstEntryOfANameDecidesEvenWithAnUnsuitableType)
{
    CSimFixture f("", "iEventNumber = 1;"
                      "dEvent1Time = true; dEvent1Time = 3.0;"
                      "dEvent1ObjectMass = 1; dEvent1ObjectMass = 2.0;"
                      "dEvent1ObjectSize = 0.5; dEvent1ObjectSize = 0.25;"
                      "strEvent1ObjectName = 7; strEvent1ObjectName = \"late\";"
                      "bEvent1Once = 0.0; iEvent1Type = 1.0; iEvent1Type = 2;"
                      "dEvent1ObjectPosX = \"0.5\"; dEvent1ObjectPosY = -0.75;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    ASSERT_EQ(f.body.events.size(), 1u);
    const SimEvent& e = f.body.events[0];
    EXPECT_EQ(e.type, 1);                    // 1.0 is a Double: default
    EXPECT_EQ(e.time, 0.0);                  // a Bool: default
    EXPECT_TRUE(e.once);                     // a Double: default
    EXPECT_EQ(e.object.mass, 0.0f);          // an Int: default
    EXPECT_EQ(e.object.radius, 0.5f);
    EXPECT_STREQ(e.object.name, "null");     // an Int: default
    EXPECT_EQ(e.object.position.x, 0.0f);    // a String: default
    EXPECT_EQ(e.object.position.y, -0.75f);
}

TEST(Events, NoOrNonPositiveCountLoadsNothingAndAnAbsurdOneIsCapped)
{
    for (const char* text : {"", "iEventNumber = 0;", "iEventNumber = -4;", "iEventNumber = 2.0;"})
    {
        CSimFixture f("", text);
        ASSERT_TRUE(f.initialised) << text;
        EXPECT_TRUE(f.body.events.empty()) << text;
    }
    CSimFixture f("", "iEventNumber = 2000000000;");
    ASSERT_TRUE(f.initialised);
    EXPECT_EQ(f.body.events.size(), 10000u);
    EXPECT_NE(f.LogText().find("CWaterBody::LoadEvents -- Trop d'\xE9v\xE9nements (2000000000), "
                               "seuls les 10000 premiers sont lus\n"),
              std::string::npos)
        << f.LogText();
}

TEST(Events, EventFiresInTheFirstStepThatReachesItsTime)
{
    CSimFixture f(HIGH_BASIN, "iEventNumber = 2; dEvent1Time = 0.1; strEvent1ObjectName = \"late\";"
                              "dEvent1ObjectPosZ = 50.0; dEvent2ObjectPosZ = 50.0;"
                              "strEvent2ObjectName = \"zero\";");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    b.Step(0.03);
    EXPECT_EQ(Names(b), "zero");  // time 0 fires in the very first step
    b.Step(0.03);
    b.Step(0.03);
    EXPECT_EQ(Names(b), "zero");  // 0.09 < 0.1
    b.Step(0.03);
    EXPECT_EQ(Names(b), "zerolate");
    EXPECT_TRUE(b.events.empty());  // both were one-shot
    f.Run(10, 0.03);
    EXPECT_EQ(b.objects.size(), 2u);
}

TEST(Events, RepeatingEventAddsAFreshCopyAtEachInterval)
{
    CSimFixture f(HIGH_BASIN, "iEventNumber = 1; dEvent1Time = 1.0; bEvent1Once = false;"
                              "dEvent1AddTime = 0.5; strEvent1ObjectName = \"r\"; dEvent1ObjectPosZ = 50.0;"
                              "dEvent1ObjectMass = 1.0;");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    // dt = 0.25 reaches 1.0, 1.5, 2.0 exactly at steps 4, 6 and 8.
    const size_t expected[9] = {0, 0, 0, 1, 1, 2, 2, 3, 3};
    for (size_t step = 0; step < 9; ++step)
    {
        b.Step(0.25);
        ASSERT_EQ(b.objects.size(), expected[step]) << "step " << step + 1;
    }
    ASSERT_EQ(b.events.size(), 1u);
    EXPECT_EQ(b.events[0].time, 2.5);
    // Each copy started from the event's own sphere, not from a moved one.
    EXPECT_EQ(b.objects[2].position.z, 50.0f);
    EXPECT_STREQ(b.objects[0].name, b.objects[2].name);
}

TEST(Events, RemovalTakesTheOlderOfTwoSameNamedSpheres)
{
    CSimFixture f(HIGH_BASIN, "iEventNumber = 4;"
                              "strEvent1ObjectName = \"a\"; dEvent1ObjectColorR = 0.25; dEvent1ObjectPosZ = 50.0;"
                              "strEvent2ObjectName = \"b\"; dEvent2ObjectPosZ = 50.0;"
                              "strEvent3ObjectName = \"a\"; dEvent3ObjectColorR = 0.75; dEvent3ObjectPosZ = 50.0;"
                              "dEvent4Time = 0.05; bEvent4AddObject = false; strEvent4ObjectName = \"a\";");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    b.Step(0.03);
    EXPECT_EQ(Names(b), "aba");
    b.Step(0.03);
    ASSERT_EQ(Names(b), "ba");
    EXPECT_EQ(b.objects[1].color.x, 0.75f);
}

TEST(Events, RemovalListedBeforeTheAdditionInTheSameStepFindsNothing)
{
    CSimFixture g(HIGH_BASIN, "iEventNumber = 2; bEvent1AddObject = false; strEvent1ObjectName = \"x\";"
                              "strEvent2ObjectName = \"x\"; dEvent2ObjectPosZ = 50.0;");
    ASSERT_TRUE(g.initialised);
    g.body.Step(0.03);
    EXPECT_EQ(Names(g.body), "x");
    EXPECT_TRUE(g.body.events.empty());
}

TEST(Events, OtherTypesFireWithoutEffect)
{
    CSimFixture f(HIGH_BASIN, "iEventNumber = 3;"
                              "iEvent1Type = 2; strEvent1ObjectName = \"never\";"
                              "iEvent2Type = 0; bEvent2Once = false; dEvent2AddTime = 0.1;"
                              "iEvent3Type = 1; dEvent3Time = 0.5; dEvent3ObjectPosZ = 50.0;");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    ASSERT_EQ(b.events.size(), 3u);
    EXPECT_STREQ(b.events[0].object.name, nullptr);  // not read for type 2
    b.Step(0.03);
    EXPECT_TRUE(b.objects.empty());
    ASSERT_EQ(b.events.size(), 2u);  // the one-shot type 2 is consumed
    EXPECT_EQ(b.events[0].type, 0);
    EXPECT_DOUBLE_EQ(b.events[0].time, 0.1);  // rescheduled
    EXPECT_EQ(b.events[1].type, 1);           // order kept
}

TEST(Events, RemovalNeverTakesAParticle)
{
    // The removal's default name is the text "null"; particles have none.
    CSimFixture f(HIGH_BASIN, "iEventNumber = 1; bEvent1AddObject = false; bEvent1Once = false;");
    ASSERT_TRUE(f.initialised);
    SimObject drop;
    drop.kind = OBJECT_PARTICLE;
    drop.radius = 0.001f;
    drop.position = {0.0f, 0.0f, 50.0f};
    f.body.objects.push_back(drop);
    f.body.FireEvents();
    f.body.FireEvents();
    EXPECT_EQ(f.body.objects.size(), 1u);
}

TEST(Events, FiringWalkKeepsOrderAcrossManyRemovals)
{
    // Ten one-shot events at alternating times: the walk drops the due ones
    // and keeps the others in file order.
    std::string text = "iEventNumber = 10;";
    for (int k = 1; k <= 10; ++k)
        text += "dEvent" + std::to_string(k) + "Time = " + (k % 2 ? "0.0" : "1.0") +
                "; iEvent" + std::to_string(k) + "Type = " + std::to_string(100 + k) + ";";
    CSimFixture f(HIGH_BASIN, text);
    ASSERT_TRUE(f.initialised);
    f.body.Step(0.03);
    ASSERT_EQ(f.body.events.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f.body.events[i].type, 102 + 2 * i);
}
