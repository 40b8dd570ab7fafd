#include "cli/diff.h"

#include <algorithm>
#include <vector>

namespace qm::cli {

namespace {

std::vector<std::string> SplitKeepingEnds(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The shortest edit script of Myers' algorithm, as a list of (kind, line): ' ' kept, '-' removed,
// '+' added. Work grows with the size of the change, not with the product of the lengths.
std::vector<std::pair<char, std::size_t>> EditScript(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const auto n = static_cast<long>(a.size());
    const auto m = static_cast<long>(b.size());
    const long max = n + m;
    std::vector<long> v(static_cast<std::size_t>(2 * max + 2), 0);
    std::vector<std::vector<long>> trace;
    const auto at = [&](long k) -> long& { return v[static_cast<std::size_t>(k + max + 1)]; };
    long d = 0;
    for (; d <= max; ++d) {
        // Only the diagonals -d-1 .. d+1 matter to the way back: a band, not the whole array, so that
        // memory grows with the size of the change.
        trace.emplace_back(v.begin() + (max + 1 - d - 1 < 0 ? 0 : max + 1 - d - 1),
                           v.begin() + std::min<long>(static_cast<long>(v.size()), max + 1 + d + 2));
        bool done = false;
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            long y = x - k;
            while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) {
                ++x;
                ++y;
            }
            at(k) = x;
            if (x >= n && y >= m) {
                done = true;
                break;
            }
        }
        if (done) break;
    }
    std::vector<std::pair<char, std::size_t>> script;
    long x = n;
    long y = m;
    for (long step = d; step > 0; --step) {
        // The furthest points as they stood before this round.
        const auto& w = trace[static_cast<std::size_t>(step)];
        const long base = std::max<long>(0, max + 1 - step - 1);  // where the band starts in the array
        const auto was = [&](long k) { return w[static_cast<std::size_t>(k + max + 1 - base)]; };
        const long k = x - y;
        const long previous = (k == -step || (k != step && was(k - 1) < was(k + 1))) ? k + 1 : k - 1;
        const long startX = was(previous);
        const long startY = startX - previous;
        while (x > startX && y > startY) {
            --x;
            --y;
            script.emplace_back(' ', static_cast<std::size_t>(x));
        }
        if (x == startX) {
            --y;
            script.emplace_back('+', static_cast<std::size_t>(y));
        } else {
            --x;
            script.emplace_back('-', static_cast<std::size_t>(x));
        }
    }
    while (x > 0 && y > 0) {
        --x;
        --y;
        script.emplace_back(' ', static_cast<std::size_t>(x));
    }
    std::reverse(script.begin(), script.end());
    return script;
}

}  // namespace

std::string UnifiedDiff(const std::string& path, const std::string& before, const std::string& after) {
    if (before == after) return {};
    const auto a = SplitKeepingEnds(before);
    const auto b = SplitKeepingEnds(after);
    const auto script = EditScript(a, b);
    std::string out = "--- " + path + "\n+++ " + path + "\n";
    constexpr std::size_t kContext = 3;
    std::size_t i = 0;
    while (i < script.size()) {
        if (script[i].first == ' ') {
            ++i;
            continue;
        }
        // A hunk: from kContext kept lines before the first change to kContext after the last one that
        // is not further than 2 * kContext kept lines from the next.
        std::size_t first = i >= kContext ? i - kContext : 0;
        while (first < i && script[first].first != ' ') ++first;
        std::size_t last = i;
        std::size_t kept = 0;
        for (std::size_t j = i; j < script.size(); ++j) {
            if (script[j].first == ' ') {
                if (++kept > 2 * kContext) break;
            } else {
                kept = 0;
                last = j;
            }
        }
        const std::size_t end = std::min(script.size(), last + 1 + kContext);
        std::size_t oldStart = 0, newStart = 0, oldCount = 0, newCount = 0;
        // Line numbers: count what comes before the hunk.
        for (std::size_t j = 0; j < first; ++j) {
            if (script[j].first != '+') ++oldStart;
            if (script[j].first != '-') ++newStart;
        }
        std::string body;
        for (std::size_t j = first; j < end; ++j) {
            const auto& [kind, line] = script[j];
            std::string text = kind == '+' ? b[line] : a[line];
            const bool noEol = text.empty() || text.back() != '\n';
            if (kind != '+') ++oldCount;
            if (kind != '-') ++newCount;
            body += std::string(1, kind) + text;
            if (noEol) body += "\n\\ No newline at end of file\n";
        }
        out += "@@ -" + std::to_string(oldCount == 0 ? oldStart : oldStart + 1) + "," + std::to_string(oldCount) + " +" +
               std::to_string(newCount == 0 ? newStart : newStart + 1) + "," + std::to_string(newCount) + " @@\n" + body;
        i = end;
    }
    return out;
}

}  // namespace qm::cli
