// The option files shipped in default/: they parse, every key the program
// reads is there with the type its lookup accepts (a float written without
// a decimal point would silently fall back to the default), no key is
// misspelt, and the event script drops balls that float inside the basin.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "config/OptionsParser.h"

namespace
{
struct ParsedFile
{
    bool valid = false;
    COptionList list;
};

ParsedFile ParseShipped(const char* name)
{
    ParsedFile parsed;
    std::string path = std::string(RIPPLEX_SOURCE_DIR) + "/default/" + name;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return parsed;
    parsed.valid = COptionsParser::ParseFileForVariable(file, &parsed.list);
    std::fclose(file);
    return parsed;
}

// The type a key's lookup accepts, from its prefix: integers for i, Bool
// for b, String for s and str, and Double (written with a decimal point)
// for every floating-point key, since those are read with GetFloat.
OptionType ExpectedType(const std::string& key)
{
    if (key.rfind("str", 0) == 0 || key[0] == 's')
        return OptionType::String;
    if (key[0] == 'b')
        return OptionType::Bool;
    if (key[0] == 'i')
        return OptionType::Int;
    return OptionType::Double;
}

// Every key present with the right type, and no other key in the file.
void ExpectExactlyTheseKeys(const ParsedFile& parsed, const std::vector<std::string>& keys)
{
    ASSERT_TRUE(parsed.valid);
    std::set<std::string> known(keys.begin(), keys.end());
    for (const std::string& key : keys)
    {
        const COptionEntry* entry = parsed.list.Find(key.c_str());
        ASSERT_NE(entry, nullptr) << key << " is missing";
        EXPECT_EQ(entry->type, ExpectedType(key)) << key << " has the wrong type";
    }
    std::set<std::string> seen;
    for (const COptionEntry& entry : parsed.list.entries)
    {
        EXPECT_TRUE(known.count(entry.name)) << entry.name << " is read by nobody";
        EXPECT_TRUE(seen.insert(entry.name).second) << entry.name << " is written twice";
    }
}

TEST(DefaultFiles, GraphicsOptionsGiveAnUprightWindowedView)
{
    ParsedFile parsed = ParseShipped("graphics.opt");
    ExpectExactlyTheseKeys(parsed, {"iScreenWidth", "iScreenHeight", "dScreenFOV", "iWindowPosX",
                                    "iWindowPosY", "bDoubleBuffer", "sWindowName", "bFullScreen",
                                    "bCullFaces", "bSmoothAndNice"});
    EXPECT_GT(parsed.list.GetDouble("dScreenFOV", -45.0), 0.0);
    EXPECT_FALSE(parsed.list.GetBool("bFullScreen", true));
}

TEST(DefaultFiles, SceneCameraLooksDownAtTheBasin)
{
    ParsedFile parsed = ParseShipped("scene.opt");
    ExpectExactlyTheseKeys(parsed, {"fRotationDivisor", "fStep", "v3fCamEyeX", "v3fCamEyeY",
                                    "v3fCamEyeZ", "v3fCamDirX", "v3fCamDirY", "v3fCamDirZ",
                                    "v3fCamUpwX", "v3fCamUpwY", "v3fCamUpwZ"});
    const COptionList& list = parsed.list;
    float eye[3] = {list.GetFloat("v3fCamEyeX", 0), list.GetFloat("v3fCamEyeY", 0),
                    list.GetFloat("v3fCamEyeZ", 0)};
    float dir[3] = {list.GetFloat("v3fCamDirX", 0), list.GetFloat("v3fCamDirY", 0),
                    list.GetFloat("v3fCamDirZ", 0)};
    // The line of sight meets the plane of the water inside the basin, and
    // it has a horizontal part for the Up and Down keys to follow.
    ASSERT_LT(dir[2], 0.0f);
    float along = (0.15f - eye[2]) / dir[2];
    EXPECT_LT(std::abs(eye[0] + along * dir[0]), 0.25f);
    EXPECT_LT(std::abs(eye[1] + along * dir[1]), 0.25f);
    EXPECT_GT(dir[0] * dir[0] + dir[1] * dir[1], 0.1f);
}

TEST(DefaultFiles, SimulationOptionsNameTheShippedAssets)
{
    ParsedFile parsed = ParseShipped("simulation.opt");
    ExpectExactlyTheseKeys(
        parsed, {"iSimulationWidth", "iSimulationHeight", "dSimulationSizeX", "dSimulationSizeY",
                 "dDefaultHeight", "dFluidDensity", "dGravity", "dFriction", "dWaterFriction",
                 "dSpeedThresHold", "dForceFactor", "dParticleThresHold", "fRepresentationStep",
                 "iCrossSectionDivisor", "iPipeDivisor", "strBottomObjFileName",
                 "strWaterTextureFileName", "strBottomTextureFileName"});
    for (const char* key :
         {"strBottomObjFileName", "strWaterTextureFileName", "strBottomTextureFileName"})
    {
        std::string path = std::string(RIPPLEX_SOURCE_DIR) + "/default/" +
                           parsed.list.GetString(key, "null");
        std::FILE* file = std::fopen(path.c_str(), "rb");
        EXPECT_NE(file, nullptr) << key;
        if (file != nullptr)
            std::fclose(file);
    }
}

TEST(DefaultFiles, EventScriptDropsFloatingBallsInsideTheBasinAndKeepsGoing)
{
    ParsedFile simulation = ParseShipped("simulation.opt");
    ParsedFile parsed = ParseShipped("events.opt");
    ASSERT_TRUE(simulation.valid);
    ASSERT_TRUE(parsed.valid);
    const COptionList& list = parsed.list;
    float density = simulation.list.GetFloat("dFluidDensity", 1.0f);
    float halfX = simulation.list.GetFloat("dSimulationSizeX", 1.0f) * 0.5f;
    float halfY = simulation.list.GetFloat("dSimulationSizeY", 1.0f) * 0.5f;
    float water = simulation.list.GetFloat("dDefaultHeight", 1.0f);

    const int count = list.GetInt("iEventNumber", 0);
    ASSERT_GE(count, 5);
    std::vector<std::string> keys = {"iEventNumber"};
    // Names dropped at all, dropped again and again, taken away again and again.
    std::set<std::string> dropped, repeatedDrops, repeatedRemovals, removed;
    for (int k = 1; k <= count; ++k)
    {
        SCOPED_TRACE("event " + std::to_string(k));
        auto key = [&](const char* pattern) {
            char name[64];
            std::snprintf(name, sizeof name, pattern, k);
            keys.push_back(name);
            return keys.back();
        };
        EXPECT_EQ(list.GetInt(key("iEvent%iType").c_str(), 0), 1);
        key("dEvent%iTime");
        const bool once = list.GetBool(key("bEvent%iOnce").c_str(), true);
        const bool add = list.GetBool(key("bEvent%iAddObject").c_str(), true);
        const std::string name = list.GetString(key("strEvent%iObjectName").c_str(), "null");
        if (!once)
        {
            EXPECT_GT(list.GetDouble(key("dEvent%iAddTime").c_str(), 0.0), 0.5);
        }
        (add ? dropped : removed).insert(name);
        if (!once)
            (add ? repeatedDrops : repeatedRemovals).insert(name);
        if (!add)
            continue;
        for (const char* pattern : {"dEvent%iObjectPosZ", "dEvent%iObjectSpeedZ", "dEvent%iObjectColorR",
                                    "dEvent%iObjectColorG", "dEvent%iObjectColorB"})
            key(pattern);
        const float radius = list.GetFloat(key("dEvent%iObjectSize").c_str(), 0.0f);
        const float mass = list.GetFloat(key("dEvent%iObjectMass").c_str(), 0.0f);
        const float x = list.GetFloat(key("dEvent%iObjectPosX").c_str(), 9.0f);
        const float y = list.GetFloat(key("dEvent%iObjectPosY").c_str(), 9.0f);
        const float z = list.GetFloat(("dEvent" + std::to_string(k) + "ObjectPosZ").c_str(), 0.0f);
        EXPECT_GT(mass, 0.0f);
        EXPECT_LT(mass, density * radius * radius * radius * 4.18879f) << "would sink";
        EXPECT_LT(std::abs(x) + radius, halfX * 0.9f);
        EXPECT_LT(std::abs(y) + radius, halfY * 0.9f);
        EXPECT_GT(z - radius, water);
        EXPECT_EQ(list.GetFloat(key("dEvent%iObjectSpeedX").c_str(), 1.0f), 0.0f);
        EXPECT_EQ(list.GetFloat(key("dEvent%iObjectSpeedY").c_str(), 1.0f), 0.0f);
    }
    ExpectExactlyTheseKeys(parsed, keys);

    // Every name taken away is one that is dropped, and some ball is dropped
    // again and again while also being taken away again and again, so the
    // demonstration goes on with a bounded number of balls.
    for (const std::string& name : removed)
        EXPECT_TRUE(dropped.count(name)) << name;
    for (const std::string& name : repeatedDrops)
        EXPECT_TRUE(repeatedRemovals.count(name)) << name << " piles up";
    EXPECT_FALSE(repeatedDrops.empty());
}
}  // namespace
