// CSV rows: splitting a line, headers and units, values.
#include "CsvRows.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "signals/InputText.h"

namespace signals_detail {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace((unsigned char)text.front())) text.remove_prefix(1);
    while (!text.empty() && std::isspace((unsigned char)text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

void SplitCsvTitle(const std::string& cell, std::string& title, std::string& units)
{
    std::string_view text = Trim(cell);
    if (text.size() >= 3 && (text.back() == ')' || text.back() == ']')) {
        char open = text.back() == ')' ? '(' : '[';
        size_t start = text.rfind(open);
        if (start != std::string_view::npos && start > 0) {
            title = std::string(Trim(text.substr(0, start)));
            units = std::string(Trim(text.substr(start + 1, text.size() - start - 2)));
            if (!title.empty()) return;
        }
    }
    title = std::string(text);
    units.clear();
}

bool LooksLikeTimeTitle(const std::string& title)
{
    std::string t = Lowercase(title);
    for (const char* name : {"t", "time", "times", "seconds", "sec", "secs", "timestamp", "timer", "datetime",
                             "date_time", "date time", "elapsed", "elapsed time", "elapsed_time", "clock"})
        if (t == name) return true;
    return t.rfind("time ", 0) == 0 || t.rfind("time_", 0) == 0 || t.rfind("time[", 0) == 0 ||
           t.rfind("timestamp_", 0) == 0;
}

double SecondsPerTimeUnit(const std::string& title, const std::string& units)
{
    std::string u = Lowercase(units);
    if (u.empty()) {
        std::string t = Lowercase(title);
        if (t.size() > 3 && t.compare(t.size() - 3, 3, "_ms") == 0) return 1e-3;
        if (t.size() > 3 && t.compare(t.size() - 3, 3, "_us") == 0) return 1e-6;
        return 1.0;
    }
    if (u == "s" || u == "sec" || u == "secs" || u == "seconds") return 1.0;
    if (u == "ms" || u == "msec") return 1e-3;
    if (u == "us" || u == "\xC2\xB5s" || u == "\xCE\xBCs") return 1e-6;
    if (u == "min") return 60.0;
    if (u == "h") return 3600.0;
    return 0;
}

std::string SplitCsvRow(std::string_view line, std::vector<CsvCell>& cells)
{
    size_t count = 0;
    size_t i = 0;
    while (true) {
        if (count == cells.size()) cells.emplace_back();
        CsvCell& cell = cells[count++];
        cell.text.clear();
        cell.quoted = false;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i < line.size() && line[i] == '"') {
            cell.quoted = true;
            ++i;
            while (true) {
                if (i >= line.size()) return "a quoted value has no closing quote";
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        cell.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell.text += line[i++];
            }
            while (i < line.size() && line[i] != ',') {
                if (line[i] == ';') return CsvSeparatorProblem(';');
                if (!std::isspace((unsigned char)line[i])) return "text after a closing quote";
                ++i;
            }
        } else {
            size_t comma = line.find(',', i);
            if (comma == std::string_view::npos) comma = line.size();
            cell.text.assign(Trim(line.substr(i, comma - i)));
            i = comma;
        }
        if (i >= line.size()) break;
        ++i;  // the comma
    }
    cells.resize(count);
    return {};
}

bool IsCsvComment(std::string_view line)
{
    std::string_view trimmed = Trim(line);
    return trimmed.empty() || trimmed.front() == '#';
}

bool ParseCsvNumber(std::string_view text, double& value)
{
    // std::from_chars takes no '+'.
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool AnyCsvNumber(const std::vector<CsvCell>& cells)
{
    for (const CsvCell& cell : cells) {
        double ignored;
        if (ParseCsvNumber(cell.text, ignored)) return true;
    }
    return false;
}

std::string CsvSeparatorProblem(char separator)
{
    return std::string("the values are separated by ") + (separator == ';' ? "';'" : "tabs") +
           "; this reader takes ',' with '.' as the decimal point (save the file as comma-separated)";
}

char OtherCsvSeparator(const std::vector<CsvCell>& header)
{
    // A spreadsheet's export with another separator is one column of titles.
    for (char separator : {';', '\t'})
        if (header.size() == 1 && !header[0].quoted && header[0].text.find(separator) != std::string::npos)
            return separator;
    return 0;
}

CsvHeader CsvHeader::From(const std::vector<CsvCell>& cells)
{
    CsvHeader header;
    header.titles.resize(cells.size());
    header.units.resize(cells.size());
    for (size_t c = 0; c < cells.size(); ++c) SplitCsvTitle(cells[c].text, header.titles[c], header.units[c]);
    header.hasTime = !header.titles.empty() && LooksLikeTimeTitle(header.titles[0]);
    return header;
}

std::string CsvHeader::Problem(const std::vector<CsvCell>& cells) const
{
    for (size_t c = 0; c < cells.size() && c < titles.size(); ++c) {
        if (titles[c].empty()) return "column " + std::to_string(c + 1) + " has no title";
        double ignored;
        if (!cells[c].quoted && ParseCsvNumber(cells[c].text, ignored))
            return "expected a header row of channel titles, found the number " + QuoteInput(cells[c].text) +
                   " in column " + std::to_string(c + 1);
    }
    return {};
}

double CsvHeader::SecondsPerTimeUnit() const
{
    return hasTime ? signals_detail::SecondsPerTimeUnit(titles[0], units[0]) : 1.0;
}

std::string CsvValueProblem(const CsvCell& cell, size_t column, const std::string& title, bool isTime, double& value)
{
    auto where = [&] { return "column " + std::to_string(column + 1) + " (" + ShowInput(title) + "): "; };
    if (!ParseCsvNumber(cell.text, value))
        return where() +
               (cell.text.empty() ? std::string("an empty value") : QuoteInput(cell.text) + " is not a number");
    if (!isTime && std::fabs(value) > 3.4e38)
        return where() + QuoteInput(cell.text) + " is too large for a 32-bit sample";
    return {};
}

std::string FormatCsvNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace signals_detail
