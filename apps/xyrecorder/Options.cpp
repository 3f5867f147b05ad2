// Strict command-line parsing: every option known, every value checked.
#include "Options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "signals/InputText.h"

const OptionDefinition kHelpOption{"help", 'h', "", "show this help"};

namespace {

// Help texts start in this column.
constexpr size_t kHelpColumn = 24;

std::string Show(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

const OptionDefinition* FindByName(const OptionGroup& definitions, const std::string& name)
{
    auto found =
        std::find_if(definitions.begin(), definitions.end(), [&](const OptionDefinition& s) { return s.name == name; });
    return found == definitions.end() ? nullptr : &*found;
}

const OptionDefinition* FindByLetter(const OptionGroup& definitions, char letter)
{
    auto found = std::find_if(definitions.begin(), definitions.end(),
                              [&](const OptionDefinition& s) { return s.letter == letter; });
    return found == definitions.end() ? nullptr : &*found;
}

}  // namespace

Options::Options(const std::vector<std::string>& arguments, const OptionGroup& definitions)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional_.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionDefinition* definition = nullptr;
        std::string value;
        bool hasValue = false;
        if (argument[1] == '-') {
            std::string name = argument.substr(2);
            if (size_t equals = name.find('='); equals != std::string::npos) {
                value = name.substr(equals + 1);
                name.resize(equals);
                hasValue = true;
            }
            definition = FindByName(definitions, name);
            if (!definition) throw UsageError("unknown option --" + ShowInput(name));
        } else {
            definition = FindByLetter(definitions, argument[1]);
            if (!definition) throw UsageError("unknown option " + ShowInput(argument.substr(0, 2)));
            if (argument.size() > 2) {
                value = argument.substr(2);
                hasValue = true;
            }
        }
        const std::string shown = "--" + definition->name;
        if (definition->value.empty()) {
            if (hasValue) throw UsageError(shown + " takes no value");
            values_[definition->name] = "";
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) throw UsageError(shown + " needs a value");
            value = arguments[++i];
        }
        // An empty value would silently mean the default (channel 1, no frames).
        if (value.empty()) throw UsageError(shown + " needs a value, not an empty one");
        values_[definition->name] = value;
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

bool AsksForHelp(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--") return false;
        if (argument == "--help" || argument == "-h") return true;
    }
    return false;
}

std::string OptionsHelp(const OptionGroup& definitions)
{
    std::string text;
    for (const OptionDefinition& definition : definitions) {
        std::string head = "  ";
        head += definition.letter ? std::string("-") + definition.letter + ", " : std::string("    ");
        head += "--" + definition.name;
        if (!definition.value.empty()) head += " " + definition.value;
        head += head.size() + 2 > kHelpColumn ? "  " : std::string(kHelpColumn - head.size(), ' ');
        size_t start = 0;
        while (start <= definition.help.size()) {
            size_t end = definition.help.find('\n', start);
            if (end == std::string::npos) end = definition.help.size();
            text +=
                (start == 0 ? head : std::string(kHelpColumn, ' ')) + definition.help.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
    return text;
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
