// Strict command-line parsing: every option known, every value checked.
#include "Options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "signals/InputText.h"

namespace {

std::string Show(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

Options::Options(const std::vector<std::string>& arguments, const std::vector<std::string>& valueOptions,
                 const std::vector<std::string>& flagOptions)
{
    auto known = [](const std::vector<std::string>& list, const std::string& name) {
        for (const std::string& item : list)
            if (item == name)
                return true;
        return false;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 3 || argument.compare(0, 2, "--") != 0) {
            positional_.push_back(argument);
            continue;
        }
        std::string name = argument.substr(2), value;
        bool hasValue = false;
        if (size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        if (known(flagOptions, name)) {
            if (hasValue)
                throw UsageError("--" + name + " takes no value");
            values_[name] = "";
        } else if (known(valueOptions, name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    throw UsageError("--" + name + " needs a value");
                value = arguments[++i];
            }
            // An empty value would silently mean the default (channel 1, no frames).
            if (value.empty())
                throw UsageError("--" + name + " needs a value, not an empty one");
            values_[name] = value;
        } else {
            throw UsageError("unknown option --" + ShowInput(name));
        }
    }
}

std::string Options::Text(const std::string& name, const std::string& fallback) const
{
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

double Options::Number(const std::string& name, double fallback, double low, double high) const
{
    auto it = values_.find(name);
    return it == values_.end() ? fallback : ParseNumber(it->second, "--" + name, low, high);
}

long Options::Integer(const std::string& name, long fallback, long low, long high) const
{
    auto it = values_.find(name);
    return it == values_.end() ? fallback : ParseInteger(it->second, "--" + name, low, high);
}

double ParseNumber(const std::string& text, const std::string& what, double low, double high)
{
    double value = 0;
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        throw UsageError(what + ": " + QuoteInput(text) + " is not a number");
    if (value < low || value > high)
        throw UsageError(what + ": " + ShowInput(text) + " is outside " + Show(low) + " to " + Show(high));
    return value;
}

long ParseInteger(const std::string& text, const std::string& what, long low, long high)
{
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        throw UsageError(what + ": " + QuoteInput(text) + " is not a whole number");
    if (value < low || value > high)
        throw UsageError(what + ": " + ShowInput(text) + " is outside " + std::to_string(low) + " to " +
                         std::to_string(high));
    return value;
}
