// Rectangles in expectations: EXPECT_EQ(bounds, (Rect{1, 1, 17, 17})) compares
// all four edges and prints them as "{top, left, bottom, right}" on failure.
#pragma once

#include <ostream>

#include "toolbox/MacTypes.h"

inline bool operator==(const Rect& a, const Rect& b)
{
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

inline void PrintTo(const Rect& r, std::ostream* out)
{
    *out << "{" << r.top << ", " << r.left << ", " << r.bottom << ", " << r.right << "}";
}

inline bool operator==(const Point& a, const Point& b) { return a.v == b.v && a.h == b.h; }

inline void PrintTo(const Point& p, std::ostream* out) { *out << "{v " << p.v << ", h " << p.h << "}"; }
