// How a table is read: readings of the whole file compete for its rows of numbers, every such
// row ends as a VOI, a drop or a line set aside, each cell is marked with its role where it
// stands in the line, and columns are read by what their headings mean.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "number_rows.h"
#include "test_files.h"
#include "voikit/tables/point_reading.h"
#include "voikit/tables/table_import.h"
#include "voikit/tables/text/pasted_text.h"

namespace {

using voikit::CellRole;
using voikit::ImportedLine;
using voikit::ImportResult;
using voikit::ImportSettings;
using voikit::Space;

std::string table(const char* name) { return readFile(std::string(TABLES_DIR) + "/" + name); }

ImportSettings inSpace(std::optional<Space> space) {
    ImportSettings settings;
    settings.space = space;
    return settings;
}

// "name x y z" per VOI, the centre in TAL to one decimal.
std::string vois(const ImportResult& result) {
    std::string text;
    for (const voikit::AcceptedPeak& peak : result.peaks) {
        char line[160];
        std::snprintf(line, sizeof line, "%s %.1f %.1f %.1f\n", peak.values.name.c_str(),
                      static_cast<double>(peak.values.x), static_cast<double>(peak.values.y),
                      static_cast<double>(peak.values.z));
        text += line;
    }
    return text;
}

std::string accounts(const ImportResult& result) {
    std::string text;
    for (const ImportedLine& line : result.lines)
        text += std::to_string(line.number) + ": " + line.account + "\n";
    return text;
}

// Every file of a folder, by name.
std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> files;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            std::string path = folder;
            path += "/";
            path += name;
            files.push_back(std::move(path));
        }
        closedir(dir);
    }
    return files;
}

// The breaches of the rule that a row of numbers ends as a VOI, a drop or set aside with its
// numbers named, one line each; empty when it holds.
std::string invariantBreaches(const std::string& bytes, const ImportResult& result) {
    if (!result.notText.empty() || !result.spaceConflict.empty()) return std::string();
    const voikit::PastedText text = voikit::readPastedText(bytes);
    std::map<int, std::vector<const ImportedLine*>> fates;
    for (const ImportedLine& line : result.lines) fates[line.number].push_back(&line);
    std::string breaches;
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        if (!number_rows::isRowOfNumbers(text.lines[i])) continue;
        bool settled = false;
        for (const ImportedLine* line : fates[static_cast<int>(i) + 1]) {
            const bool namesNumbers =
                line->account.rfind("set aside: ", 0) == 0 &&
                line->account.find_first_of("0123456789") != std::string::npos;
            settled = settled || line->kind == ImportedLine::kVoi ||
                      line->kind == ImportedLine::kDropped ||
                      (line->kind == ImportedLine::kIgnored && namesNumbers);
        }
        if (!settled) {
            breaches += "line " + std::to_string(i + 1) + " \"" + text.lines[i] + "\": " +
                        (fates[static_cast<int>(i) + 1].empty()
                             ? std::string("no account")
                             : fates[static_cast<int>(i) + 1][0]->account) +
                        "\n";
        }
    }
    return breaches;
}

TEST(TableReading, EveryRowOfNumbersEndsAsAVoiADropOrSetAside) {
    std::vector<std::string> files = filesIn(TABLES_DIR);
    for (const std::string& extra :
         {std::string(FUZZ_CORPUS_DIR) + "/table_import", std::string(TABLES_DIR) + "/../corpus"}) {
        for (const std::string& file : filesIn(extra)) files.push_back(file);
    }
    ASSERT_GE(files.size(), 20u);
    int rows = 0;
    for (const std::string& file : files) {
        const std::string bytes = readFile(file);
        for (const auto& space : {std::optional<Space>(), std::optional<Space>(Space::kMni)}) {
            const ImportResult result = voikit::importTable(bytes, inSpace(space));
            EXPECT_EQ(invariantBreaches(bytes, result), "") << file;
            rows += result.rowsOfNumbers;
        }
    }
    EXPECT_GT(rows, 100);
    // Lines the test's own definition counts, read as text by the readers, are settled too.
    const char* text =
        "Table 2. Peaks (x y z)\nThe cluster 4 8 12 was seen\n# FWHM 9.3 9.6 9.1\n"
        "Sample: 12 women, 14 men, aged 20-35\nF(1, 23) = 3.41; p = 0.002; d = 0.4\n";
    const ImportResult result = voikit::importTable(text, ImportSettings{});
    EXPECT_EQ(invariantBreaches(text, result), "") << accounts(result);
    EXPECT_EQ(result.lines[2].kind, ImportedLine::kIgnored);
    EXPECT_EQ(result.lines[2].account,
              "set aside: a comment; its numbers (9.3 9.6 9.1) are not read");
}

TEST(TableReading, NoVoiFromRowsOfNumbersSaysHowManyWereNotRead) {
    const ImportResult none = voikit::importTable(
        "Region\tk\tT\nInsula\t120\t5.1\t4\nIFG\t88\t4.2\t7\n", ImportSettings{});
    EXPECT_EQ(none.vois, 0);
    EXPECT_EQ(none.rowsOfNumbers, 2);
    EXPECT_EQ(none.unreadRows(), "2 rows of numbers were not read") << accounts(none);
    // Rows set aside are no rows left unread: a table whose every row was set aside says so
    // rather than "0 rows ... were not read".
    const ImportResult asideOnly = voikit::importTable(
        "Focus point (LPI)=\n   -42 mm [L],   18 mm [A],    6 mm [S] {T-T Atlas}\n",
        ImportSettings{});
    EXPECT_EQ(asideOnly.vois, 0);
    EXPECT_EQ(asideOnly.rowsUnread, 0) << accounts(asideOnly);
    EXPECT_EQ(asideOnly.unreadRows(), "no VOI: 1 row of numbers, every one set aside as no peak");
    // A table that made VOIs says nothing.
    EXPECT_EQ(voikit::importTable("x y z\n1 2 3\n", ImportSettings{}).unreadRows(), "");
    TempFolder folder;
    writeFile(folder.file("t.txt"), "Insula 120 5.1 4 3\nIFG 88 4.2 7 1 9\n");
    const std::string command = std::string(GLOMERA_VOI) + " import " + folder.file("t.txt") +
                                " -o " + folder.file("list.txt") + " 2>" + folder.file("err");
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_NE(readFile(folder.file("err")).find("error: 2 rows of numbers were not read"),
              std::string::npos)
        << readFile(folder.file("err"));
}

TEST(TableReading, ACueWordDecidesNothingTheRowsDo) {
    // "cluster-level FWE" in a caption: the SPM reader proposes, explains no row, and loses.
    const ImportResult caption =
        voikit::importTable(table("caption_fwe.tsv"), inSpace(Space::kTal));
    EXPECT_EQ(caption.layout, "table");
    EXPECT_EQ(vois(caption),
              "Superior_temporal_gyrus_L -58.0 -22.0 6.0\nSuperior_temporal_gyrus_R 60.0 -18.0 "
              "4.0\nInferior_frontal_gyrus_L -46.0 18.0 22.0\n");
    EXPECT_EQ(caption.choice,
              "read as table: 3 of 3 rows of numbers, 0 numbers unexplained, 0 contradictions; "
              "explains more rows of numbers than the reading as SPM results table (0 of 3 rows "
              "of numbers, 15 numbers unexplained, 0 contradictions)");
    ASSERT_EQ(caption.proposals.size(), 2u);
    EXPECT_EQ(caption.proposals[0].rfind("SPM results table: ", 0), 0u);
    // SPM's own table explains its footer too, where the table reading leaves it unread.
    const ImportResult spm =
        voikit::importTable(table("spm_results_window.txt"), inSpace(Space::kMni));
    EXPECT_EQ(spm.layout, "SPM results table");
    EXPECT_NE(spm.choice.find("explains more rows of numbers than the reading as table"),
              std::string::npos)
        << spm.choice;
    // Refusing voxel indices by FSL's header explains each row: a tie that FSL's reading,
    // first in the order, wins over reading the indices as millimetres.
    const ImportResult vox = voikit::importTable(table("fsl_cluster_vox.txt"), ImportSettings{});
    EXPECT_EQ(vox.layout, "FSL cluster table");
    EXPECT_EQ(vox.vois, 0);
    EXPECT_NE(vox.choice.find("comes first on a tie"), std::string::npos) << vox.choice;
    // Short rows of numbers are no SPM rows (five peak-level values and x, y, z).
    const ImportResult shortRows = voikit::importTable(
        "Peak-level inference, FWE p < 0.05\n-48 28 4 5.2\n50 30 2 4.9\n", ImportSettings{});
    EXPECT_EQ(shortRows.layout, "table");
    EXPECT_EQ(vois(shortRows), "VOI_1 -48.0 28.0 4.0\nVOI_2 50.0 30.0 2.0\n");
}

// The text of a line's cells with one role, joined by blanks.
std::string cellsOf(const ImportResult& result, int number, CellRole role) {
    std::string text;
    const std::string& raw = result.rawLines[static_cast<std::size_t>(number - 1)];
    for (const ImportedLine& line : result.lines) {
        if (line.number != number) continue;
        for (const voikit::ImportedCell& cell : line.cells) {
            if (cell.role != role) continue;
            EXPECT_LE(cell.begin, cell.end);
            EXPECT_LE(cell.end, raw.size());
            text += (text.empty() ? "" : " ") + raw.substr(cell.begin, cell.end - cell.begin);
        }
    }
    return text;
}

TEST(TableReading, CellsCarryTheirRolesWhereTheyStandInTheRawLine) {
    // No-break spaces, a minus sign and a thin space: bytes of the line as decoded.
    const ImportResult cells = voikit::importTable(
        "Region\tSide\tk\tx\ty\tz\tT\n"
        "Middle\xc2\xa0"
        "frontal\tL\t1\xe2\x80\xaf"
        "204\t\xe2\x88\x92"
        "42\t22\t34\t6.01\n",
        ImportSettings{});
    ASSERT_EQ(cells.vois, 1) << accounts(cells);
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kX),
              "\xe2\x88\x92"
              "42");
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kY), "22");
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kZ), "34");
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kName), "Middle frontal L");
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kSide), "L");
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kCount),
              "1\xe2\x80\xaf"
              "204");
    EXPECT_EQ(cellsOf(cells, 2, CellRole::kIgnored), "6.01");
    EXPECT_EQ(cells.lines[1].voi, 1);
    EXPECT_STREQ(voikit::fateName(cells.lines[1].kind), "VOI");
    // Several peaks on a line of prose: each entry its own x, y, z.
    const ImportResult prose = voikit::importTable(
        "Peaks in the left IFG (-48, 28, 4) and the right IFG (x = 50, y = 30, z = 2).",
        ImportSettings{});
    ASSERT_EQ(prose.lines.size(), 2u);
    EXPECT_EQ(cellsOf(prose, 1, CellRole::kX), "-48 50");
    EXPECT_EQ(cellsOf(prose, 1, CellRole::kZ), "4 2");
    // Axis names after other words within brackets; a sentence of scattered numbers is set
    // aside, not refused.
    const ImportResult sentences = voikit::importTable(
        "The IFG (BA 44; Talairach coordinates x = -50, y = 10, z = 18) and the insula (peak "
        "at x = 40, y = 26, z = 2) responded.\nOf the 24 participants tested in session 1 and "
        "the 12 tested in session 2, none was excluded.\n",
        ImportSettings{});
    EXPECT_EQ(vois(sentences), "IFG -50.0 10.0 18.0\ninsula 40.0 26.0 2.0\n")
        << accounts(sentences);
    EXPECT_EQ(sentences.peaks[0].written, Space::kTal);
    EXPECT_EQ(sentences.lines.back().account,
              "set aside: a sentence whose numbers stand apart, no three in a row (24 1 12 2)");
    // Columns of a blank-separated row, x after an ignored count.
    const ImportResult words =
        voikit::importTable("Region k x y z\nPrecuneus 988 -8 -66 44\n", ImportSettings{});
    EXPECT_EQ(cellsOf(words, 2, CellRole::kX), "-8");
    EXPECT_EQ(cellsOf(words, 2, CellRole::kName), "Precuneus");
    EXPECT_EQ(cellsOf(words, 2, CellRole::kIgnored), "988");
}

TEST(TableReading, ColumnsAreReadByWhatTheirHeadingsMean) {
    const struct {
        const char* file;
        std::optional<Space> space;
        const char* vois;
    } cases[] = {
        // The headings' order, not x y z by position.
        {"zyx_header.tsv", std::nullopt,
         "Left_amygdala -22.0 -4.0 -18.0\nRight_amygdala 24.0 -2.0 -16.0\nPrecuneus -6.0 -62.0 "
         "44.0\n"},
        // An unsigned x and a side column: left makes x negative.
        {"hemisphere_unsigned.tsv", std::nullopt,
         "Insula_L -34.0 18.0 2.0\nInsula_R 36.0 20.0 0.0\nPrecentral_gyrus_Left -38.0 -22.0 "
         "56.0\nThalamus_Right 10.0 -18.0 8.0\n"},
        // A space column: MNI and ICBM rows converted, TAL and Talairach rows as written, and
        // --space contradicts nothing a row says.
        {"space_column.csv", std::nullopt,
         "left_amygdala -21.2 -3.8 -12.7\nleft_amygdala -20.0 -6.0 -12.0\nright_amygdala 21.4 "
         "-2.0 -13.6\nright_amygdala 22.0 -4.0 -14.0\n"},
        // Peaks, not centres of gravity, in one header row or under a heading row.
        {"peak_and_cog.tsv", std::nullopt,
         "Left_occipital_pole -40.0 -62.0 -12.0\nRight_fusiform_gyrus 42.0 -58.0 -16.0\n"},
        {"peak_and_cog_two_rows.tsv", std::nullopt,
         "Left_hippocampus -24.0 -20.0 -14.0\nRight_hippocampus 26.0 -18.0 -16.0\n"},
        // x/y/z in one cell, after a caption that names them.
        {"slash_coordinates.txt", Space::kTal,
         "Left_IFG -46.0 14.0 12.0\nRight_IFG 48.0 16.0 10.0\nSMA -4.0 8.0 56.0\n"},
        // Numbers of names; the last line cannot be told and is refused.
        {"numbers_in_names.txt", std::nullopt,
         "Area_6 -30.0 -4.0 56.0\nBA_44 -50.0 12.0 18.0\nCrus_1 -34.0 -74.0 -30.0\n"
         "Anterior_cingulate_cortex 4.0 24.0 30.0\n"},
        // "x y z" copied alone under a heading row of more cells: aligned under its heading.
        {"spanning_heading_copy.tsv", std::nullopt,
         "Caudate_L -12.0 10.0 8.0\nPutamen_R 22.0 4.0 -2.0\n"},
        // x, y and z in one cell under "Peak MNI coordinates".
        {"xyz_cell_heading.tsv", std::nullopt,
         "Left_putamen -23.2 3.8 6.0\nRight_putamen 23.1 5.6 5.2\n"},
        // Runs of no-break spaces between tabbed cells, a thin space in a count.
        {"nbsp_tabbed.tsv", std::nullopt,
         "Middle_frontal_gyrus -42.0 22.0 34.0\nPrecuneus -8.0 -66.0 44.0\n"},
    };
    for (const auto& c : cases) {
        const ImportResult result = voikit::importTable(table(c.file), inSpace(c.space));
        EXPECT_EQ(vois(result), c.vois) << c.file << "\n" << accounts(result);
    }
    const ImportResult names = voikit::importTable(table("numbers_in_names.txt"), ImportSettings{});
    EXPECT_EQ(names.lines[4].account,
              "dropped: 4 numbers after \"Cerebellum\": the first may belong to the name or be x, "
              "and the last may be z; refused rather than guessed (a header row x y z says "
              "which)");
    // A signed x that contradicts its side is taken as written, with a warning on its line.
    const ImportResult signs =
        voikit::importTable(table("hemisphere_contradiction.tsv"), ImportSettings{});
    EXPECT_EQ(vois(signs),
              "Caudate_L -12.0 10.0 8.0\nCaudate_R -14.0 12.0 6.0\nCuneus_R 8.0 "
              "-80.0 20.0\n");
    EXPECT_NE(signs.lines[2].account.find(
                  "warning: the side column says R, but x is -14, on the left; x taken as written"),
              std::string::npos)
        << signs.lines[2].account;
    EXPECT_NE(signs.choice.find("1 contradictions"), std::string::npos) << signs.choice;
    // A space no tool knows refuses its row.
    const ImportResult unknown = voikit::importTable(
        "region,space,x,y,z\nIFG,MNI,-48,28,4\nIPS,Native,-30,-60,50\n", ImportSettings{});
    EXPECT_EQ(vois(unknown), "IFG -45.4 24.2 9.4\n");
    EXPECT_NE(unknown.lines[2].account.find("the space column holds \"Native\""), std::string::npos)
        << accounts(unknown);
}

TEST(TableReading, CellsAsTheAuthorLaidThemOut) {
    const struct {
        const char* file;
        const char* vois;
    } cases[] = {
        // & and \\, $-$ and -- minus signs, \multicolumn over x, y, z past a \cmidrule, a
        // superscript footnote mark.
        {"latex_tabular.tex",
         "Fusiform_gyrus_R 36.1 -47.0 -15.8\nFusiform_gyrus_L -36.1 -48.3 -18.9\nAmygdala_R 17.7 "
         "-4.2 -10.2\n"},
        // Pipes and the alignment row; a thousands comma in the k column.
        {"markdown_table.md", "Precuneus_L -7.2 -61.3 36.2\nAngular_gyrus_R 40.9 -64.9 33.1\n"},
        // Spanning heading cells, entities for minus signs, a <sup> mark.
        {"html_rowspan.html", "Insula -32.4 15.3 3.4\nCaudate 10.0 4.8 13.9\n"},
        // A PDF copy with one cell per line.
        {"pdf_cell_per_line.txt", "Precentral_gyrus -36.9 -27.0 51.5\nSMA -5.4 -12.4 55.3\n"},
    };
    for (const auto& c : cases) {
        const ImportResult result = voikit::importTable(table(c.file), inSpace(Space::kMni));
        EXPECT_EQ(vois(result), c.vois) << c.file << "\n" << accounts(result);
    }
    // A sub-peak row with its name cells merged into the row above takes that row's name;
    // a footnote mark on a name is no part of it.
    const ImportResult merged = voikit::importTable(
        "Region\tSide\tx\ty\tz\nPutamen\xe1\xb5\x83\tL\t-24\t6\t2\n\t\t-28\t-2\t6\n\t\t-30\t4\t-4\n"
        "Insula^b\tR\t38\t18\t2\n",
        ImportSettings{});
    EXPECT_EQ(vois(merged),
              "Putamen_L -24.0 6.0 2.0\nPutamen_L_sub1 -28.0 -2.0 6.0\nPutamen_L_sub2 "
              "-30.0 4.0 -4.0\nInsula_R 38.0 18.0 2.0\n");
    // Cells keep their bytes in the raw line: the HTML entity is the x cell.
    const ImportResult html = voikit::importTable(table("html_rowspan.html"), inSpace(Space::kMni));
    EXPECT_EQ(cellsOf(html, 4, CellRole::kX), "&minus;34");
    EXPECT_EQ(cellsOf(html, 4, CellRole::kZ), "&#8722;2");
    // A row joined from lines of one cell each marks the cells of its first line only.
    const ImportResult pdf =
        voikit::importTable(table("pdf_cell_per_line.txt"), inSpace(Space::kMni));
    EXPECT_EQ(cellsOf(pdf, 7, CellRole::kName), "Precentral gyrus");
    EXPECT_EQ(cellsOf(pdf, 8, CellRole::kX), "");
    // An HTML row whose cells stand one a line (pandas' to_html) is read as one row, on the
    // line of its first cell; its name cell is the first line's, the rest are elsewhere.
    const ImportResult pandas = voikit::importTable(
        "<table>\n<tr>\n<th>Region</th>\n<th>X</th>\n<th>Y</th>\n<th>Z</th>\n</tr>\n"
        "<tr>\n<td>Insula</td>\n<td>&minus;34</td>\n<td>20</td>\n<td>-4</td>\n</tr>\n</table>\n",
        inSpace(Space::kMni));
    EXPECT_EQ(vois(pandas), "Insula -32.4 17.4 1.8\n") << accounts(pandas);
    EXPECT_EQ(pandas.lines[8].account.rfind("VOI 1 Insula", 0), 0u) << accounts(pandas);
    EXPECT_EQ(cellsOf(pandas, 9, CellRole::kName), "Insula");
    EXPECT_EQ(cellsOf(pandas, 9, CellRole::kX), "");
    EXPECT_EQ(pandas.lines[9].kind, ImportedLine::kEmpty);
    // A command whose parenthesis or braces are never closed ends the row's text; it must not
    // send the reader back to the start of the line (it once looped for ever).
    const ImportResult unclosed = voikit::importTable(
        "Region & x & y & z \\\\\nCuneus & 4 & -80 & 22 \\cmidrule(lr \\\\\n"
        "Insula & 38 & 18 & 2 \\cite{a \\\\\n",
        inSpace(Space::kMni));
    EXPECT_EQ(vois(unclosed).substr(0, 7), "Cuneus ") << accounts(unclosed);
}

TEST(TableReading, NimareDatasetsByTheirSchema) {
    const ImportResult result =
        voikit::importTable(table("nimare_two_studies.json"), ImportSettings{});
    EXPECT_EQ(result.layout, "NiMARE dataset");
    // One VOI per focus, each in its contrast's own space.
    EXPECT_EQ(vois(result),
              "smith2015_reward_gt_loss_1 8.3 6.2 -0.4\nsmith2015_reward_gt_loss_2 -12.0 8.3 "
              "-2.3\nokafor2020_anticipation_1 4.0 46.0 -2.0\n");
    ASSERT_EQ(result.experiments.size(), 2u);
    EXPECT_EQ(result.experiments[0].subjects, 35);
    EXPECT_EQ(result.experiments[1].subjects, 40);
    EXPECT_EQ(result.peaks[2].experiment, 1);
    EXPECT_EQ(result.peaks[2].written, Space::kTal);
    // Lists that do not pair up are refused; JSON of another schema is no dataset.
    const ImportResult uneven = voikit::importTable(
        R"({"s": {"contrasts": {"c": {"coords": {"space": "MNI", "x": [1, 2], "y": [3], "z": [4, 5]}}}}})",
        ImportSettings{});
    EXPECT_EQ(uneven.layout, "NiMARE dataset");
    EXPECT_EQ(uneven.vois, 0);
    EXPECT_EQ(uneven.lines[0].account,
              "dropped: the contrast's x, y and z lists hold 2, 1 and 2 values: which belong "
              "together cannot be told (s_c)");
    EXPECT_EQ(voikit::importTable(R"({"x": [1, 2, 3]})", ImportSettings{}).layout, "table");
}

TEST(TableReading, PointsFilesAreReadAsTablesAreWithTheirSpace) {
    // A heading gives the space; a Reference line does; neither, and it is said.
    voikit::PointReading read = voikit::readPoints("MNI x y z\n-48 28 4 IFG\n", std::nullopt);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_EQ(read.points[0].space, Space::kMni);
    EXPECT_EQ(read.points[0].name, "IFG");
    EXPECT_EQ(read.spaceNote,
              "the points are MNI, as the file says (line 1: the column heading \"mni\")");
    read = voikit::readPoints("// Reference=Talairach\n-48 28 4\n", std::nullopt);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_EQ(read.points[0].space, Space::kTal);
    read = voikit::readPoints("-48 28 4 IFG\n", std::nullopt);
    EXPECT_EQ(read.points[0].space, Space::kTal);
    EXPECT_NE(read.spaceNote.find("taken as TAL"), std::string::npos);
    read = voikit::readPoints("-48 28 4 IFG\n", Space::kMni);
    EXPECT_EQ(read.points[0].space, Space::kMni);
    // No box: a point beyond the plug-in's stays a point; --space may not contradict the file.
    read = voikit::readPoints("x y z\n0 0 90\n", std::nullopt);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_EQ(read.points[0].point, (voikit::Point{0, 0, 90}));
    EXPECT_NE(voikit::readPoints("MNI x y z\n1 2 3\n", Space::kTal).error.find("--space tal, but"),
              std::string::npos);
    // The command says which space it took.
    TempFolder folder;
    writeFile(folder.file("p.txt"), "Region\tMNI x\tMNI y\tMNI z\nIFG\t-48\t28\t4\n");
    const std::string command = std::string(GLOMERA_VOI) + " where --atlas aal --points " +
                                folder.file("p.txt") + " >" + folder.file("out") + " 2>" +
                                folder.file("err");
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0) << readFile(folder.file("err"));
    EXPECT_NE(readFile(folder.file("out")).find("IFG: MNI -48.0 28.0 4.0 (TAL -45.4 24.2 9.4"),
              std::string::npos)
        << readFile(folder.file("out"));
}

TEST(TableReading, AnFslHeaderWithoutACoordinateColumnIsRefusedWithTheReason) {
    const ImportResult result = voikit::importTable(
        "Cluster Index\tVoxels\tZ-MAX\tZ-MAX X (mm)\tZ-MAX Y (mm)\tCOPE-MEAN\n"
        "2\t655\t4.92\t-20\t-6\t96.4\n1\t402\t4.44\t24\t-4\t88.1\n",
        ImportSettings{});
    EXPECT_EQ(result.vois, 0) << accounts(result);
    ASSERT_GE(result.lines.size(), 2u);
    EXPECT_EQ(result.layout, "FSL cluster table");
    EXPECT_EQ(result.lines[1].account,
              "dropped: FSL's header names x, y, no z column (MAX X, MAX Y, MAX Z or x, y, z): "
              "which cells are the peak cannot be told (cluster2)");
    // The fuzzer's input that made the reader read before the row: accounted for, no crash.
    const std::string crash =
        readFile(std::string(FUZZ_CORPUS_DIR) + "/table_import/fsl-header-without-a-column");
    const ImportResult garbled = voikit::importTable(crash, ImportSettings{});
    EXPECT_EQ(invariantBreaches(crash, garbled), "");
}

}  // namespace

namespace {

TEST(TableReading, ParameterLinesBelowATableAreSetAsideNotPeaks) {
    const struct {
        const char* line;
        const char* parameter;
    } cases[] = {
        {"FWHM = 9.3 9.6 9.1 {mm}", "FWHM"},
        {"Voxel size: 2 2 2 mm", "Voxel size"},
        {"Search volume: 1771 resels; 12 34 56 voxels", "Search volume"},
        {"smoothness (FWHM) = 8 8 8", "smoothness"},
        // Acquisition tables: the parameter in a cell of its own, or before its values.
        {"Voxel size\t3 3 3 mm", "Voxel size"},
        {"Smoothing kernel 8 8 8 mm", "Smoothing kernel"},
        {"Mean framewise displacement x, y, z\t0.14, 0.21, 0.09", "Mean framewise displacement"},
    };
    for (const auto& c : cases) {
        const voikit::ImportResult result = voikit::importTable(
            std::string("Region\tx\ty\tz\tT\nInsula\t36\t22\t-2\t5.1\n") + c.line + "\n",
            inSpace(Space::kMni));
        ASSERT_EQ(result.lines.size(), 3u) << c.line;
        EXPECT_EQ(result.vois, 1) << c.line;
        EXPECT_EQ(result.lines[2].kind, voikit::ImportedLine::kIgnored) << c.line;
        EXPECT_EQ(result.lines[2].account.rfind(std::string("set aside: it states the analysis "
                                                            "parameter ") +
                                                    c.parameter,
                                                0),
                  0u)
            << result.lines[2].account;
    }
    // A peak written in prose with its axes named is still a peak.
    const voikit::ImportResult prose = voikit::importTable(
        "The peak lay at x = 40, y = 26, z = 32 (MNI).\n", inSpace(Space::kMni));
    EXPECT_EQ(prose.vois, 1) << prose.lines[0].account;
}

// A cell its author marked empty keeps its place: a peak the study did not find ("– – –",
// "n/a") gives no sphere, and a mark before the numbers or among them moves none of them.
TEST(TableReading, CellsMarkedEmptyKeepTheirPlaces) {
    const ImportResult result = voikit::importTable(
        "Region Side BA k x y z Z\n"
        "Amygdala R \u2013 612 24 \u22124 \u221218 5.92\n"
        "Amygdala L \u2013 \u2013 \u2013 \u2013 \u2013 3.10\n"
        "Insula L n/a n/a n/a n/a n/a n.s.\n"
        "Inferior occipital gyrus R 19 \u2013 40 \u221278 \u22128 4.88\n"
        "Periaqueductal gray \u2014 \u2013 61 2 \u221230 \u221212 4.12\n"
        "Hippocampus L 28 \u2013 \u2013 \u2013 \u2013 2.2\n",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(result),
              "Amygdala_R 24.0 -4.0 -18.0\nInferior_occipital_gyrus_R 40.0 -78.0 -8.0\n"
              "Periaqueductal_gray 2.0 -30.0 -12.0\n")
        << accounts(result);
    ASSERT_EQ(result.lines.size(), 7u);
    for (const std::size_t row : {2u, 3u, 6u}) {
        EXPECT_EQ(result.lines[row].kind, ImportedLine::kDropped) << accounts(result);
        EXPECT_NE(result.lines[row].account.find("marked empty"), std::string::npos)
            << result.lines[row].account;
    }
}

// Tables whose x, y and z are no millimetres in a space, or no coordinates at all, give no
// sphere: voxel indices, and the parameters of an acquisition.
TEST(TableReading, VoxelIndicesAndAcquisitionTablesGiveNoSphere) {
    for (const char* text : {
             "Component Network x (vox) y (vox) z (vox) Z\nIC 3 Default mode 45 36 45 12.4\n",
             "\t\tVoxel coordinates\t\t\nComponent\tNetwork\tx\ty\tz\tZ\nIC "
             "3\tDMN\t45\t36\t45\t12\n",
         }) {
        const ImportResult result = voikit::importTable(text, inSpace(Space::kMni));
        EXPECT_EQ(result.vois, 0) << accounts(result);
        EXPECT_NE(accounts(result).find("voxel indices"), std::string::npos) << accounts(result);
    }
    // The peak voxel's coordinates are millimetres.
    const ImportResult peakVoxel = voikit::importTable(
        "Region\tPeak voxel coordinates (MNI)\t\t\nx\ty\tz\nInsula\t-36\t12\t-6\n", {});
    EXPECT_EQ(peakVoxel.vois, 1) << accounts(peakVoxel);
}

// Axes headed by their directions, all three in one heading line, are x, y and z; "L-R"
// alone is no axis.
TEST(TableReading, AxesHeadedByTheirDirections) {
    const ImportResult result = voikit::importTable(
        "Structure BA k L\u2013R A\u2013P S\u2013I T\n"
        "Paracentral lobule 6 58 \u22126 \u221224 62 4.36\n",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(result), "Paracentral_lobule -6.0 -24.0 62.0\n") << accounts(result);
}

// Commas and semicolons inside brackets part no cells: a heading split at blanks stays so.
TEST(TableReading, SeparatorsInsideBracketsPartNoCells) {
    const ImportResult result = voikit::importTable(
        "ROI MNI (x, y, z) Source\nLeft amygdala \u221224, \u22124, \u221220 Amunts et al., 2005\n"
        "vmPFC 0, 46, \u221210 Bartra et al., 2013\n",
        {});
    EXPECT_EQ(vois(result), "Left_amygdala -23.0 -3.6 -14.5\nvmPFC -0.8 42.0 -0.8\n")
        << accounts(result);
    // A table separated by commas outside its brackets is still one.
    EXPECT_EQ(vois(voikit::importTable("Region,Peak (MNI),x,y,z\nIFG,a,-48,28,4\n", {})),
              "IFG -45.4 24.2 9.4\n");
}

// Numbers no table writes a coordinate with give no sphere, whatever column they stand in:
// motion parameters in exponents, correlations and proportions, thresholds to many decimals,
// and the numbers of a matrix's columns.
TEST(TableReading, NumbersThatAreNoMillimetresGiveNoSphere) {
    for (const char* text : {
             "-5.4275256e-03 -1.3211787e-02 9.2920513e-03 1.2e-04 2.1e-04 -3.3e-04\n",
             "vmPFC NAcc Amygdala\nvmPFC 1 .54** \u2212.21\nNAcc .54** 1 .12\n",
             " 0.010000   102.4  126.8  159.3  186.0\n 0.005000    66.1   81.7  103.2  121.5\n",
             "global_signal\tcsf\ttrans_x\ttrans_y\ttrans_z\n609.4\t800.9\t0.1\t-0.2\t0.05\n",
         }) {
        const ImportResult result = voikit::importTable(text, inSpace(Space::kMni));
        EXPECT_EQ(result.vois, 0) << text << accounts(result);
    }
    const ImportResult columns = voikit::importTable("1 2 3 4\n1. lIFG \u2014\n", {});
    EXPECT_EQ(columns.lines[0].account,
              "set aside: numbers in even steps, as a table's columns are numbered and a "
              "figure's axis labelled, not x, y and z (1 2 3 4)");
    EXPECT_EQ(voikit::importTable("\u221260 \u221240 \u221220 0 20 40 60\n", {}).vois, 0);
    // Zero keeps its place however a program prints it, and a headed axis joined to a space
    // is still one.
    EXPECT_EQ(vois(voikit::importTable("region,x,y,z\nvmPFC,0.000000,46.000000,-10.000000\n",
                                       inSpace(Space::kTal))),
              "vmPFC 0.0 46.0 -10.0\n");
    EXPECT_EQ(vois(voikit::importTable("name\tmni_x\tmni_y\tmni_z\nIFG\t-48\t28\t4\n", {})),
              "IFG -45.4 24.2 9.4\n");
}

// What stands beside coordinates without being a peak: summaries of the columns, a centre of
// mass, a subject's own space, and rows of a design or transform matrix; and coordinates in
// an order that mirrors x and y are not mirrored by guess.
TEST(TableReading, NeighboursOfCoordinatesThatAreNoPeaks) {
    const struct {
        const char* text;
        const char* vois;
    } cases[] = {
        {"       x      y      z\ncount  24.0   24.0   24.0\nmean  -4.25 -21.41  18.08\n", ""},
        {"Region\tCM x\tCM y\tCM z\tMI x\tMI y\tMI z\nIFG\t-40\t20\t8\t-44\t18\t6\n",
         "IFG -44.0 18.0 6.0\n"},
        {"Region\tSurface RAS (tkr)\t\t\tTAL\t\t\n\tx\ty\tz\tx\ty\tz\nA1\t-31\t8\t2\t-40\t"
         "10\t4\n",
         "A1 -40.0 10.0 4.0\n"},
        {"1 0 0\n1 -1 0\n0 1 1\n", ""},
        {"qto_xyz:1\t-2.000000 0.000000 0.000000 90.000000\n", ""},
        {"ans =\n\n    -2     0     0    92\n     0     2     0  -128\n", ""},
        {"dim:3 -42 18 6\n", "dim_3 -42.0 18.0 6.0\n"},
        {"Peaks, RAI order (x to the left)\nRegion x y z\nIFG 44 -18 6\n", ""},
    };
    for (const auto& c : cases) {
        const ImportResult result = voikit::importTable(c.text, inSpace(Space::kTal));
        EXPECT_EQ(vois(result), c.vois) << c.text << accounts(result);
    }
}

// A row with a number too few is not read from its first numbers when z would then be a
// statistic: a decimal after whole x and y.
TEST(TableReading, AMissingCoordinateSlidesNoStatisticIntoZ) {
    const ImportResult result = voikit::importTable(
        "Region Side x y z Z k\nVentral striatum R 10 12 \u22126 4.72 211\n"
        "Precuneus L \u22126 \u221262 4.05 98\nInsula R 36 22 \u22122 3.9\n",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(result), "Ventral_striatum_R 10.0 12.0 -6.0\nInsula_R 36.0 22.0 -2.0\n")
        << accounts(result);
    EXPECT_NE(result.lines[2].account.find("z would be 4.05"), std::string::npos)
        << result.lines[2].account;
    // A measure before x ("Area (mm²)") is no name, and may hold the decimal that comes first:
    // which cell is empty cannot be told.
    const ImportResult area = voikit::importTable(
        "Region Hemisphere Area (mm\u00b2) x y z Max p\nSuperior frontal L 45.3 -12 38 41 5.21\n",
        inSpace(Space::kMni));
    EXPECT_EQ(area.vois, 0) << accounts(area);
}

// A note below a table, parted by a semicolon, is no heading; the space it states in a
// hyphenated word is the table's.
TEST(TableReading, ANoteBelowATableIsNoHeading) {
    const ImportResult result = voikit::importTable(
        "Region Side x y z T k\nHippocampus L \u221226 \u221220 \u221214 4.77 98\n"
        "Note. Peak coordinates are given in MNI-space; k = cluster size in voxels.\n",
        {});
    const ImportResult asMni = voikit::importTable(
        "Region Side x y z T k\nHippocampus L \u221226 \u221220 \u221214 4.77 98\n",
        inSpace(Space::kMni));
    ASSERT_EQ(asMni.vois, 1);
    EXPECT_EQ(vois(result), vois(asMni)) << accounts(result);
    EXPECT_EQ(result.lines[2].account,
              "no coordinates; says the coordinates are in MNI: the table's space");
}

// Coordinates as authors write them in cells: with their unit, with the axes' names, after a
// label, under a heading that names only the space; a heading's "x, y, z" at blanks; the
// sides and headings of German, Spanish and French tables.
TEST(TableReading, CoordinatesWrittenAsAuthorsWriteThem) {
    const struct {
        const char* text;
        const char* vois;
    } cases[] = {
        {"Region\tx\ty\tz\tt\nIFG\t46 mm\t18 mm\t4 mm\t6.2\n", "IFG 46.0 18.0 4.0\n"},
        {"Region\tPeak (TAL)\tT\nIFG\tx = \u221222, y = \u22124, z = \u221218\t5.1\n",
         "IFG -22.0 -4.0 -18.0\n"},
        {"Clusters (x,y,z)\tsize\nCluster 1/4 +44 -62 +30\t412\n", "VOI_1 44.0 -62.0 30.0\n"},
        {"region,peak_tal,t\nAmygdala,[24 -4 -18],7.2\n", "Amygdala 24.0 -4.0 -18.0\n"},
        {"Side Region BA TAL x, y, z Z k\nL Insula 13 \u221242, 18, 6 4.87 412\n",
         "L_Insula -42.0 18.0 6.0\n"},
        {"Region Seite x y z\nGyrus frontalis medius links 38 24 30\n"
         "Gyrus frontalis medius rechts 42 28 26\n",
         "Gyrus_frontalis_medius_links -38.0 24.0 30.0\n"
         "Gyrus_frontalis_medius_rechts 42.0 28.0 26.0\n"},
    };
    for (const auto& c : cases) {
        const ImportResult result = voikit::importTable(c.text, inSpace(Space::kTal));
        EXPECT_EQ(vois(result), c.vois) << c.text << accounts(result);
    }
    // "MNI-Koordinaten" over x, y and z gives their space.
    const ImportResult german =
        voikit::importTable("Region\tMNI-Koordinaten\t\t\n\tx\ty\tz\nInsula\t-42\t18\t6\n", {});
    ASSERT_EQ(german.peaks.size(), 1u) << accounts(german);
    EXPECT_EQ(german.peaks[0].written, Space::kMni);
}

// A table pretty-printed one cell a line: its heading rows stand apart by their <tr> lines,
// and the spanning heading's space still heads the x, y and z below it.
TEST(TableReading, PrettyPrintedHtmlKeepsItsSpanningHeading) {
    const ImportResult result = voikit::importTable(
        "<table>\n<tr>\n<th rowspan=\"2\">Region</th>\n<th colspan=\"3\">MNI coordinates</th>\n"
        "</tr>\n<tr>\n<th>x</th>\n<th>y</th>\n<th>z</th>\n</tr>\n<tr>\n<td>Insula</td>\n"
        "<td>&#x2212;36</td>\n<td>12</td>\n<td>&#x2212;6</td>\n</tr>\n</table>\n",
        {});
    ASSERT_EQ(result.peaks.size(), 1u) << accounts(result);
    EXPECT_EQ(result.peaks[0].written, Space::kMni) << accounts(result);
}

}  // namespace
