// The event script: "events.opt" read once into CWaterBody::events, and the
// first stage of every step, which fires the events whose time has come.
// Object events add a copy of their sphere or remove the oldest sphere of
// the same name; events of any other type fire and change nothing.
//
// Deliberately not done: no check of the values of an event (a sphere of
// mass 0 is handled by the object pass); no message for missing keys (the
// defaults apply). An absurd event count is capped with a log line.
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unordered_map>

#include "app/Log.h"
#include "config/OptionsParser.h"
#include "sim/WaterBody.h"

namespace
{
// More events than any script writes by hand. Each missing group still
// makes a default sphere, so a count like 2 000 000 000 would exhaust
// memory and time.
constexpr int MAX_EVENT_COUNT = 10000;

// The first entry of every name in "events.opt". A script of thousands of
// events asks for sixteen keys each; scanning the whole list for every key
// would make loading quadratic in the file size. The typed answers are the
// option lookups' own (IntValueOf and the rest).
class FirstEntries
{
public:
    explicit FirstEntries(const COptionList& list)
    {
        byName.reserve(list.entries.size());
        for (const COptionEntry& entry : list.entries)
            byName.emplace(std::string_view(entry.name), &entry);  // keeps the first
    }

    const COptionEntry* Find(const char* name) const
    {
        auto found = byName.find(std::string_view(name));
        return found == byName.end() ? nullptr : found->second;
    }

private:
    std::unordered_map<std::string_view, const COptionEntry*> byName;
};

// The keys of event k, from patterns holding one "%i".
class EventKeys
{
public:
    EventKeys(const FirstEntries& entries, int number) : options(entries), k(number) {}

    int Int(const char* pattern, int def) { return IntValueOf(Find(pattern), def); }
    double Double(const char* pattern, double def) { return DoubleValueOf(Find(pattern), def); }
    float Float(const char* pattern, float def) { return FloatValueOf(Find(pattern), def); }
    bool Bool(const char* pattern, bool def) { return BoolValueOf(Find(pattern), def); }
    // Points into the cached list, which lives until the process ends.
    const char* String(const char* pattern, const char* def)
    {
        return StringValueOf(Find(pattern), def);
    }

private:
    const COptionEntry* Find(const char* pattern)
    {
        std::snprintf(name, sizeof name, pattern, k);
        return options.Find(name);
    }

    const FirstEntries& options;
    int k;
    char name[64];
};

// The sphere an adding event drops, falling under the gravity read before
// the script.
void ReadAddedObject(EventKeys& keys, float gravity, SimObject& o)
{
    o.mass = keys.Float("dEvent%iObjectMass", 0.0f);
    o.radius = keys.Float("dEvent%iObjectSize", 1.0f);
    o.position.x = keys.Float("dEvent%iObjectPosX", 0.0f);
    o.position.y = keys.Float("dEvent%iObjectPosY", 0.0f);
    o.position.z = keys.Float("dEvent%iObjectPosZ", 0.0f);
    o.speed.x = keys.Float("dEvent%iObjectSpeedX", 0.0f);
    o.speed.y = keys.Float("dEvent%iObjectSpeedY", 0.0f);
    o.speed.z = keys.Float("dEvent%iObjectSpeedZ", 0.0f);
    o.color.x = keys.Float("dEvent%iObjectColorR", 0.0f);
    o.color.y = keys.Float("dEvent%iObjectColorG", 0.0f);
    o.color.z = keys.Float("dEvent%iObjectColorB", 0.0f);
    o.acceleration = {0.0f, 0.0f, -gravity};
    o.kind = OBJECT_SOLID;
}

// Keys are read in a fixed order, each only when its event uses it.
SimEvent ReadEvent(const FirstEntries& entries, int k, float gravity)
{
    EventKeys keys(entries, k);
    SimEvent e;
    e.type = keys.Int("iEvent%iType", 1);
    e.time = keys.Double("dEvent%iTime", 0.0);
    e.once = keys.Bool("bEvent%iOnce", true);
    if (!e.once)
        e.addTime = keys.Double("dEvent%iAddTime", 0.0);
    if (e.type == 1)
    {
        e.addObject = keys.Bool("bEvent%iAddObject", true);
        e.object.name = keys.String("strEvent%iObjectName", "null");
        if (e.addObject)
            ReadAddedObject(keys, gravity, e.object);
    }
    return e;
}

// Removes the oldest object with the event's name, keeping the others'
// order; particles have no name and never match.
void RemoveFirstNamed(std::vector<SimObject>& objects, const SimObject& named)
{
    auto found = std::find_if(objects.begin(), objects.end(),
                              [&](const SimObject& o) { return o.IsSameObject(named); });
    if (found != objects.end())
        objects.erase(found);
}
}  // namespace

bool CWaterBody::LoadEvents()
{
    COptionList* list = COptionsParser::ParseFile("events.opt", bReadFilesAgain);
    if (!list)
        return false;
    int count = list->GetInt("iEventNumber", 0);
    if (count <= 0)
        return true;
    if (count > MAX_EVENT_COUNT)
    {
        CLog::Write("CWaterBody::LoadEvents -- Trop d'\xE9v\xE9nements (%d), seuls les %d premiers sont lus",
                    count, MAX_EVENT_COUNT);
        count = MAX_EVENT_COUNT;
    }
    const FirstEntries entries(*list);
    events.reserve(events.size() + size_t(count));
    for (int k = 1; k <= count; ++k)
        events.push_back(ReadEvent(entries, k, dGravity));
    return true;
}

void CWaterBody::FireEvents()
{
    const double now = dElapsedTime;
    // One compacting pass: one-shot events that fired drop out and the rest
    // slide down in order, so each event is looked at exactly once per step.
    const size_t count = events.size();
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i)
    {
        SimEvent& e = events[i];
        bool keep = true;
        if (!(e.time > now))
        {
            if (e.type == 1)
            {
                if (e.addObject)
                    objects.push_back(e.object);
                else
                    RemoveFirstNamed(objects, e.object);
            }
            if (e.once)
                keep = false;
            else
                e.time += e.addTime;
        }
        if (keep)
        {
            if (kept != i)
                events[kept] = e;
            ++kept;
        }
    }
    events.resize(kept);
}
