// The review page of an import: what it marks, what it says of each line, and that nothing
// from a table reaches the page unescaped; then `glomera-voi import --review` as a user runs it.
#include "voikit/page/review_page.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"
#include "voikit/page/import_review.h"

namespace {

using voikit::ReviewCell;
using voikit::ReviewContents;
using voikit::ReviewLine;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

ReviewLine line(int number, const std::string& text, std::vector<ReviewCell> cells = {}) {
    ReviewLine l;
    l.number = number;
    l.text = text;
    l.cells = std::move(cells);
    return l;
}

TEST(ReviewPage, CellsAreMarkedByTheirRoleAndBadSpansLeftUnmarked) {
    ReviewContents review;
    review.table = "t.txt";
    // "IFG<TAB>−48<TAB>28<TAB>4": the minus sign takes three bytes.
    const std::string text =
        "IFG\t\xE2\x88\x92"
        "48\t28\t4";
    review.lines.push_back(
        line(1, text, {{0, 3, "name"}, {4, 9, "x"}, {10, 12, "y"}, {13, 14, "z"}}));
    // Overlapping the name, past the end, and inside the minus sign: none is marked.
    review.lines.push_back(
        line(2, text, {{0, 3, "name"}, {1, 5, "x"}, {13, 40, "z"}, {5, 9, "y"}}));
    review.lines[0].fates.push_back({"VOI", 1, "VOI 1 IFG at TAL -48.0 28.0 4.0"});
    const std::string html = voikit::reviewSection(review);
    EXPECT_NE(html.find("<mark class=\"cell name\" title=\"name\">IFG</mark>"), std::string::npos);
    EXPECT_NE(html.find("<mark class=\"cell x\" title=\"x\">\xE2\x88\x92"
                        "48</mark>"),
              std::string::npos);
    EXPECT_NE(html.find("<mark class=\"cell z\" title=\"z\">4</mark>"), std::string::npos);
    const std::size_t second = html.find("id=\"line-2\"");
    ASSERT_NE(second, std::string::npos);
    const std::string row = html.substr(second, html.find("</tr>", second) - second);
    EXPECT_EQ(count(row, "<mark"), 1u) << row;
    // The whole line is there, minus sign and all, the tabs shaded.
    EXPECT_NE(row.find("\xE2\x88\x92"
                       "48"),
              std::string::npos);
    EXPECT_EQ(count(row, "class=\"tab\""), 3u);
    // The margin names the VOI once.
    EXPECT_NE(html.find("<b>VOI 1</b> IFG at TAL -48.0 28.0 4.0"), std::string::npos);
}

TEST(ReviewPage, EveryTextFromTheTableIsEscaped) {
    const std::string hostile = "<script>alert(1)</script><img src=x onerror=alert(2)>\"'&";
    ReviewContents review;
    review.table = hostile;
    review.summary = hostile;
    review.encoding = hostile;
    review.reading = hostile;
    review.choice = hostile;
    review.proposals = {hostile};
    review.space = hostile;
    review.notes = {hostile};
    review.warnings = {hostile};
    review.lines.push_back(line(1, hostile + "\t-48 28 4", {{0, 8, hostile}, {52, 55, "x"}}));
    review.lines[0].fates.push_back({hostile, 0, hostile});
    voikit::ReviewVoi voi;
    voi.number = 1;
    voi.name = hostile;
    voi.written = hostile;
    voi.colour[0] = 999;  // clamped, never written as given
    review.vois.push_back(voi);
    // Bytes that are no UTF-8 are shown as Windows-1252 text, not passed through.
    review.lines.push_back(line(2, "\x93<b>\xff", {}));
    for (const std::string& html : {voikit::reviewSection(review), voikit::reviewPage(review)}) {
        EXPECT_EQ(html.find("<script"), std::string::npos);
        EXPECT_EQ(html.find("<img"), std::string::npos);
        EXPECT_EQ(html.find("<b>\xff"), std::string::npos);
        EXPECT_EQ(html.find("999"), std::string::npos);
        EXPECT_GE(count(html, "&lt;script&gt;alert(1)&lt;/script&gt;"), 11u);
        EXPECT_NE(html.find("&lt;b&gt;\xC3\xBF"), std::string::npos);
    }
}

// The bundled example as a user imports it: the cerebellar peak outside the box is dropped,
// and the review says so on its line.
TEST(ReviewPage, TheBundledExampleShowsItsDroppedPeakWithTheReason) {
    const std::string bytes = readFile(std::string(EXAMPLES_DIR) + "/mni_table.txt");
    voikit::ImportSettings settings;
    settings.space = voikit::Space::kMni;
    const voikit::ImportResult result = voikit::importTable(bytes, settings);
    const ReviewContents review = voikit::reviewOfImport(result, bytes, "mni_table.txt", settings);
    ASSERT_EQ(review.lines.size(), 15u);
    const ReviewLine& dropped = review.lines[11];  // Cerebellum (Crus II)
    ASSERT_EQ(dropped.fates.size(), 1u);
    EXPECT_EQ(dropped.fates[0].kind, "dropped");
    EXPECT_NE(dropped.fates[0].account.find("outside the accepted box"), std::string::npos)
        << dropped.fates[0].account;
    EXPECT_EQ(review.lines[3].fates[0].kind, "VOI");
    EXPECT_EQ(review.lines[3].fates[0].voi, 1);
    EXPECT_EQ(review.lines[12].fates[0].voi, 9);  // the VOI after the dropped peak
    EXPECT_EQ(review.lines[2].fates[0].kind, "header");
    // The cells taken on the first peak's line, in the bytes of the line as pasted (with its
    // minus signs U+2212).
    std::string taken;
    for (const ReviewCell& cell : review.lines[3].cells) {
        if (cell.role == "x" || cell.role == "y" || cell.role == "z") {
            taken += cell.role + "=" +
                     review.lines[3].text.substr(cell.begin, cell.end - cell.begin) + " ";
        }
    }
    EXPECT_EQ(taken,
              "x=\xE2\x88\x92"
              "22 y=\xE2\x88\x92"
              "6 z=\xE2\x88\x92"
              "18 ");
    ASSERT_EQ(review.vois.size(), 9u);
    EXPECT_EQ(review.vois[0].written, "MNI -22 -6 -18");
    EXPECT_EQ(review.space, "--space mni; 9 peaks taken as MNI, turned into TAL by spm");
    const std::string html = voikit::reviewSection(review);
    EXPECT_NE(html.find("<tr class=\"dropped\" id=\"line-12\">"), std::string::npos);
    // Listed apart too, with its reason and a link to its line.
    EXPECT_NE(html.find("<ul id=\"dropped\"><li><a href=\"#line-12\">line 12</a>: dropped: "
                        "outside the accepted box"),
              std::string::npos);
}

class ReviewCommand : public ::testing::Test {
  protected:
    TempFolder folder;
    ProgramResult import(const std::string& table, const std::string& options) {
        writeFile(folder.file("table.txt"), table);
        return runProgram(folder.path(), GLOMERA_VOI, "import table.txt " + options);
    }
};

TEST_F(ReviewCommand, APageWithTheSpheresOrTheReviewAlone) {
    ProgramResult r = import("Region\tx\ty\tz\n<b>IFG</b>\t-48\t28\t4\nIPS\t-30\t-60\t50\n",
                             "--space mni --review page.html -o list.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string page = readFile(folder.file("page.html"));
    EXPECT_NE(page.find("<title>What was read from table.txt</title>"), std::string::npos);
    EXPECT_NE(page.find("id=\"glomera-data\""), std::string::npos);  // the viewer's data
    EXPECT_NE(page.find("id=\"review\""), std::string::npos);
    EXPECT_EQ(page.find("<b>IFG"), std::string::npos);
    EXPECT_NE(r.err.find("wrote page.html"), std::string::npos) << r.err;
    // The scratch .voi is gone; the list is as without --review.
    EXPECT_EQ(folder.listing(), "list.txt page.html table.txt");

    // No sphere: the review alone, and the exit status of a table that made no VOI.
    r = import("Region\tx\ty\tz\nIFG\t-48\t\t4\n", "--review none.html -o none.txt");
    EXPECT_EQ(r.status, 3) << r.err;
    page = readFile(folder.file("none.html"));
    EXPECT_NE(page.find("id=\"review\""), std::string::npos);
    EXPECT_NE(page.find("id=\"no-spheres\""), std::string::npos);
    EXPECT_EQ(page.find("glomera-data"), std::string::npos);
    EXPECT_NE(page.find("<b>dropped</b>"), std::string::npos);
}

// The host: one page per --list, in the order given, each drawing its own table's spheres.
TEST_F(ReviewCommand, TheHostWritesOnePagePerList) {
    writeFile(folder.file("none.txt"), "Region\tx\ty\tz\nIFG\t-48\t\t4\n");
    writeFile(folder.file("two.txt"), "Region\tx\ty\tz\nIFG\t-48\t28\t4\nIPS\t-30\t-60\t50\n");
    ProgramResult r = runProgram(folder.path(), HEADLESS_HOST,
                                 "--quiet --list none.txt --list two.txt --space mni --review "
                                 "a.html --review b.html -o s.voi");
    EXPECT_EQ(r.status, 3) << r.err;  // the first table made no VOI
    const std::string none = readFile(folder.file("a.html"));
    EXPECT_NE(none.find("<title>What was read from none.txt</title>"), std::string::npos);
    EXPECT_NE(none.find("id=\"no-spheres\""), std::string::npos);
    const std::string two = readFile(folder.file("b.html"));
    EXPECT_NE(two.find("<title>What was read from two.txt</title>"), std::string::npos);
    EXPECT_NE(two.find("id=\"glomera-data\""), std::string::npos);
    EXPECT_EQ(count(two, "<tr class=\"voi\""), 2u);

    r = runProgram(folder.path(), HEADLESS_HOST,
                   "--quiet --list two.txt --review a.html --review c.html -o s.voi");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--review shows what was read of a --list: 2 pages asked for 1 list"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fileExists(folder.file("c.html")));
}

}  // namespace
