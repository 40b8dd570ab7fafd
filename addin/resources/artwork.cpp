#include "addin/resources/artwork.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string_view>

namespace qm {
namespace {

struct Point {
    double x, y;
};

struct Rgb {
    double r, g, b;
};

Rgb FromPixel(std::uint32_t p) {
    return {static_cast<double>(p >> 16 & 0xFF), static_cast<double>(p >> 8 & 0xFF), static_cast<double>(p & 0xFF)};
}

// A canvas of colour and coverage on which shapes are laid with 4 x 4 samples per pixel.
class Canvas {
public:
    Canvas(int width, int height)
        : width_(width),
          height_(height),
          colour_(static_cast<std::size_t>(width * height), {0, 0, 0}),
          alpha_(static_cast<std::size_t>(width * height), 0.0) {}

    template <typename Inside>
    void Fill(Rgb colour, double opacity, Inside inside) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) hits += inside(Point{x + (sx + 0.5) / 4, y + (sy + 0.5) / 4}) ? 1 : 0;
                }
                if (hits > 0) Blend(x, y, colour, opacity * hits / 16.0);
            }
        }
    }

    void Polygon(const std::vector<Point>& points, Rgb colour, double opacity = 1.0) {
        Fill(colour, opacity, [&](Point p) {
            bool inside = false;
            for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
                const Point a = points[i], b = points[j];
                if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
            }
            return inside;
        });
    }

    void Disc(Point centre, double radius, Rgb colour, double opacity = 1.0) {
        Fill(colour, opacity, [&](Point p) { return std::hypot(p.x - centre.x, p.y - centre.y) <= radius; });
    }

    void Ring(Point centre, double inner, double outer, Rgb colour) {
        Fill(colour, 1.0, [&](Point p) {
            const double d = std::hypot(p.x - centre.x, p.y - centre.y);
            return d >= inner && d <= outer;
        });
    }

    // A stroke of the given width between two points.
    void Line(Point a, Point b, double width, Rgb colour) {
        Fill(colour, 1.0, [&](Point p) {
            const double dx = b.x - a.x, dy = b.y - a.y;
            const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)) <= width / 2;
        });
    }

    void Pixel(int x, int y, Rgb colour) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) Blend(x, y, colour, 1.0);
    }

    Bitmap Colours() const {
        Bitmap b{width_, height_, {}};
        for (const Rgb& c : colour_) {
            b.pixels.push_back(static_cast<std::uint32_t>(std::lround(c.r)) << 16 | static_cast<std::uint32_t>(std::lround(c.g)) << 8 |
                               static_cast<std::uint32_t>(std::lround(c.b)));
        }
        return b;
    }
    std::vector<std::uint8_t> Alpha() const {
        std::vector<std::uint8_t> out;
        for (double a : alpha_) out.push_back(static_cast<std::uint8_t>(std::lround(a * 255)));
        return out;
    }

private:
    void Blend(int x, int y, Rgb colour, double opacity) {
        const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
        Rgb& c = colour_[at];
        double& a = alpha_[at];
        const double out = opacity + a * (1 - opacity);
        if (out <= 0) return;
        c.r = (colour.r * opacity + c.r * a * (1 - opacity)) / out;
        c.g = (colour.g * opacity + c.g * a * (1 - opacity)) / out;
        c.b = (colour.b * opacity + c.b * a * (1 - opacity)) / out;
        a = out;
    }

    int width_, height_;
    std::vector<Rgb> colour_;
    std::vector<double> alpha_;
};

// A 5 x 7 pixel alphabet for the few letters of the product's name.
const std::map<char, std::array<std::string_view, 7>>& Glyphs() {
    static const std::map<char, std::array<std::string_view, 7>> glyphs = {
        {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
        {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
        {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
        {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
        {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
        {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
        {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
        {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
        {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
        {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}},
        {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
        {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
        {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
        {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
        {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
        {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    };
    return glyphs;
}

int TextWidth(std::string_view text, int scale) { return static_cast<int>(text.size()) * 6 * scale - scale; }

void Text(Canvas& canvas, std::string_view text, int left, int top, int scale, Rgb colour) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto found = Glyphs().find(text[i]);
        if (found == Glyphs().end()) continue;
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (found->second[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] != '#') continue;
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        canvas.Pixel(left + static_cast<int>(i) * 6 * scale + column * scale + dx, top + row * scale + dy, colour);
                    }
                }
            }
        }
    }
}

void CentredText(Canvas& canvas, std::string_view text, int width, int top, int scale, Rgb colour) {
    Text(canvas, text, (width - TextWidth(text, scale)) / 2, top, scale, colour);
}

// A quill from its tip to the end of its feather; the vane swells on both sides of the shaft.
void Quill(Canvas& canvas, Point tip, Point end, double breadth) {
    const double dx = end.x - tip.x, dy = end.y - tip.y;
    const double length = std::hypot(dx, dy);
    const Point along{dx / length, dy / length}, across{-dy / length, dx / length};
    auto at = [&](double t, double side) {
        return Point{tip.x + along.x * length * t + across.x * side, tip.y + along.y * length * t + across.y * side};
    };
    std::vector<Point> vane;
    constexpr int kSteps = 24;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = 0.22 + 0.78 * i / kSteps;
        vane.push_back(at(t, breadth * std::sin(3.14159 * (t - 0.22) / 0.78) * (1.1 - 0.3 * t)));
    }
    for (int i = kSteps; i >= 0; --i) {
        const double t = 0.22 + 0.78 * i / kSteps;
        vane.push_back(at(t, -0.7 * breadth * std::sin(3.14159 * (t - 0.22) / 0.78)));
    }
    canvas.Polygon(vane, {246, 240, 222});
    // Barbs: a few darker strokes across the vane.
    for (double t = 0.35; t < 0.95; t += 0.12) {
        canvas.Line(at(t, 0), at(t + 0.06, breadth * 0.75 * std::sin(3.14159 * (t - 0.22) / 0.78)), std::max(0.6, breadth / 14),
                    {200, 190, 165});
    }
    canvas.Line(at(0.05, 0), at(1.0, 0), std::max(0.8, breadth / 7), {140, 115, 70});
    canvas.Polygon({at(0, 0), at(0.22, breadth * 0.22), at(0.22, -breadth * 0.22)}, {40, 40, 48});
}

void Seal(Canvas& canvas, Point centre, double radius, bool lettered) {
    canvas.Disc({centre.x + radius * 0.08, centre.y + radius * 0.1}, radius, {20, 20, 40}, 0.35);
    canvas.Disc(centre, radius, {196, 44, 40});
    canvas.Ring(centre, radius * 0.72, radius * 0.82, {240, 190, 180});
    if (lettered) {
        const int scale = std::max(1, static_cast<int>(radius / 6));
        Text(canvas, "Q", static_cast<int>(centre.x) - 5 * scale / 2, static_cast<int>(centre.y) - 7 * scale / 2, scale, {255, 245, 235});
    }
}

// The banner's colours, reduced so that the picture has at most 256 of them.
std::uint32_t Reduce(std::uint32_t pixel) {
    const auto channel = [](std::uint32_t v) { return (v & 0xFF) / 8 * 8 + 4; };
    return std::min<std::uint32_t>(channel(pixel >> 16), 255) << 16 | std::min<std::uint32_t>(channel(pixel >> 8), 255) << 8 |
           std::min<std::uint32_t>(channel(pixel), 255);
}

}  // namespace

Bitmap DrawProductBanner() {
    constexpr int kWidth = 79, kHeight = 189;
    Canvas canvas(kWidth, kHeight);
    canvas.Fill({0, 0, 0}, 1.0, [](Point) { return true; });
    for (int y = 0; y < kHeight; ++y) {
        const double t = static_cast<double>(y) / (kHeight - 1);
        canvas.Fill({20 + 40 * t, 40 + 70 * t, 90 + 90 * t}, 1.0, [y](Point p) { return static_cast<int>(p.y) == y; });
    }
    Quill(canvas, {24, 118}, {66, 14}, 13);
    Seal(canvas, {40, 136}, 15, true);
    CentredText(canvas, "Wek", kWidth, 158, 1, {210, 225, 245});
    CentredText(canvas, "Quillmark", kWidth, 167, 1, {255, 255, 255});
    CentredText(canvas, "for VB6", kWidth, 177, 1, {210, 225, 245});
    Bitmap banner = canvas.Colours();
    for (auto& pixel : banner.pixels) pixel = Reduce(pixel);
    // Few enough colours for a 256-colour picture: merge the rarest into their nearest until so.
    std::map<std::uint32_t, int> counts;
    for (auto pixel : banner.pixels) ++counts[pixel];
    while (counts.size() > 256) {
        auto rarest = std::min_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
        const Rgb c = FromPixel(rarest->first);
        std::uint32_t nearest = 0;
        double best = 1e18;
        for (const auto& [other, n] : counts) {
            if (other == rarest->first) continue;
            const Rgb o = FromPixel(other);
            const double d = (c.r - o.r) * (c.r - o.r) + (c.g - o.g) * (c.g - o.g) + (c.b - o.b) * (c.b - o.b);
            if (d < best) best = d, nearest = other;
        }
        const std::uint32_t from = rarest->first;
        counts[nearest] += rarest->second;
        counts.erase(rarest);
        std::replace(banner.pixels.begin(), banner.pixels.end(), from, nearest);
    }
    return banner;
}

TranslucentBitmap DrawProductIcon(int size) {
    Canvas canvas(size, size);
    const double s = size / 32.0;
    Seal(canvas, {12 * s, 20.5 * s}, 10 * s, size >= 32);
    Quill(canvas, {15 * s, 22 * s}, {30.5 * s, 1.5 * s}, 7.5 * s);
    return {canvas.Colours(), canvas.Alpha()};
}

std::vector<std::uint8_t> EncodeIcon(const std::vector<TranslucentBitmap>& pictures) {
    std::vector<std::uint8_t> out;
    auto put16 = [&](unsigned v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8 & 0xFF));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put16(0);
    put16(1);  // icon
    put16(static_cast<unsigned>(pictures.size()));
    std::vector<std::vector<std::uint8_t>> images;
    for (const TranslucentBitmap& picture : pictures) {
        const int w = picture.colours.width, h = picture.colours.height;
        std::vector<std::uint8_t> image;
        auto add32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i) image.push_back(static_cast<std::uint8_t>(v >> (8 * i) & 0xFF));
        };
        add32(40);
        add32(static_cast<std::uint32_t>(w));
        add32(static_cast<std::uint32_t>(h * 2));  // the colours and the mask
        image.push_back(1);
        image.push_back(0);
        image.push_back(32);
        image.push_back(0);
        for (int i = 0; i < 6; ++i) add32(0);
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
                const std::uint32_t p = picture.colours.pixels[at];
                image.push_back(static_cast<std::uint8_t>(p & 0xFF));
                image.push_back(static_cast<std::uint8_t>(p >> 8 & 0xFF));
                image.push_back(static_cast<std::uint8_t>(p >> 16 & 0xFF));
                image.push_back(picture.alpha[at]);
            }
        }
        const int maskRow = (w + 31) / 32 * 4;
        for (int y = h - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(maskRow), 0);
            for (int x = 0; x < w; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
                if (picture.alpha[at] < 128) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
            image.insert(image.end(), row.begin(), row.end());
        }
        images.push_back(std::move(image));
    }
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const int w = pictures[i].colours.width, h = pictures[i].colours.height;
        out.push_back(static_cast<std::uint8_t>(w >= 256 ? 0 : w));
        out.push_back(static_cast<std::uint8_t>(h >= 256 ? 0 : h));
        out.push_back(0);
        out.push_back(0);
        put16(1);
        put16(32);
        put32(static_cast<std::uint32_t>(images[i].size()));
        put32(offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

}  // namespace qm
