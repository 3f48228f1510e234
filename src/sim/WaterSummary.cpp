// SummariseWater: cell order and object order, doubles throughout, as the
// runner has always printed them.
#include "sim/WaterSummary.h"

#include "sim/WaterBody.h"

WaterSummary SummariseObjects(const CWaterBody& body)
{
    WaterSummary s;
    s.time = body.dElapsedTime;
    for (const SimObject& o : body.objects)
    {
        if (o.kind == OBJECT_PARTICLE)
        {
            s.spray += DropVolume(o.radius);
            ++s.particles;
        }
        else
        {
            ++s.objects;
        }
    }
    return s;
}

WaterSummary SummariseWater(const CWaterBody& body)
{
    WaterSummary s = SummariseObjects(body);
    if (body.HasCells())
    {
        const size_t cellCount = size_t(body.iSimulationWidth) * body.iSimulationHeight;
        for (size_t i = 0; i < cellCount; ++i)
            if (body.IsWaterCell(i))
                s.water += double(body.CellHeight(i)) * double(body.fCellArea);
    }
    return s;
}
