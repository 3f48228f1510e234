// ScreenMesh: the basin's four corners projected into the window, the
// lengths of its edges in pixels, and the vertex counts they call for.

#include "scene/ScreenMesh.h"

#include <algorithm>
#include <cmath>

#include "sim/WaterBody.h"

namespace ScreenMesh
{

namespace
{

struct Pixel
{
    double x, y;
    bool inFront;  // in front of the eye: its projection means something
};

Pixel Project(const float* m, int width, int height, double x, double y, double z)
{
    const double cx = m[0] * x + m[4] * y + m[8] * z + m[12];
    const double cy = m[1] * x + m[5] * y + m[9] * z + m[13];
    const double cw = m[3] * x + m[7] * y + m[11] * z + m[15];
    if (!(cw > 1e-6))
        return {0.0, 0.0, false};
    return {(cx / cw + 1.0) * 0.5 * width, (cy / cw + 1.0) * 0.5 * height, true};
}

double Distance(const Pixel& a, const Pixel& b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Vertices for an edge `span` pixels long, rounded up to 1 + a multiple
// of ROUNDING, then held to the cap and to the corners.
uint32_t Count(double span, uint32_t cap, uint32_t corners)
{
    if (corners < 2)
        return corners;
    double wanted = std::ceil(span / PIXELS_PER_VERTEX);
    uint32_t count = uint32_t(std::min(wanted, double(cap)));
    count = (count + ROUNDING - 1) / ROUNDING * ROUNDING + 1;
    return std::clamp(count, 2u, std::min(cap, corners));
}

}  // namespace

Camera::WaterRect SurfaceRect(const CWaterBody& body)
{
    const float dx = body.CellSizeX();
    const float dy = body.CellSizeY();
    const float halfX = body.dSimulationSizeX * 0.5f, halfY = body.dSimulationSizeY * 0.5f;
    return {body.dDefaultHeight, dx - halfX, float(body.iSimulationWidth - 1) * dx - halfX,
            dy - halfY, float(body.iSimulationHeight - 1) * dy - halfY};
}

Size Choose(const float viewProjection[16], int width, int height, const Camera::WaterRect& water,
            uint32_t cornersX, uint32_t cornersY)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    const uint32_t cap = uint32_t(std::ceil(std::max(width, height) / PIXELS_PER_VERTEX)) + 1;
    const Pixel p00 = Project(viewProjection, width, height, water.minX, water.minY, water.z);
    const Pixel p10 = Project(viewProjection, width, height, water.maxX, water.minY, water.z);
    const Pixel p01 = Project(viewProjection, width, height, water.minX, water.maxY, water.z);
    const Pixel p11 = Project(viewProjection, width, height, water.maxX, water.maxY, water.z);
    // With a corner behind the eye the edges have no length on screen: the
    // basin may fill the window, so the window decides.
    double spanX = double(cap) * PIXELS_PER_VERTEX, spanY = spanX;
    if (p00.inFront && p10.inFront && p01.inFront && p11.inFront)
    {
        spanX = std::max(Distance(p00, p10), Distance(p01, p11));
        spanY = std::max(Distance(p00, p01), Distance(p10, p11));
    }
    if (!std::isfinite(spanX) || !std::isfinite(spanY))
        spanX = spanY = double(cap) * PIXELS_PER_VERTEX;
    return {Count(spanX, cap, cornersX), Count(spanY, cap, cornersY)};
}

}  // namespace ScreenMesh
