#include "engine/TightMesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora {

namespace {

// A grid larger than this is looked at in blocks of texels, so that fitting
// the outline stays cheap for large pictures (which are mostly opaque).
constexpr std::size_t kMaxChainStates = 4000;
constexpr double kSlack = 1e-9;

// What one more triangle costs, as a share of the full quad's area. A
// software rasteriser sets up, bins and walks every triangle in blocks of
// pixels, so a mesh that saves little area with many thin triangles draws
// slower than the quad. Measured with llvmpipe on the bunnymark's pointer:
// one triangle costs about a tenth of a 32×32 quad's fill, about a
// twentieth of the picture's fill drawn at its own size.
constexpr double kTriangleCost = 0.05;

// The texels a mesh must cover: those within one texel of a passing texel,
// as a width × height grid, row 0 the picture's bottom row.
struct Grid {
    int width = 0;
    int height = 0;
    std::vector<char> cells;
    bool at(int x, int y) const { return cells[static_cast<std::size_t>(y) * width + x] != 0; }
};

Grid neededTexels(const PictureAlpha& picture, std::uint8_t passingAlpha) {
    // Passing texels widened by one to each side within each row of the
    // picture and its ring, then by one up and down: the 3 × 3 neighbourhood.
    const int w = picture.width;
    const int h = picture.height;
    std::vector<char> wide(static_cast<std::size_t>(w) * (h + 2), 0);
    for (int y = -1; y <= h; ++y) {
        for (int x = 0; x < w; ++x) {
            wide[static_cast<std::size_t>(y + 1) * w + x] = picture.at(x - 1, y) >= passingAlpha ||
                                                            picture.at(x, y) >= passingAlpha ||
                                                            picture.at(x + 1, y) >= passingAlpha;
        }
    }
    Grid grid;
    grid.width = w;
    grid.height = h;
    grid.cells.assign(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const char* above = &wide[static_cast<std::size_t>(y) * w];
        char* row = &grid.cells[static_cast<std::size_t>(h - 1 - y) * w]; // bottom row first
        for (int x = 0; x < w; ++x) {
            row[x] = above[x] || above[x + w] || above[x + 2 * w];
        }
    }
    return grid;
}

// One side of a shape scanned row by row: a polyline over the rows
// ys[0]..ys[n] must keep x <= bound[r] within row r, and x >= limit.
struct Side {
    std::vector<double> ys;
    std::vector<double> bound;
    double limit = 0.0;
};

// The polylines that keep to a side with the most area on their inner side:
// fits[k] has k vertices (k >= 2) and the largest integral of x over y;
// empty when no polyline of k vertices fits.
struct SideFit {
    double integral = -std::numeric_limits<double>::infinity();
    std::vector<Vec2> points; // (x, y), from the bottom row up
};

// Where a vertex may stand: rows where the bound changes (and both ends),
// at x values the bound takes (and the limit).
struct Candidates {
    std::vector<int> rows; // indices into ys
    std::vector<double> xs;
    std::size_t states() const { return rows.size() * xs.size(); }
};

Candidates candidatesOf(const Side& side) {
    Candidates c;
    const int n = static_cast<int>(side.bound.size());
    c.rows.push_back(0);
    for (int r = 1; r < n; ++r) {
        if (side.bound[r] != side.bound[r - 1]) {
            c.rows.push_back(r);
        }
    }
    c.rows.push_back(n);
    c.xs = side.bound;
    c.xs.push_back(side.limit);
    std::sort(c.xs.begin(), c.xs.end());
    c.xs.erase(std::unique(c.xs.begin(), c.xs.end()), c.xs.end());
    return c;
}

std::vector<SideFit> fitSide(const Side& side, int maxVertices) {
    const Candidates c = candidatesOf(side);
    const std::size_t rows = c.rows.size();
    const std::size_t xs = c.xs.size();
    const double none = -std::numeric_limits<double>::infinity();
    // best[k][row][x]: the largest integral up to that vertex with k + 1 vertices.
    std::vector<std::vector<double>> best(maxVertices, std::vector<double>(rows * xs, none));
    std::vector<std::vector<int>> from(maxVertices, std::vector<int>(rows * xs, -1));
    for (std::size_t v = 0; v < xs; ++v) {
        if (c.xs[v] <= side.bound[0] + kSlack) {
            best[0][v] = 0.0;
        }
    }
    for (int k = 1; k < maxVertices; ++k) {
        for (std::size_t a = 0; a + 1 < rows; ++a) {
            const int rowA = c.rows[a];
            const double ta = side.ys[rowA];
            for (std::size_t va = 0; va < xs; ++va) {
                const double here = best[k - 1][a * xs + va];
                if (here == none) {
                    continue;
                }
                const double xa = c.xs[va];
                if (xa > side.bound[rowA] + kSlack) {
                    continue; // outside the row it starts in
                }
                double maxSlope = std::numeric_limits<double>::infinity();
                std::size_t b = a + 1;
                for (int r = rowA; r < static_cast<int>(side.bound.size()); ++r) {
                    if (side.ys[r] > ta) {
                        maxSlope = std::min(maxSlope, (side.bound[r] - xa) / (side.ys[r] - ta));
                    }
                    maxSlope = std::min(maxSlope, (side.bound[r] - xa) / (side.ys[r + 1] - ta));
                    const double dy = side.ys[r + 1] - ta;
                    const double maxX = xa + maxSlope * dy;
                    if (maxX < c.xs[0] - kSlack && maxSlope < 0.0) {
                        break; // only falls further below every candidate
                    }
                    if (b < rows && c.rows[b] == r + 1) {
                        for (std::size_t vb = 0; vb < xs && c.xs[vb] <= maxX + kSlack; ++vb) {
                            const double value = here + dy * (xa + c.xs[vb]) * 0.5;
                            double& slot = best[k][b * xs + vb];
                            if (value > slot) {
                                slot = value;
                                from[k][b * xs + vb] = static_cast<int>(a * xs + va);
                            }
                        }
                        ++b;
                    }
                }
            }
        }
    }
    std::vector<SideFit> fits(maxVertices + 1);
    for (int k = 1; k < maxVertices; ++k) {
        for (std::size_t v = 0; v < xs; ++v) {
            const std::size_t end = (rows - 1) * xs + v;
            if (best[k][end] <= fits[k + 1].integral) {
                continue;
            }
            SideFit fit;
            fit.integral = best[k][end];
            int state = static_cast<int>(end);
            for (int layer = k; layer >= 0; --layer) {
                const std::size_t row = static_cast<std::size_t>(state) / xs;
                const std::size_t x = static_cast<std::size_t>(state) % xs;
                fit.points.push_back(
                    {static_cast<float>(c.xs[x]), static_cast<float>(side.ys[c.rows[row]])});
                state = from[layer][state];
            }
            std::reverse(fit.points.begin(), fit.points.end());
            fits[k + 1] = std::move(fit);
        }
    }
    return fits;
}

// The grid in blocks of `block` × `block` texels (those at the far edges
// smaller), scanned row by row: each side of every row with a needed texel,
// rows without one taking the sides of their neighbours.
struct Scan {
    Side left;  // x <= bound
    Side right; // mirrored: -x <= bound
    double bottom = 0.0;
    double top = 0.0;
};

bool scanRows(const Grid& grid, int block, Scan& scan) {
    const int blocksY = (grid.height + block - 1) / block;
    std::vector<int> first(blocksY, -1);
    std::vector<int> last(blocksY, -1);
    for (int y = 0; y < grid.height; ++y) {
        for (int x = 0; x < grid.width; ++x) {
            if (!grid.at(x, y)) {
                continue;
            }
            int& f = first[y / block];
            int& l = last[y / block];
            f = f < 0 ? x / block : std::min(f, x / block);
            l = std::max(l, x / block);
        }
    }
    int low = 0;
    while (low < blocksY && first[low] < 0) {
        ++low;
    }
    int high = blocksY - 1;
    while (high >= low && first[high] < 0) {
        --high;
    }
    if (low > high) {
        return false;
    }
    // Bridge empty rows with the span of the nearest rows below and above.
    for (int y = low + 1; y < high; ++y) {
        if (first[y] >= 0) {
            continue;
        }
        int above = y + 1;
        while (first[above] < 0) {
            ++above;
        }
        first[y] = std::min(first[y - 1], first[above]);
        last[y] = std::max(last[y - 1], last[above]);
    }
    auto edge = [block](int index, int size) {
        return static_cast<double>(std::min(index * block, size));
    };
    scan = {};
    scan.left.limit = 0.0;
    scan.right.limit = -static_cast<double>(grid.width);
    for (int y = low; y <= high; ++y) {
        scan.left.ys.push_back(edge(y, grid.height));
        scan.left.bound.push_back(edge(first[y], grid.width));
        scan.right.bound.push_back(-edge(last[y] + 1, grid.width));
    }
    scan.left.ys.push_back(edge(high + 1, grid.height));
    scan.right.ys = scan.left.ys;
    scan.bottom = scan.left.ys.front();
    scan.top = scan.left.ys.back();
    return true;
}

double polygonArea(const std::vector<Vec2>& points) {
    double twice = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Vec2& a = points[i];
        const Vec2& b = points[(i + 1) % points.size()];
        twice += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return twice * 0.5;
}

double cross(const Vec2& o, const Vec2& a, const Vec2& b) {
    return (static_cast<double>(a.x) - o.x) * (static_cast<double>(b.y) - o.y) -
           (static_cast<double>(a.y) - o.y) * (static_cast<double>(b.x) - o.x);
}

// Drops repeated points and points on the straight line through their
// neighbours.
void removeRedundant(std::vector<Vec2>& points) {
    bool changed = true;
    while (changed && points.size() >= 3) {
        changed = false;
        for (std::size_t i = 0; i < points.size() && points.size() >= 3; ++i) {
            const Vec2& prev = points[(i + points.size() - 1) % points.size()];
            const Vec2& next = points[(i + 1) % points.size()];
            if (std::fabs(cross(prev, points[i], next)) <= kSlack) {
                points.erase(points.begin() + static_cast<std::ptrdiff_t>(i));
                changed = true;
            }
        }
    }
}

bool left(const Vec2& a, const Vec2& b, const Vec2& c) {
    return cross(a, b, c) > kSlack;
}

bool leftOn(const Vec2& a, const Vec2& b, const Vec2& c) {
    return cross(a, b, c) >= -kSlack;
}

// Whether segments a-b and c-d share any point.
bool touch(const Vec2& a, const Vec2& b, const Vec2& c, const Vec2& d) {
    const double d1 = cross(a, b, c);
    const double d2 = cross(a, b, d);
    const double d3 = cross(c, d, a);
    const double d4 = cross(c, d, b);
    if (((d1 > kSlack && d2 < -kSlack) || (d1 < -kSlack && d2 > kSlack)) &&
        ((d3 > kSlack && d4 < -kSlack) || (d3 < -kSlack && d4 > kSlack))) {
        return true;
    }
    auto onSegment = [](const Vec2& p, const Vec2& q, const Vec2& r, double side) {
        return std::fabs(side) <= kSlack && r.x >= std::min(p.x, q.x) &&
               r.x <= std::max(p.x, q.x) && r.y >= std::min(p.y, q.y) && r.y <= std::max(p.y, q.y);
    };
    return onSegment(a, b, c, d1) || onSegment(a, b, d, d2) || onSegment(c, d, a, d3) ||
           onSegment(c, d, b, d4);
}

// Whether the segment from vertex i to vertex j of a simple counter-clockwise
// polygon runs inside it: it starts into the interior at both ends and
// crosses no edge.
bool isDiagonal(const std::vector<Vec2>& points, std::size_t i, std::size_t j) {
    const std::size_t n = points.size();
    auto inCone = [&](std::size_t from, std::size_t to) {
        const Vec2& a = points[from];
        const Vec2& b = points[to];
        const Vec2& before = points[(from + n - 1) % n];
        const Vec2& after = points[(from + 1) % n];
        if (leftOn(a, after, before)) { // convex corner
            return left(a, b, before) && left(b, a, after);
        }
        return !(leftOn(a, b, after) && leftOn(b, a, before));
    };
    if (!inCone(i, j) || !inCone(j, i)) {
        return false;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t k1 = (k + 1) % n;
        if (k != i && k1 != i && k != j && k1 != j &&
            touch(points[i], points[j], points[k], points[k1])) {
            return false;
        }
    }
    return true;
}

double length(const Vec2& a, const Vec2& b) {
    return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
}

// The triangulation of a simple counter-clockwise polygon whose inner edges
// are shortest in sum. Long slivers are what make a rasteriser that works in
// pixel blocks visit the same blocks again, so short inner edges keep the
// fill close to the area. False when the polygon cannot be triangulated.
bool triangulate(const std::vector<Vec2>& points, std::vector<std::uint16_t>& triangles) {
    const std::size_t n = points.size();
    const double none = std::numeric_limits<double>::infinity();
    std::vector<double> cost(n * n, none);
    std::vector<int> apex(n * n, -1);
    auto usable = [&](std::size_t i, std::size_t j) {
        return j == i + 1 || (i == 0 && j == n - 1) || isDiagonal(points, i, j);
    };
    for (std::size_t i = 0; i + 1 < n; ++i) {
        cost[i * n + i + 1] = 0.0;
    }
    for (std::size_t span = 2; span < n; ++span) {
        for (std::size_t i = 0; i + span < n; ++i) {
            const std::size_t j = i + span;
            if (!usable(i, j)) {
                continue;
            }
            for (std::size_t k = i + 1; k < j; ++k) {
                if (cost[i * n + k] == none || cost[k * n + j] == none ||
                    !left(points[i], points[k], points[j])) {
                    continue;
                }
                const double total = cost[i * n + k] + cost[k * n + j] +
                                     (k > i + 1 ? length(points[i], points[k]) : 0.0) +
                                     (j > k + 1 ? length(points[k], points[j]) : 0.0);
                if (total < cost[i * n + j]) {
                    cost[i * n + j] = total;
                    apex[i * n + j] = static_cast<int>(k);
                }
            }
        }
    }
    if (n < 3 || cost[n - 1] == none) {
        return false;
    }
    std::vector<std::pair<std::size_t, std::size_t>> pending = {{0, n - 1}};
    while (!pending.empty()) {
        const auto [i, j] = pending.back();
        pending.pop_back();
        if (j < i + 2) {
            continue;
        }
        const auto k = static_cast<std::size_t>(apex[i * n + j]);
        triangles.insert(triangles.end(),
                         {static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(k),
                          static_cast<std::uint16_t>(j)});
        pending.push_back({i, k});
        pending.push_back({k, j});
    }
    return true;
}

// Area plus the triangles' cost, as a share of the quad of `quadArea`.
double drawingCost(double area, std::size_t vertices, double quadArea) {
    return area / quadArea + kTriangleCost * (static_cast<double>(vertices) - 2.0);
}

// The polygon of at most kMaxVertices vertices around the rows of the scan
// that is cheapest to draw, counter-clockwise (y up).
std::vector<Vec2> fitPolygon(const Scan& scan, double quadArea) {
    const int budget = TightMesh::kMaxVertices;
    const std::vector<SideFit> left = fitSide(scan.left, budget - 2);
    const std::vector<SideFit> right = fitSide(scan.right, budget - 2);
    double bestValue = -std::numeric_limits<double>::infinity();
    int bestLeft = -1;
    int bestRight = -1;
    for (int l = 2; l <= budget - 2; ++l) {
        for (int r = 2; l + r <= budget; ++r) {
            // The integrals are the negated areas outside each side.
            const double value =
                left[l].integral + right[r].integral - kTriangleCost * quadArea * (l + r - 2);
            if (left[l].points.empty() || right[r].points.empty() || value <= bestValue) {
                continue;
            }
            bestValue = value;
            bestLeft = l;
            bestRight = r;
        }
    }
    std::vector<Vec2> polygon;
    if (bestLeft < 0) {
        return polygon;
    }
    // Right side from the bottom up, then the left side from the top down.
    for (const Vec2& p : right[bestRight].points) {
        polygon.push_back({-p.x, p.y});
    }
    const std::vector<Vec2>& l = left[bestLeft].points;
    for (auto it = l.rbegin(); it != l.rend(); ++it) {
        polygon.push_back(*it);
    }
    return polygon;
}

Grid transposed(const Grid& grid) {
    Grid t;
    t.width = grid.height;
    t.height = grid.width;
    t.cells.resize(grid.cells.size());
    for (int y = 0; y < grid.height; ++y) {
        for (int x = 0; x < grid.width; ++x) {
            t.cells[static_cast<std::size_t>(x) * t.width + y] = grid.at(x, y) ? 1 : 0;
        }
    }
    return t;
}

// The polygon scanned along rows of `grid` (or of its transpose, then
// turned back), in blocks just large enough to keep the fitting cheap.
std::vector<Vec2> outline(const Grid& grid, bool alongColumns, double quadArea) {
    const Grid scanned = alongColumns ? transposed(grid) : grid;
    Scan scan;
    // Blocks of about a square of kMaxChainStates cells to begin with; finer
    // ones would only be refused.
    const double cells = static_cast<double>(scanned.width) * scanned.height;
    const int firstBlock = std::max(1, static_cast<int>(std::sqrt(cells / kMaxChainStates)));
    for (int block = firstBlock;; ++block) {
        if (!scanRows(scanned, block, scan)) {
            return {};
        }
        if (candidatesOf(scan.left).states() <= kMaxChainStates &&
            candidatesOf(scan.right).states() <= kMaxChainStates) {
            break;
        }
    }
    std::vector<Vec2> polygon = fitPolygon(scan, quadArea);
    if (alongColumns) {
        // Swapping x and y mirrors the polygon; reversing restores its turn.
        for (Vec2& p : polygon) {
            std::swap(p.x, p.y);
        }
        std::reverse(polygon.begin(), polygon.end());
    }
    removeRedundant(polygon);
    return polygon;
}

} // namespace

float TightMesh::area() const {
    double total = 0.0;
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3) {
        total +=
            cross(points[triangles[i]], points[triangles[i + 1]], points[triangles[i + 2]]) * 0.5;
    }
    return static_cast<float>(total);
}

TightMesh computeTightMesh(const PictureAlpha& picture, std::uint8_t passingAlpha) {
    TightMesh mesh;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.alpha.size() != static_cast<std::size_t>(picture.width + 2) *
                                    static_cast<std::size_t>(picture.height + 2)) {
        return mesh;
    }
    const Grid grid = neededTexels(picture, passingAlpha);
    int minX = grid.width, minY = grid.height, maxX = -1, maxY = -1;
    for (int y = 0; y < grid.height; ++y) {
        for (int x = 0; x < grid.width; ++x) {
            if (grid.at(x, y)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (maxX < 0) {
        return mesh; // nothing can pass anywhere
    }
    // A region that fills its rectangle nearly whole has no outline worth
    // tracing (large opaque pictures: the slowest to trace).
    const bool filled = static_cast<double>(std::count(grid.cells.begin(), grid.cells.end(), 1)) >=
                        0.99 * (maxX - minX + 1) * (maxY - minY + 1);
    const float l = static_cast<float>(minX);
    const float b = static_cast<float>(minY);
    const float r = static_cast<float>(maxX + 1);
    const float t = static_cast<float>(maxY + 1);
    const double quadArea = static_cast<double>(picture.width) * picture.height;
    std::vector<Vec2> best = {{l, b}, {r, b}, {r, t}, {l, t}};
    double bestCost = drawingCost(polygonArea(best), best.size(), quadArea);
    for (const bool alongColumns : {false, true}) {
        if (filled) {
            break; // the rectangle is the outline
        }
        std::vector<Vec2> polygon = outline(grid, alongColumns, quadArea);
        const double cost = drawingCost(polygonArea(polygon), polygon.size(), quadArea);
        if (polygon.size() >= 3 && polygon.size() <= TightMesh::kMaxVertices &&
            cost < bestCost - kSlack) {
            std::vector<std::uint16_t> triangles;
            if (triangulate(polygon, triangles)) {
                best = std::move(polygon);
                bestCost = cost;
                mesh.triangles = std::move(triangles);
            }
        }
    }
    mesh.points = std::move(best);
    if (mesh.triangles.empty()) {
        mesh.triangles = {0, 1, 2, 2, 3, 0};
    }
    const float w = static_cast<float>(picture.width);
    const float h = static_cast<float>(picture.height);
    for (const Vec2& p : mesh.points) {
        const bool onSide = p.x == 0.0f || p.x == w;
        const bool onEnd = p.y == 0.0f || p.y == h;
        mesh.alongEdges = mesh.alongEdges || (onSide != onEnd);
    }
    return mesh;
}

} // namespace velmora
