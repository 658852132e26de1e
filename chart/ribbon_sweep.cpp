#include "chart/ribbon_sweep.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

int column_of(double x) { return static_cast<int>(std::lround(x)); }

}  // namespace

std::size_t RibbonSweep::stretch_end(const std::vector<TraceLine>& lines, std::size_t first) {
    std::size_t i = first + 1;
    while (i < lines.size() && lines[i].color == lines[first].color &&
           lines[i].first <= lines[i - 1].last) {
        ++i;
    }
    return std::min(i, lines.size());
}

void RibbonSweep::sweep(const std::vector<TraceLine>& lines, std::size_t first, std::size_t last,
                        int dx, double dy, std::vector<Span>& out) {
    out.clear();
    if (first >= last) return;
    int c0 = std::numeric_limits<int>::max();
    int c1 = std::numeric_limits<int>::min();
    for (std::size_t i = first; i < last; ++i) {
        c0 = std::min(c0, column_of(std::min(lines[i].a.x(), lines[i].b.x())));
        c1 = std::max(c1, column_of(std::max(lines[i].a.x(), lines[i].b.x())));
    }
    const auto width = static_cast<std::size_t>(c1 - c0 + 1);
    lo_.assign(width, kInf);
    hi_.assign(width, -kInf);

    // The y range each piece covers within each pixel column it crosses.
    for (std::size_t i = first; i < last; ++i) {
        QPointF p = lines[i].a;
        QPointF q = lines[i].b;
        if (p.x() > q.x()) std::swap(p, q);
        const int from = column_of(p.x());
        const int to = column_of(q.x());
        const double run = q.x() - p.x();
        for (int c = from; c <= to; ++c) {
            double ya = p.y();
            double yb = q.y();
            if (run > 0) {
                const double xa = std::max(p.x(), c - 0.5);
                const double xb = std::min(q.x(), c + 0.5);
                ya = p.y() + (q.y() - p.y()) * (xa - p.x()) / run;
                yb = p.y() + (q.y() - p.y()) * (xb - p.x()) / run;
            }
            const auto k = static_cast<std::size_t>(c - c0);
            lo_[k] = std::min({lo_[k], ya, yb});
            hi_[k] = std::max({hi_[k], ya, yb});
        }
    }

    // Front column x seen from screen column X (x <= X <= x + dx) is raised by
    // (X - x) * slope, so a key of y + x * slope is comparable across the window.
    const double slope = dx > 0 ? dy / dx : 0.0;
    auto top_key = [&](int x) { return lo_[static_cast<std::size_t>(x - c0)] + x * slope; };
    auto bottom_key = [&](int x) { return hi_[static_cast<std::size_t>(x - c0)] + x * slope; };
    min_window_.clear();
    max_window_.clear();
    std::size_t min_head = 0;
    std::size_t max_head = 0;
    const std::uint8_t color = lines[first].color;
    for (int X = c0; X <= c1 + dx; ++X) {
        if (X <= c1 &&
            lo_[static_cast<std::size_t>(X - c0)] <= hi_[static_cast<std::size_t>(X - c0)]) {
            while (min_window_.size() > min_head && top_key(min_window_.back()) >= top_key(X)) {
                min_window_.pop_back();
            }
            min_window_.push_back(X);
            while (max_window_.size() > max_head &&
                   bottom_key(max_window_.back()) <= bottom_key(X)) {
                max_window_.pop_back();
            }
            max_window_.push_back(X);
        }
        while (min_head < min_window_.size() && min_window_[min_head] < X - dx) ++min_head;
        while (max_head < max_window_.size() && max_window_[max_head] < X - dx) ++max_head;
        if (min_head == min_window_.size()) continue;
        const double top = top_key(min_window_[min_head]) - X * slope;
        const double bottom = bottom_key(max_window_[max_head]) - X * slope;
        out.push_back({QLineF(X, top, X, bottom), color});
    }
}

void RibbonSweep::outline(const std::vector<TraceLine>& lines, std::size_t first, std::size_t last,
                          std::vector<TraceLine>& out) {
    out.clear();
    auto tall = [&](std::size_t i) {
        const TraceLine& t = lines[i];
        return t.a.x() == t.b.x() && std::abs(t.a.y() - t.b.y()) > 1.0;
    };
    // Tall line j continues tall line i in the next column with only the line between
    // them (or nothing) in the way.
    auto continues = [&](std::size_t i, std::size_t j) {
        return j < last && tall(j) && lines[j].color == lines[i].color &&
               lines[j].first <= lines[i].last + 1 && lines[j].a.x() - lines[i].a.x() <= 1.5;
    };
    bool joined_from_before = false;
    std::size_t skip = last;
    for (std::size_t i = first; i < last; ++i) {
        if (i == skip) continue;
        const TraceLine& t = lines[i];
        if (!tall(i)) {
            out.push_back(t);
            joined_from_before = false;
            continue;
        }
        std::size_t j = i + 1;
        if (!continues(i, j)) j = i + 2;
        const bool joined = continues(i, j);
        if (joined) {
            const TraceLine& u = lines[j];
            const double t_top = std::min(t.a.y(), t.b.y());
            const double t_bottom = std::max(t.a.y(), t.b.y());
            const double u_top = std::min(u.a.y(), u.b.y());
            const double u_bottom = std::max(u.a.y(), u.b.y());
            out.push_back(
                {QPointF(t.a.x(), t_top), QPointF(u.a.x(), u_top), u.color, t.first, u.last});
            out.push_back(
                {QPointF(t.a.x(), t_bottom), QPointF(u.a.x(), u_bottom), u.color, t.first, u.last});
            skip = j == i + 2 ? i + 1 : last;
        }
        if (!joined || !joined_from_before) out.push_back(t);  // the ends of a dense stretch
        joined_from_before = joined;
    }
}
