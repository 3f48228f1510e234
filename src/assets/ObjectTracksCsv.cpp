// WriteObjectTracks: CSV is a few lines of plain text by definition.

#include "assets/ObjectTracksCsv.h"

#include "assets/ExportFile.h"
#include "sim/WaterBody.h"

void WriteObjectTracksHeader(CExportFile& file)
{
    file.Text("frame,time,kind,x,y,z,radius,vx,vy,vz\n");
}

bool WriteObjectTracks(const CWaterBody& body, uint64_t frame, CExportFile& file)
{
    for (const SimObject& o : body.objects)
    {
        file.Unsigned(frame);
        file.Text(",");
        file.Double(body.dElapsedTime, 12);
        file.Text(",");
        file.Unsigned(o.kind);
        for (float value : {o.position.x, o.position.y, o.position.z, o.radius, o.speed.x,
                            o.speed.y, o.speed.z})
        {
            file.Text(",");
            file.Float(value);
        }
        file.Text("\n");
    }
    return !file.Failed();
}
