#include "Channels.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "Options.h"
#include "signals/InputText.h"

namespace {

// '*' any run of characters, '?' any one; the rest compared in lower case.
bool Matches(const std::string& pattern, const std::string& text)
{
    size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool WholeNumber(const std::string& text, size_t& value)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string Numbers(const std::vector<size_t>& numbers)
{
    std::string text;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        text += (text.empty() ? "" : ",") + std::to_string(numbers[i] + 1) +
                (j > i ? "-" + std::to_string(numbers[j] + 1) : std::string());
        i = j + 1;
    }
    return text;
}

// The kept channels, reading the same store.
void Keep(StoredSignals& signals, const std::vector<bool>& kept)
{
    std::vector<size_t> chosen;
    for (size_t c = 0; c < kept.size(); ++c)
        if (kept[c]) chosen.push_back(c);
    signals = ChooseChannels(signals, chosen);
}

}  // namespace

void SelectChannels(StoredSignals& signals, const std::string& wanted, const std::string& source)
{
    const size_t count = signals.channels.size();
    const size_t limit = size_t(SampleSource::kMaxChannels);
    std::vector<bool> kept(count, false);
    if (wanted.empty()) {
        if (count <= limit) return;
        std::fill(kept.begin(), kept.begin() + limit, true);
        std::vector<size_t> left;
        for (size_t c = limit; c < count; ++c) left.push_back(c);
        signals.notes.push_back(source + " has " + std::to_string(count) + " channels; the first " +
                                std::to_string(limit) + " are recorded, " + Numbers(left) +
                                " are left out (choose with --channels, such as --channels 1-8,12,EEG*)");
        Keep(signals, kept);
        return;
    }
    size_t start = 0;
    while (start <= wanted.size()) {
        size_t comma = std::min(wanted.find(',', start), wanted.size());
        std::string item = wanted.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) throw UsageError("--channels " + QuoteInput(wanted) + ": an empty item (write 1-8,12,EEG*)");
        bool any = false;
        std::string lower = Lowercase(item);
        for (size_t c = 0; c < count; ++c)
            if (Lowercase(signals.channels[c].title) == lower) kept[c] = any = true;
        size_t dash = item.find('-');
        size_t first = 0, last = 0;
        if (!any && WholeNumber(item, first)) {
            last = first;
        } else if (!any && dash != std::string::npos && WholeNumber(item.substr(0, dash), first) &&
                   WholeNumber(item.substr(dash + 1), last)) {
            if (first < 1 || last < first)
                throw UsageError("--channels " + QuoteInput(item) + ": no range of channel numbers (write 1-8)");
        } else if (!any) {
            for (size_t c = 0; c < count; ++c)
                if (Matches(lower, Lowercase(signals.channels[c].title))) kept[c] = any = true;
            if (!any)
                throw InputError("--channels " + ShowInput(item) + ": " + EscapeInput(source) +
                                 " has no channel of that title");
            continue;
        }
        if (any) continue;
        if (first < 1 || last > count)
            throw InputError("--channels " + ShowInput(item) + ": " + EscapeInput(source) + " has channels 1 to " +
                             std::to_string(count));
        std::fill(kept.begin() + long(first - 1), kept.begin() + long(last), true);
    }
    size_t chosen = size_t(std::count(kept.begin(), kept.end(), true));
    if (chosen > limit)
        throw InputError("--channels " + ShowInput(wanted) + " names " + std::to_string(chosen) +
                         " channels; at most " + std::to_string(limit) + " can be recorded");
    Keep(signals, kept);
}

void RequireTwoChannels(const StoredSignals& signals, const std::string& source)
{
    if (signals.channels.size() >= 2) return;
    throw InputError(EscapeInput(source) + " has one channel (" + ShowInput(signals.channels.front().title) +
                     "); an X-Y plot needs two, one for each axis");
}
