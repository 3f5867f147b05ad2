// An SVG read back by the tests of vector pictures: its stroked paths as
// points (path data of M, m, L and l commands), and its text.
#pragma once

#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using SvgSubpath = std::vector<std::pair<double, double>>;

// Every subpath of the <path> elements stroked in colour ("#0066cc"), in order.
inline std::vector<SvgSubpath> StrokedSubpaths(const std::string& svg, const std::string& colour)
{
    std::vector<SvgSubpath> subpaths;
    const std::string stroke = "stroke=\"" + colour + "\"";
    for (size_t at = svg.find("<path"); at != std::string::npos; at = svg.find("<path", at + 1)) {
        const size_t end = svg.find('>', at);
        const std::string element = svg.substr(at, end - at);
        const size_t data = element.find(" d=\"");
        if (element.find(stroke) == std::string::npos || data == std::string::npos) continue;
        const char* p = element.c_str() + data + 4;
        char command = 'M';
        double x = 0, y = 0;
        for (;;) {
            while (*p == ' ' || *p == ',') ++p;
            if (*p == '"' || *p == '\0') break;
            if (std::isalpha(static_cast<unsigned char>(*p))) {
                command = *p++;
                continue;
            }
            char* next = nullptr;
            const double a = std::strtod(p, &next);
            while (*next == ' ' || *next == ',') ++next;
            const double b = std::strtod(next, &next);
            p = next;
            const bool relative = command == 'm' || command == 'l';
            x = relative ? x + a : a;
            y = relative ? y + b : b;
            if (command == 'M' || command == 'm') {
                subpaths.emplace_back();
                command = command == 'M' ? 'L' : 'l';  // pairs after a move are lines
            }
            if (subpaths.empty()) subpaths.emplace_back();
            subpaths.back().emplace_back(x, y);
        }
    }
    return subpaths;
}

// The text of the elements, tags left out, the XML specials read back.
inline std::string SvgText(const std::string& svg)
{
    std::string text;
    bool inTag = false;
    for (size_t i = 0; i < svg.size(); ++i) {
        if (svg[i] == '<') inTag = true;
        if (!inTag) {
            static const std::pair<const char*, char> kEntities[] = {
                {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
            bool entity = false;
            for (const auto& [name, c] : kEntities)
                if (svg.compare(i, std::char_traits<char>::length(name), name) == 0) {
                    text += c;
                    i += std::char_traits<char>::length(name) - 1;
                    entity = true;
                    break;
                }
            if (!entity) text += svg[i];
        }
        if (svg[i] == '>') inTag = false;
    }
    return text;
}
