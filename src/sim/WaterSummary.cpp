// SummariseWater: cell order and object order, doubles throughout, as the
// runner has always printed them.
#include "sim/WaterSummary.h"

#include "sim/WaterBody.h"

WaterSummary SummariseWater(const CWaterBody& body)
{
    WaterSummary s;
    s.time = body.dElapsedTime;
    if (body.HasCells())
    {
        const size_t cellCount = size_t(body.iSimulationWidth) * body.iSimulationHeight;
        for (size_t i = 0; i < cellCount; ++i)
            if (body.IsWaterCell(i))
                s.water += double(body.CellHeight(i)) * double(body.fCellArea);
    }
    for (const SimObject& o : body.objects)
    {
        if (o.kind == OBJECT_PARTICLE)
        {
            const double r = o.radius;
            s.spray += SPHERE_VOLUME_FACTOR * r * r * r;
            ++s.particles;
        }
        else
        {
            ++s.objects;
        }
    }
    return s;
}
