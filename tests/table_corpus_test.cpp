// Every table of tests/corpus/ read by `glomera-voi import` as a user runs it and scored
// against what its authors meant (NAME.expected): right, lost and wrong peaks, and the exit
// status. The scoreboard is printed; the test fails on a regression against the committed
// baseline (tests/corpus/baseline.txt), not on kinds the importer has never read.
//
// GLOMERA_TABLE_SCOREBOARD=FILE also writes the scoreboard to FILE;
// GLOMERA_TABLE_BASELINE=FILE writes the baseline of this run to FILE (see
// scripts/renew-table-corpus-baseline.sh) instead of comparing; with
// GLOMERA_TABLE_BASELINE_STRICT set, a baseline that forbids any wrong VOI at exit 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "coordlist/coordinate_box.h"
#include "test_files.h"
#include "voikit/space/coordinate_space.h"

namespace {

namespace fs = std::filesystem;
using voikit::Point;
using voikit::Space;

// How far a VOI's centre may lie from an intended peak's on each axis: the list carries one
// decimal, so a centre written right is off by at most half of 0.1.
constexpr double kTolerance = 0.05 + 1e-6;

// One peak the authors meant, in each writing the table gives of it, as TAL centres.
struct IntendedPeak {
    std::string text;  // as in the expected file
    std::vector<Point> centres;
    bool inBox = false;  // some writing falls inside the plug-in's box
};

struct Expected {
    std::string layout;
    std::string args;
    bool refused = false;
    std::vector<IntendedPeak> peaks;
    std::string error;  // why the file could not be read; empty when it could
};

bool insideBox(const Point& p) {
    using Box = glomera::CoordinateBox;
    return p[0] >= Box::kXLow && p[0] <= Box::kXHigh && p[1] >= Box::kYLow && p[1] <= Box::kYHigh &&
           p[2] >= Box::kZLow && p[2] <= Box::kZHigh;
}

std::istringstream classicStream(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    return in;
}

// "mni -22 -6 -18 | tal -21 -6 -13": the peak's writings, as TAL centres by the importer's
// default transform.
bool readPeak(const std::string& line, IntendedPeak& peak) {
    peak.text = line;
    std::istringstream writings(line);
    std::string writing;
    while (std::getline(writings, writing, '|')) {
        std::istringstream in = classicStream(writing);
        std::string space, rest;
        Point p{};
        if (!(in >> space >> p[0] >> p[1] >> p[2]) || (in >> rest)) return false;
        if (space != "mni" && space != "tal") return false;
        const Point centre = space == "mni" ? voikit::mniToTal(p, voikit::MniToTal::kSpm) : p;
        peak.centres.push_back(centre);
        peak.inBox = peak.inBox || insideBox(centre);
    }
    return !peak.centres.empty();
}

Expected readExpected(const std::string& path) {
    Expected e;
    std::istringstream in(readFile(path));
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        IntendedPeak peak;
        if (key == "layout") {
            e.layout = rest;
        } else if (key == "args") {
            e.args = rest;
        } else if (key == "refused" && rest.empty()) {
            e.refused = true;
        } else if (readPeak(line, peak)) {
            e.peaks.push_back(peak);
        } else {
            e.error = path;
            e.error += ":" + std::to_string(number) + ": cannot read \"" + line + "\"";
            return e;
        }
    }
    if (e.layout.empty()) e.error = path + ": no layout line";
    if (e.refused != e.peaks.empty()) {
        e.error = path + ": a table is either refused or has intended peaks";
    }
    return e;
}

// The centres of the list's lines, "x y z radius name r g b".
std::vector<Point> listCentres(const std::string& list) {
    std::vector<Point> centres;
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in = classicStream(line);
        Point p{};
        if (in >> p[0] >> p[1] >> p[2]) centres.push_back(p);
    }
    return centres;
}

bool near(const Point& a, const Point& b) {
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(a[static_cast<std::size_t>(k)] - b[static_cast<std::size_t>(k)]) >
            kTolerance) {
            return false;
        }
    }
    return true;
}

struct Score {
    std::string table;
    std::string layout;
    int status = -1;
    int intended = 0;     // inside the box
    int outside = 0;      // outside the box: no VOI wanted
    std::set<int> right;  // peaks (from 1, in the expected file's order) that have their VOI
    int wrong = 0;        // VOIs that match no intended peak
    int wrongAtExit0() const { return status == 0 ? wrong : 0; }
    int lost() const { return intended - static_cast<int>(right.size()); }
};

// Each VOI takes the first intended peak inside the box it matches and no earlier VOI took;
// a VOI left without one is wrong.
Score score(const std::string& table, const Expected& e, int status,
            const std::vector<Point>& vois) {
    Score s;
    s.table = table;
    s.layout = e.layout;
    s.status = status;
    for (const IntendedPeak& peak : e.peaks) (peak.inBox ? s.intended : s.outside) += 1;
    for (const Point& voi : vois) {
        bool matched = false;
        for (std::size_t i = 0; i < e.peaks.size() && !matched; ++i) {
            const IntendedPeak& peak = e.peaks[i];
            const int index = static_cast<int>(i) + 1;
            if (!peak.inBox || s.right.count(index) != 0) continue;
            for (const Point& centre : peak.centres) {
                if (insideBox(centre) && near(voi, centre)) matched = true;
            }
            if (matched) s.right.insert(index);
        }
        if (!matched) ++s.wrong;
    }
    return s;
}

Score importAndScore(const TempFolder& folder, const fs::path& table, const Expected& e) {
    const std::string list = folder.file("list.txt");
    std::remove(list.c_str());
    const ProgramResult r = runProgram(
        folder.path(), GLOMERA_VOI, "import '" + table.string() + "' " + e.args + " -o list.txt");
    const std::vector<Point> vois =
        fileExists(list) ? listCentres(readFile(list)) : std::vector<Point>{};
    return score(table.filename().string(), e, r.status, vois);
}

std::string joined(const std::set<int>& numbers) {
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ",") + std::to_string(n);
    return text.empty() ? "-" : text;
}

std::string scoreboard(const std::vector<Score>& scores) {
    std::string text;
    char line[256];
    std::snprintf(line, sizeof line, "%-34s %-20s %4s %6s %5s %4s %7s %5s\n", "table", "layout",
                  "exit", "peaks", "right", "lost", "outside", "wrong");
    text += line;
    int intended = 0, right = 0, outside = 0, wrong = 0, wrongAt0 = 0, crashes = 0;
    int refusedTables = 0, refusedRight = 0;
    for (const Score& s : scores) {
        std::snprintf(line, sizeof line, "%-34s %-20s %4d %6d %5zu %4d %7d %5d%s\n",
                      s.table.c_str(), s.layout.c_str(), s.status, s.intended, s.right.size(),
                      s.lost(), s.outside, s.wrong, s.wrongAtExit0() > 0 ? "  (exit 0)" : "");
        text += line;
        intended += s.intended;
        right += static_cast<int>(s.right.size());
        outside += s.outside;
        wrong += s.wrong;
        wrongAt0 += s.wrongAtExit0();
        crashes += s.status < 0;
        if (s.intended + s.outside == 0) {
            ++refusedTables;
            refusedRight += s.wrong == 0;
        }
    }
    std::snprintf(line, sizeof line,
                  "total: %d tables; %d of %d intended peaks right (%.1f %%), %d lost; %d "
                  "outside the box; %d wrong or invented VOIs, %d of them at exit 0; %d of %d "
                  "tables to refuse made no VOI; %d crashed\n",
                  static_cast<int>(scores.size()), right, intended,
                  intended > 0 ? 100.0 * right / intended : 0.0, intended - right, outside, wrong,
                  wrongAt0, refusedRight, refusedTables, crashes);
    text += line;
    return text;
}

// The baseline: which peaks of each table were right, how many VOIs were wrong, and how many
// of those came at exit 0. "strict" forbids any wrong VOI at exit 0, whatever a table's line.
struct Baseline {
    bool strict = false;
    struct Entry {
        std::set<int> right;
        int wrong = 0;
        int wrongAtExit0 = 0;
    };
    std::map<std::string, Entry> tables;
};

Baseline readBaseline(const std::string& text) {
    Baseline b;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line == "strict") {
            b.strict = true;
            continue;
        }
        std::istringstream in(line);
        std::string table, field;
        in >> table;
        Baseline::Entry entry;
        while (in >> field) {
            const std::size_t eq = field.find('=');
            const std::string key = field.substr(0, eq), value = field.substr(eq + 1);
            if (key == "right") {
                std::istringstream numbers(value);
                std::string n;
                while (std::getline(numbers, n, ',')) {
                    if (n != "-") entry.right.insert(std::stoi(n));
                }
            } else if (key == "wrong") {
                entry.wrong = std::stoi(value);
            } else if (key == "wrong-at-exit-0") {
                entry.wrongAtExit0 = std::stoi(value);
            }
        }
        b.tables[table] = entry;
    }
    return b;
}

std::string baselineText(const std::vector<Score>& scores, bool strict) {
    std::string text =
        "# Which intended peaks of each corpus table are right (their order in NAME.expected),\n"
        "# how many VOIs are wrong, and how many of those at exit 0. Written by\n"
        "# scripts/renew-table-corpus-baseline.sh; the TableCorpus tests fail on anything worse.\n";
    if (strict) text += "strict\n";
    for (const Score& s : scores) {
        text += s.table + " right=" + joined(s.right) + " wrong=" + std::to_string(s.wrong) +
                " wrong-at-exit-0=" + std::to_string(s.wrongAtExit0()) + "\n";
    }
    return text;
}

// What is worse than the baseline, one line each.
std::vector<std::string> regressions(const std::vector<Score>& scores, const Baseline& b) {
    std::vector<std::string> worse;
    for (const Score& s : scores) {
        const auto found = b.tables.find(s.table);
        const Baseline::Entry entry = found == b.tables.end() ? Baseline::Entry{} : found->second;
        for (int peak : entry.right) {
            if (s.right.count(peak) == 0) {
                worse.push_back(s.table + ": peak " + std::to_string(peak) +
                                " was right and is now lost");
            }
        }
        if (s.wrong > entry.wrong) {
            worse.push_back(s.table + ": " + std::to_string(s.wrong) +
                            " wrong VOIs, the baseline " + std::to_string(entry.wrong));
        }
        if (s.wrongAtExit0() > (b.strict ? 0 : entry.wrongAtExit0)) {
            worse.push_back(s.table + ": " + std::to_string(s.wrongAtExit0()) +
                            " wrong VOIs with exit status 0");
        }
        // 126 and 127: the shell could not run the program at all.
        if (s.status < 0 || s.status >= 126) {
            worse.push_back(s.table + ": the program did not run or did not exit normally (" +
                            std::to_string(s.status) + ")");
        }
    }
    return worse;
}

std::vector<fs::path> corpusTables() {
    std::vector<fs::path> tables;
    for (const fs::directory_entry& entry : fs::directory_iterator(TABLE_CORPUS_DIR)) {
        const fs::path& path = entry.path();
        const std::string name = path.filename().string();
        if (!entry.is_regular_file() || path.extension() == ".expected" || name == "README.md" ||
            name == "baseline.txt") {
            continue;
        }
        tables.push_back(path);
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

TEST(TableCorpus, EveryTableHasItsIntendedPeaksAndTheCorpusIsBroad) {
    std::set<std::string> layouts;
    int peaks = 0;
    const std::vector<fs::path> tables = corpusTables();
    for (const fs::path& table : tables) {
        const fs::path expectedPath = table.string() + ".expected";
        ASSERT_TRUE(fs::exists(expectedPath)) << table;
        const Expected e = readExpected(expectedPath.string());
        EXPECT_EQ(e.error, "");
        layouts.insert(e.layout);
        peaks += static_cast<int>(e.peaks.size());
    }
    EXPECT_GE(tables.size(), 60u);
    EXPECT_GE(layouts.size(), 25u);
    std::printf("corpus: %zu tables, %zu layouts, %d intended peaks\n", tables.size(),
                layouts.size(), peaks);
}

// The scorer itself, on a made-up list: a peak found, one lost, one outside the box, and a VOI
// beside a peak but 0.1 mm off, which is wrong.
TEST(TableCorpus, ScoringCountsRightLostOutsideAndWrong) {
    Expected e;
    e.layout = "test";
    for (const char* text : {"tal 10 20 30", "tal -40 0 0", "tal 0 0 -60", "mni 42 -52 -20"}) {
        IntendedPeak peak;
        ASSERT_TRUE(readPeak(text, peak)) << text;
        e.peaks.push_back(peak);
    }
    const Point mniCentre = voikit::mniToTal({42, -52, -20}, voikit::MniToTal::kSpm);
    const Score s = score("t", e, 0,
                          {{10.04, 19.96, 30.0},
                           {std::round(mniCentre[0] * 10) / 10, std::round(mniCentre[1] * 10) / 10,
                            std::round(mniCentre[2] * 10) / 10},
                           {-40.1, 0, 0},
                           {10, 20, 30}});
    EXPECT_EQ(s.intended, 3);
    EXPECT_EQ(s.outside, 1);
    EXPECT_EQ(joined(s.right), "1,4");
    EXPECT_EQ(s.lost(), 1);
    EXPECT_EQ(s.wrong, 2);  // -40.1 is too far; the second VOI at 10 20 30 has no peak left
    EXPECT_EQ(s.wrongAtExit0(), 2);
    IntendedPeak bad;
    EXPECT_FALSE(readPeak("mni 1 2", bad));
    EXPECT_FALSE(readPeak("icbm 1 2 3", bad));

    // A lost peak and a new wrong VOI at exit 0 are regressions; a gain is none.
    const Baseline b = readBaseline("t right=1,2 wrong=1 wrong-at-exit-0=1\n");
    const std::vector<std::string> worse = regressions({s}, b);
    ASSERT_EQ(worse.size(), 3u);
    EXPECT_EQ(worse[0], "t: peak 2 was right and is now lost");
    EXPECT_EQ(worse[1], "t: 2 wrong VOIs, the baseline 1");
    EXPECT_EQ(worse[2], "t: 2 wrong VOIs with exit status 0");
    EXPECT_TRUE(regressions({s}, readBaseline("t right=1 wrong=2 wrong-at-exit-0=2\n")).empty());
    EXPECT_EQ(
        regressions({s}, readBaseline("strict\nt right=1 wrong=2 wrong-at-exit-0=2\n")).size(), 1u);
}

TEST(TableCorpus, ScoreboardIsNoWorseThanTheBaseline) {
    TempFolder folder;
    std::vector<Score> scores;
    for (const fs::path& table : corpusTables()) {
        const Expected e = readExpected(table.string() + ".expected");
        ASSERT_EQ(e.error, "");
        scores.push_back(importAndScore(folder, table, e));
    }
    const std::string board = scoreboard(scores);
    std::printf("%s", board.c_str());
    if (const char* path = std::getenv("GLOMERA_TABLE_SCOREBOARD")) writeFile(path, board);

    const std::string baselinePath = std::string(TABLE_CORPUS_DIR) + "/baseline.txt";
    const Baseline baseline =
        fileExists(baselinePath) ? readBaseline(readFile(baselinePath)) : Baseline{};
    if (const char* path = std::getenv("GLOMERA_TABLE_BASELINE")) {
        // A strict baseline (kept strict, or made so with GLOMERA_TABLE_BASELINE_STRICT) is
        // written only when no VOI is wrong at exit 0.
        const bool strict = baseline.strict || std::getenv("GLOMERA_TABLE_BASELINE_STRICT");
        bool clean = true;
        for (const Score& s : scores) {
            if (strict && s.wrongAtExit0() > 0) {
                ADD_FAILURE() << s.table << ": " << s.wrongAtExit0()
                              << " wrong VOIs with exit status 0; the baseline stays strict";
                clean = false;
            }
        }
        if (clean) writeFile(path, baselineText(scores, strict));
        return;
    }
    for (const std::string& line : regressions(scores, baseline)) ADD_FAILURE() << line;
}

}  // namespace
