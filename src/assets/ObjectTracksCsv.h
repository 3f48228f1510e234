// The tracks of the balls, the drops and any other object as CSV text.
//
// One header line, "frame,time,kind,x,y,z,radius,vx,vy,vz", then at each
// moment one line per object in the simulation's list order: the moment's
// number, the simulated time in seconds, the kind (0 ball, 1 drop, other
// numbers as the event script gave them), the centre and the speed (world
// units, per second; z up, basin centred on the origin) and the radius.
// Floats are written as the shortest text that reads back exactly.
#pragma once

#include <cstdint>

class CWaterBody;
class CExportFile;

void WriteObjectTracksHeader(CExportFile& file);
// The lines of moment `frame`; false with the reason in the file's Failure.
bool WriteObjectTracks(const CWaterBody& body, uint64_t frame, CExportFile& file);
