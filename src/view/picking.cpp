#include "view/picking.h"

#include "view/curve_drawing.h"

#include <algorithm>
#include <cmath>
#include <limits>

int controlPointUnder(const ControlCurve& curve, const Camera& camera, double px, double py,
                      int width, int height) {
    constexpr double kSlack = 2.0;
    const double h = curve.height();
    const ControlPointView view{camera, width, height};
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < curve.pointCount(); ++i) {
        CurvePoint p;
        if (!curve.getPoint(i, p))
            continue;
        const auto centre = projectToPixel(camera, {p.x, h, p.z}, width, height);
        const double s = controlPointHalfEdge(view, {p.x, h, p.z});
        if (!centre || !(s > 0.0))
            continue;
        // The screen rectangle around the cube's eight projected corners.
        double minX = centre->at(0), maxX = minX, minY = centre->at(1), maxY = minY;
        bool visible = true;
        for (int corner = 0; corner < 8 && visible; ++corner) {
            const auto c =
                projectToPixel(camera,
                               {p.x + ((corner & 1) ? s : -s), h + ((corner & 2) ? s : -s),
                                p.z + ((corner & 4) ? s : -s)},
                               width, height);
            if (!c) {
                visible = false;
                break;
            }
            minX = std::min(minX, c->at(0));
            maxX = std::max(maxX, c->at(0));
            minY = std::min(minY, c->at(1));
            maxY = std::max(maxY, c->at(1));
        }
        if (!visible || px < minX - kSlack || px > maxX + kSlack || py < minY - kSlack ||
            py > maxY + kSlack)
            continue;
        const double distance = std::hypot(centre->at(0) - px, centre->at(1) - py);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

std::vector<int> controlPointsInBox(const ControlCurve& curve, const Camera& camera, double x0,
                                    double y0, double x1, double y1, int width, int height) {
    const double left = std::min(x0, x1), right = std::max(x0, x1);
    const double top = std::min(y0, y1), bottom = std::max(y0, y1);
    std::vector<int> inside;
    for (int i = 0; i < curve.pointCount(); ++i) {
        CurvePoint p;
        if (!curve.getPoint(i, p))
            continue;
        const auto at = projectToPixel(camera, {p.x, curve.height(), p.z}, width, height);
        if (at && at->at(0) >= left && at->at(0) <= right && at->at(1) >= top &&
            at->at(1) <= bottom)
            inside.push_back(i);
    }
    return inside;
}

float nextFalloffWidth(float width, int key) {
    if (key == 'q')
        return width - 10.0f < 0.0f ? 0.0f : width - 10.0f;
    if (key == 'w')
        return width + 10.0f;
    return width;
}
