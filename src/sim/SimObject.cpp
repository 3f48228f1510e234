// SimObject identity: the event script removes spheres by name; particles
// have no name and so are never the same as anything.
#include "sim/SimObject.h"

#include <cstring>

bool SimObject::IsSameObject(const SimObject& other) const
{
    return name && other.name && std::strcmp(name, other.name) == 0;
}
