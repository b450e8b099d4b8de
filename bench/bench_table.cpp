// Turns the samples of a bench run into one table: median, min and max of
// each figure, its ratio to the baseline measured beside it, and the goals.
//
// Input, TAB-separated lines (anything else is ignored):
//   S  case  subject  metric  value [round]  one sample; samples of one round
//        (one turn of every subject, taken side by side) are paired
//   B  case  metric  subject  label         ratios of this case and metric are to that subject's median
//   G  case  subject  metric  ref  op  threshold  text
//        a goal: the median (ref "-") or its ratio to the median of `ref`
//        ("subject" of the same case and metric, or "case::subject::metric")
//        must be `op` ("<" or "<=") the threshold.
// Ratios are paired: each round's figure over its baseline's figure of the same
// round (the median of the round's samples where it has several), then the
// median and range of those ratios. A goal is met when every round meets it,
// missed when none does, and within noise when the rounds disagree.
// `--no-verdicts` (a smoke run of one round) prints the figures without them.
// Output: a Markdown table, columns padded so it also reads as plain text.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string caseName, subject, metric;
    std::vector<double> values;
    std::map<std::string, std::vector<double>> byRound;
    // Rounds that gave no figure in time ("none"): none of them met a goal.
    std::size_t missing = 0;
};

struct Baseline {
    std::string subject, label;
};

struct Goal {
    std::string caseName, subject, metric, ref, op, text;
    double threshold = 0;
};

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    return fields;
}

std::string Key(const std::string& c, const std::string& s, const std::string& m) {
    return c + "\x1f" + s + "\x1f" + m;
}

double Median(std::vector<double> v) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Number(double v) {
    if (std::isnan(v)) return "-";
    char text[64];
    double a = std::fabs(v);
    if (a >= 100 || v == std::floor(v))
        std::snprintf(text, sizeof text, "%.0f", v);
    else if (a >= 10)
        std::snprintf(text, sizeof text, "%.1f", v);
    else
        std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

std::string Ratio(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

// Per round, the subject's figure over the reference's; rounds that lack
// either are left out.
std::vector<double> PairedRatios(const Row& subject, const Row& reference) {
    std::vector<double> ratios;
    for (const auto& [round, values] : subject.byRound) {
        auto other = reference.byRound.find(round);
        if (other == reference.byRound.end()) continue;
        double base = Median(other->second);
        if (base != 0 && !std::isnan(base)) ratios.push_back(Median(values) / base);
    }
    return ratios;
}

std::string Spread(const std::vector<double>& ratios) {
    if (ratios.empty()) return "-";
    auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
    return Ratio(Median(ratios)) + " [" + Ratio(*lo) + "–" + Ratio(*hi) + "]";
}

}  // namespace

int main(int argc, char** argv) {
    bool verdicts = !(argc > 1 && std::string(argv[1]) == "--no-verdicts");
    std::vector<Row> rows;
    std::map<std::string, std::size_t> index;
    std::map<std::string, Baseline> baselines;  // case + metric
    std::vector<Goal> goals;

    std::string line;
    while (std::getline(std::cin, line)) {
        auto f = Split(line);
        if (f.empty()) continue;
        if (f[0] == "S" && f.size() >= 5) {
            std::string key = Key(f[1], f[2], f[3]);
            auto it = index.find(key);
            if (it == index.end()) {
                it = index.emplace(key, rows.size()).first;
                rows.push_back({f[1], f[2], f[3], {}, {}, 0});
            }
            char* end = nullptr;
            double value = std::strtod(f[4].c_str(), &end);
            if (f[4] == "none") {
                ++rows[it->second].missing;
            } else if (end != f[4].c_str()) {
                rows[it->second].values.push_back(value);
                // Samples without a round each stand alone.
                std::string round = f.size() >= 6 ? f[5] : "#" + std::to_string(rows[it->second].values.size());
                rows[it->second].byRound[round].push_back(value);
            }
        } else if (f[0] == "B" && f.size() >= 4) {
            baselines[f[1] + "\x1f" + f[2]] = {f[3], f.size() >= 5 ? f[4] : f[3]};
        } else if (f[0] == "G" && f.size() >= 8) {
            Goal g{f[1], f[2], f[3], f[4], f[5], f[7], std::strtod(f[6].c_str(), nullptr)};
            goals.push_back(g);
        }
    }

    auto rowOf = [&](const std::string& key) -> const Row* {
        auto it = index.find(key);
        return it == index.end() ? nullptr : &rows[it->second];
    };

    // Rows grouped by case, cases and rows in the order they first came.
    std::vector<std::string> cases;
    for (const Row& row : rows) {
        if (std::find(cases.begin(), cases.end(), row.caseName) == cases.end()) cases.push_back(row.caseName);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        return std::find(cases.begin(), cases.end(), a.caseName) <
               std::find(cases.begin(), cases.end(), b.caseName);
    });
    index.clear();
    for (std::size_t i = 0; i < rows.size(); ++i)
        index[Key(rows[i].caseName, rows[i].subject, rows[i].metric)] = i;

    std::vector<std::vector<std::string>> table = {
        {"case", "subject", "metric", "median", "min", "max", "n", "paired ratio: median [range]", "goal"}};
    for (const Row& row : rows) {
        double median = Median(row.values);
        double min = row.values.empty() ? NAN : *std::min_element(row.values.begin(), row.values.end());
        double max = row.values.empty() ? NAN : *std::max_element(row.values.begin(), row.values.end());
        std::string ratio;
        auto b = baselines.find(row.caseName + "\x1f" + row.metric);
        if (b != baselines.end()) {
            if (b->second.subject == row.subject) {
                ratio = "1 (baseline)";
            } else {
                if (const Row* base = rowOf(Key(row.caseName, b->second.subject, row.metric))) {
                    std::vector<double> ratios = PairedRatios(row, *base);
                    if (!ratios.empty()) ratio = Spread(ratios) + " × " + b->second.label;
                }
            }
        }
        std::string goalText;
        for (const Goal& g : goals) {
            if (g.caseName != row.caseName || g.subject != row.subject || g.metric != row.metric) continue;
            // The figures the verdict rests on: the values themselves, or
            // the paired ratios to the reference.
            std::vector<double> figures = row.values;
            if (g.ref != "-") {
                std::string refKey;
                std::size_t sep = g.ref.find("::");
                if (sep == std::string::npos) {
                    refKey = Key(row.caseName, g.ref, row.metric);
                } else {
                    std::size_t sep2 = g.ref.find("::", sep + 2);
                    refKey = Key(g.ref.substr(0, sep), g.ref.substr(sep + 2, sep2 - sep - 2),
                                 g.ref.substr(sep2 + 2));
                }
                const Row* base = rowOf(refKey);
                figures = base ? PairedRatios(row, *base) : std::vector<double>{};
            }
            auto meets = [&](double v) { return g.op == "<" ? v < g.threshold : v <= g.threshold; };
            std::string verdict;
            // A round that gave no figure within its time did not meet the goal.
            const std::string lost =
                row.missing ? "; " + std::to_string(row.missing) + " more round(s) gave no figure in time" : "";
            if (figures.empty()) {
                verdict = row.missing ? "MISSED (no round gave a figure in time)" : "no figure";
            } else {
                auto [lo, hi] = std::minmax_element(figures.begin(), figures.end());
                double mid = Median(figures);
                std::string shown = g.ref == "-" ? Number(mid) : Ratio(mid);
                if (!verdicts)
                    verdict = "not judged on one round (" + shown + ")";
                else if (meets(*lo) && meets(*hi) && !row.missing)
                    verdict = "met (" + shown + ")";
                else if (!meets(*lo) && !meets(*hi))
                    verdict = "MISSED (" + shown + lost + ")";
                else
                    verdict = "within noise (" + shown + ", rounds " + (g.ref == "-" ? Number(*lo) : Ratio(*lo)) +
                              "–" + (g.ref == "-" ? Number(*hi) : Ratio(*hi)) + lost + ")";
            }
            if (!goalText.empty()) goalText += "; ";
            goalText += g.text + ": " + verdict;
        }
        table.push_back({row.caseName, row.subject, row.metric, Number(median), Number(min), Number(max),
                         std::to_string(row.values.size()), ratio, goalText});
    }

    // Widths in characters, not bytes: "×" and "≤" are one column each.
    auto width = [](const std::string& s) {
        std::size_t w = 0;
        for (unsigned char c : s) w += (c & 0xC0) != 0x80;
        return w;
    };
    std::vector<std::size_t> widths(table[0].size(), 0);
    for (const auto& r : table)
        for (std::size_t i = 0; i < r.size(); ++i) widths[i] = std::max(widths[i], width(r[i]));
    auto print = [&](const std::vector<std::string>& r) {
        std::string out = "|";
        for (std::size_t i = 0; i < r.size(); ++i) {
            bool numeric = i >= 3 && i <= 6;
            std::string pad(widths[i] - width(r[i]), ' ');
            out += " " + (numeric ? pad + r[i] : r[i] + pad) + " |";
        }
        std::puts(out.c_str());
    };
    print(table[0]);
    std::string rule = "|";
    for (std::size_t i = 0; i < widths.size(); ++i) {
        bool numeric = i >= 3 && i <= 6;
        rule +=
            (numeric ? std::string(widths[i] + 1, '-') + ":" : ":" + std::string(widths[i] + 1, '-')) + "|";
    }
    std::puts(rule.c_str());
    for (std::size_t i = 1; i < table.size(); ++i) print(table[i]);
    return 0;
}
