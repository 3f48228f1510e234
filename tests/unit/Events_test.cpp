// The event script: what "events.opt" loads into, and when and how the
// events fire during the steps.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "SimFixture.h"

namespace
{
// A basin where spheres never touch the water: they are dropped far above
// it, so the only changes to `objects` come from the events.
const char* const HIGH_BASIN = "dGravity = 0.0;";

// An event and its sphere as text.
std::string Describe(const SimEvent& e)
{
    const SimObject& o = e.object;
    std::ostringstream out;
    out << "type " << e.type << " at " << e.time << " once " << e.once << " add " << e.addObject
        << " every " << e.addTime << " " << (o.name ? o.name : "-") << " m" << o.mass << " r" << o.radius
        << " p(" << o.position.x << " " << o.position.y << " " << o.position.z << ") v(" << o.speed.x
        << " " << o.speed.y << " " << o.speed.z << ") c(" << o.color.x << " " << o.color.y << " "
        << o.color.z << ")";
    return out.str();
}

std::string Names(const CWaterBody& b)
{
    std::string names;
    for (const SimObject& o : b.objects)
        names += o.name ? o.name : "-";
    return names;
}
}  // namespace

TEST(Events, KeysAreReadWithTheirOwnLookupsAndTheFirstEntryDecides)
{
    CSimFixture f("", "iEventNumber = 3;"
                      "dEvent1Time = 2; dEvent1ObjectPosZ = 2; dEvent1ObjectPosX = 0.25;"
                      "dEvent1ObjectMass = 3.5; dEvent1ObjectSize = 0.125; dEvent1ObjectSpeedY = -1.5;"
                      "dEvent1ObjectColorG = 0.5; strEvent1ObjectName = \"Ball\"; bEvent1Once = 1;"
                      "iEvent2Type = 1; bEvent2Once = FALSE; dEvent2AddTime = 0.5;"
                      "bEvent2AddObject = false; strEvent2ObjectName = \"Ball\"; dEvent2ObjectMass = 9.0;"
                      "dEvent3Time = true; dEvent3Time = 3.0; dEvent3ObjectMass = 1; dEvent3ObjectMass = 2.0;"
                      "dEvent3ObjectSize = 0.5; dEvent3ObjectSize = 0.25; strEvent3ObjectName = 7;"
                      "strEvent3ObjectName = \"late\"; bEvent3Once = 0.0; iEvent3Type = 1.0; iEvent3Type = 2;"
                      "dEvent3ObjectPosX = \"0.5\"; dEvent3ObjectPosY = -0.75;");
    ASSERT_TRUE(f.initialised) << f.LogText();
    ASSERT_EQ(f.body.events.size(), 3u);
    // GetDouble takes an integer (dEvent1Time), GetFloat does not (PosZ);
    // 1 is no boolean; a removal reads no sphere.
    EXPECT_EQ(Describe(f.body.events[0]), "type 1 at 2 once 1 add 1 every 0 Ball m3.5 r0.125 p(0.25 0 0) "
                                          "v(0 -1.5 0) c(0 0.5 0)");
    EXPECT_EQ(Describe(f.body.events[1]), "type 1 at 0 once 0 add 0 every 0.5 Ball m0 r0 p(0 0 0) "
                                          "v(0 0 0) c(0 0 0)");
    // The first entry of each name: of an unsuitable type, it gives the default.
    EXPECT_EQ(Describe(f.body.events[2]), "type 1 at 0 once 1 add 1 every 0 null m0 r0.5 p(0 -0.75 0) "
                                          "v(0 0 0) c(0 0 0)");
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

// One script stepped by 0.25 s (exact in binary): other types fire without
// effect, in order, a repeating one rescheduled from its own time; "a", "b"
// and a second "a" drop at 0, and a removal at 0.25 takes the older "a";
// "r" repeats from 1.0 every 0.5 s, firing in the step that reaches it.
TEST(Events, FireInTheStepThatReachesThemRepeatAndRemoveTheOlder)
{
    CSimFixture f(HIGH_BASIN, "iEventNumber = 7; iEvent1Type = 2; strEvent1ObjectName = \"never\";"
                              "iEvent2Type = 0; bEvent2Once = false; dEvent2AddTime = 0.1;"
                              "strEvent3ObjectName = \"a\"; dEvent3ObjectColorR = 0.25; dEvent3ObjectPosZ = 50.0;"
                              "strEvent4ObjectName = \"b\"; dEvent4ObjectPosZ = 50.0;"
                              "strEvent5ObjectName = \"a\"; dEvent5ObjectColorR = 0.75; dEvent5ObjectPosZ = 50.0;"
                              "dEvent6Time = 0.25; bEvent6AddObject = false; strEvent6ObjectName = \"a\";"
                              "dEvent7Time = 1.0; bEvent7Once = false; dEvent7AddTime = 0.5;"
                              "strEvent7ObjectName = \"r\"; dEvent7ObjectPosZ = 50.0;");
    ASSERT_TRUE(f.initialised);
    CWaterBody& b = f.body;
    EXPECT_STREQ(b.events[0].object.name, nullptr);  // not read for type 2
    const char* names[] = {"ba", "ba", "ba", "bar", "bar", "barr", "barr", "barrr", "barrr"};
    for (int step = 0; step < 9; ++step)
    {
        b.Step(0.25);
        ASSERT_EQ(Names(b), names[step]) << "step " << step + 1;
        if (step == 0)
        {
            ASSERT_EQ(b.events.size(), 2u);  // the one-shot ones are consumed
            EXPECT_EQ(b.events[0].type, 0);
            EXPECT_EQ(b.events[0].time, 0.1);
        }
    }
    EXPECT_EQ(b.objects[1].color.x, 0.75f);
    EXPECT_EQ(b.events[1].time, 2.5);
}
