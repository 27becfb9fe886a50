// Time series ready for analysis: confounds tables, the repetition time, the numbers of the
// cleaning (filters, fits, standardising, matrices, eigenvariates), and the command's refusals.
#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "tests/test_images.h"
#include "voikit/extract/batch.h"
#include "voikit/extract/confounds_table.h"
#include "voikit/extract/repetition_time.h"
#include "voikit/extract/series_cleaning.h"
#include "voikit/io/error.h"
#include "voikit/signal/butterworth.h"
#include "voikit/signal/connectivity.h"
#include "voikit/signal/eigenvariate.h"
#include "voikit/signal/linear_fit.h"
#include "voikit/signal/standardize.h"
#include "voikit/signal/zero_phase_filter.h"

namespace {

using voikit::Error;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The message of the Error `work` throws, or "" when it throws none.
template <typename Work>
std::string errorOf(Work work) {
    try {
        work();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

TEST(ConfoundsTable, PatternsMatchWholeNamesWithStars) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"trans_x", "trans_*", true},
        {"trans_x_derivative1", "trans_*", true},
        {"rot_x", "trans_*", false},
        {"csf", "csf", true},
        {"csf_wm", "csf", false},
        {"a_comp_cor_03", "a_comp_cor_0*", true},
        {"a_comp_cor_13", "a_comp_cor_0*", false},
        {"x_power2", "*_power2", true},
        {"trans_x", "*", true},
        {"motion_outlier07", "motion*07", true},
        {"motion_outlier07", "motion*08", false},
        {"", "*", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(voikit::matchesPattern(c.name, c.pattern), c.matches)
            << c.name << " against " << c.pattern;
    }
    // In the patterns' order, each column once.
    EXPECT_EQ(voikit::matchedColumns({"csf", "trans_x", "rot_x", "trans_y"},
                                     {"trans_*", "csf", "trans_x"}),
              (std::vector<std::string>{"trans_x", "trans_y", "csf"}));
}

TEST(ConfoundsTable, ReadsTheColumnsAskedForAndRefusesWhatItCannotRead) {
    TempFolder folder;
    const std::string good = folder.file("good.tsv");
    writeFile(good,
              "global_signal\ttrans_x\tframewise_displacement\ttrans_x_derivative1\r\n"
              "900\t0.1\tn/a\tn/a\r\n"
              "901\t-0.2\t0.3\t-0.3\r\n"
              "902\t1e-3\t0.25\t0.201\r\n");
    const voikit::ConfoundsTable table =
        voikit::readConfoundsTable(good, {"trans_*"}, {"framewise_displacement"});
    EXPECT_EQ(table.rows, 3u);
    EXPECT_EQ(table.names, (std::vector<std::string>{"trans_x", "trans_x_derivative1",
                                                     "framewise_displacement"}));
    EXPECT_DOUBLE_EQ((*table.column("trans_x"))[2], 0.001);
    EXPECT_TRUE(std::isnan((*table.column("trans_x_derivative1"))[0]));
    EXPECT_EQ(table.column("global_signal"), nullptr);

    const struct {
        const char* text;
        std::vector<std::string> patterns;
        const char* why;
    } bad[] = {
        {"a\tb\n1\t2\n", {"csf", "rot_*", "a"}, "no column matches csf, rot_*"},
        {"a\tb\nn/a\t2\nn/a\t3\n", {"a", "b"}, "column a hold no number (all n/a)"},
        {"a\tb\n1\t2\n1,5\t3\n", {"a"}, "row 3, column a: '1,5' is neither a number nor n/a"},
        {"a\tb\n1\t2\nNaN\t3\n", {"a"}, "'NaN' is neither a number"},
        {"a\tb\n1\t2\n3\n", {"a"}, "row 3 has 1 cells, the header 2"},
        {"", {"a"}, "empty"},
    };
    for (const auto& c : bad) {
        const std::string path = folder.file("bad.tsv");
        writeFile(path, c.text);
        const std::string why = errorOf([&] { voikit::readConfoundsTable(path, c.patterns, {}); });
        EXPECT_TRUE(contains(why, c.why)) << c.text << ": " << why;
        EXPECT_TRUE(contains(why, path)) << why;
    }
}

TEST(RepetitionTime, FromTheOptionTheSidecarOrTheHeaderWithWarningsWhereTheyDiffer) {
    TempFolder folder;
    const std::string image = folder.file("sub-01_bold.nii.gz");
    EXPECT_EQ(voikit::sidecarBeside(image), folder.file("sub-01_bold.json"));
    // The header alone, in milliseconds, and with no unit.
    voikit::RepetitionTime tr = voikit::repetitionTimeOf(image, 2000, NIFTI_UNITS_MSEC, 10, "", {});
    EXPECT_DOUBLE_EQ(*tr.seconds, 2.0);
    EXPECT_EQ(tr.source, "pixdim[4]");
    EXPECT_TRUE(tr.warnings.empty());
    tr = voikit::repetitionTimeOf(image, 0.8, 0, 10, "", {});
    EXPECT_DOUBLE_EQ(*tr.seconds, 0.8);
    ASSERT_EQ(tr.warnings.size(), 1u);
    EXPECT_TRUE(contains(tr.warnings[0], "no time unit")) << tr.warnings[0];
    // A 3D image has no repetition time of its own.
    EXPECT_FALSE(voikit::repetitionTimeOf(image, 1, NIFTI_UNITS_SEC, 1, "", {}).seconds);

    // The sidecar beside the image comes before the header; the option before both.
    writeFile(folder.file("sub-01_bold.json"), "{\"RepetitionTime\": 2.5, \"TaskName\": \"rest\"}");
    tr = voikit::repetitionTimeOf(image, 2, NIFTI_UNITS_SEC, 10, "", {});
    EXPECT_DOUBLE_EQ(*tr.seconds, 2.5);
    EXPECT_EQ(tr.source, folder.file("sub-01_bold.json"));
    ASSERT_EQ(tr.warnings.size(), 1u);
    EXPECT_TRUE(contains(tr.warnings[0], "2.5 s (used), pixdim[4] 2 s")) << tr.warnings[0];
    tr = voikit::repetitionTimeOf(image, 2, NIFTI_UNITS_SEC, 10, "", 3.0);
    EXPECT_EQ(tr.source, "--t-r");
    ASSERT_EQ(tr.warnings.size(), 1u);
    EXPECT_TRUE(contains(tr.warnings[0], "--t-r 3 s (used), " + folder.file("sub-01_bold.json") +
                                             " RepetitionTime 2.5 s, pixdim[4] 2 s"))
        << tr.warnings[0];

    const struct {
        const char* json;
        const char* why;
    } bad[] = {{"{\"RepetitionTime\": ", "is no JSON"},
               {"{\"RepetitionTime\": \"2\"}", "RepetitionTime is \"2\", not a positive number"},
               {"{\"RepetitionTime\": -2}", "not a positive number"}};
    for (const auto& c : bad) {
        writeFile(folder.file("sub-01_bold.json"), c.json);
        const std::string why =
            errorOf([&] { voikit::repetitionTimeOf(image, 2, NIFTI_UNITS_SEC, 10, "", {}); });
        EXPECT_TRUE(contains(why, c.why)) << c.json << ": " << why;
    }
    const std::string why = errorOf([&] {
        voikit::repetitionTimeOf(image, 2, NIFTI_UNITS_SEC, 10, folder.file("gone.json"), {});
    });
    EXPECT_TRUE(contains(why, "its sidecar " + folder.file("gone.json") + " is missing")) << why;
}

TEST(Butterworth, GainsPaddingAndSteadyStarts) {
    const auto gainAt = [](const std::vector<voikit::Biquad>& sections, double fraction) {
        // |H| at a frequency, a fraction of the sampling rate.
        const std::complex<double> z = std::exp(std::complex<double>(0, 2 * kPi * fraction));
        std::complex<double> h = 1;
        for (const auto& s : sections) {
            h *=
                (s.b[0] + s.b[1] / z + s.b[2] / (z * z)) / (s.a[0] + s.a[1] / z + s.a[2] / (z * z));
        }
        return std::abs(h);
    };
    const auto low = voikit::butterworth(5, {}, 0.1, 0.5);
    const auto high = voikit::butterworth(5, 0.01, {}, 0.5);
    const auto band = voikit::butterworth(5, 0.01, 0.1, 0.5);
    EXPECT_EQ(low.size(), 3u);
    EXPECT_EQ(band.size(), 5u);
    // A Butterworth filter has 1/sqrt(2) of the gain at its cut-off, 1 in its pass band.
    EXPECT_NEAR(gainAt(low, 0.1 / 0.5), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(gainAt(low, 0.0), 1.0, 1e-12);
    EXPECT_NEAR(gainAt(high, 0.01 / 0.5), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(gainAt(high, 0.5), 1.0, 1e-12);
    EXPECT_NEAR(gainAt(band, 0.01 / 0.5), std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(gainAt(band, 0.1 / 0.5), std::sqrt(0.5), 1e-9);
    // Three samples per order and section at each end, less one per first-order section.
    EXPECT_EQ(voikit::paddingOf(low), 18u);
    EXPECT_EQ(voikit::paddingOf(high), 18u);
    EXPECT_EQ(voikit::paddingOf(band), 33u);

    // From the steady state, a constant passes a low-pass filter unchanged and a high-pass
    // filter takes it away whole, at the ends too.
    std::vector<double> constant(40, 7.5);
    voikit::filterZeroPhase(low, constant.data(), constant.size());
    for (double value : constant) EXPECT_NEAR(value, 7.5, 1e-9);
    voikit::filterZeroPhase(high, constant.data(), constant.size());
    for (double value : constant) EXPECT_NEAR(value, 0.0, 1e-9);
}

TEST(LinearFit, TrendsAndConfoundsAreTakenAwayOverTheKeptSamples) {
    std::vector<double> line = {3, 5, 7, 9, 11};
    voikit::removeLinearTrend(line.data(), line.size());
    for (double value : line) EXPECT_NEAR(value, 0, 1e-12);

    const std::size_t n = 12;
    std::vector<double> c1(n), c2(n), noise(n), twice(n);
    for (std::size_t t = 0; t < n; ++t) {
        c1[t] = std::sin(0.7 * double(t));
        c2[t] = double(t * t) / 10;
        noise[t] = std::cos(2.3 * double(t) + 1) * 0.1;
        twice[t] = 2 * c1[t] + 1;  // explained by c1 and the intercept
    }
    std::vector<bool> kept(n, true);
    kept[4] = false;
    const voikit::ConfoundSpace space({c1, c2, twice}, kept);
    EXPECT_EQ(space.rank(), 3u);  // the intercept, c1 and c2
    EXPECT_EQ(space.dependent(), 1u);
    std::vector<double> series(n);
    for (std::size_t t = 0; t < n; ++t) series[t] = 10 + 3 * c1[t] - c2[t] + noise[t];
    series[4] = 1000;  // censored: neither fitted nor changed
    space.removeFrom(series.data());
    EXPECT_EQ(series[4], 1000);
    // What is left is orthogonal to every confound and the intercept over the kept samples.
    for (const auto* column : {&c1, &c2}) {
        double along = 0, sum = 0;
        for (std::size_t t = 0; t < n; ++t) {
            if (!kept[t]) continue;
            along += series[t] * (*column)[t];
            sum += series[t];
        }
        EXPECT_NEAR(along, 0, 1e-12);
        EXPECT_NEAR(sum, 0, 1e-12);
    }
}

TEST(Standardize, ZScoresAndPercentSignalChange) {
    std::vector<double> x = {1, 2, kNaN, 3};
    ASSERT_TRUE(voikit::toZScores(x.data(), x.size()));
    EXPECT_DOUBLE_EQ(x[0], -1);
    EXPECT_DOUBLE_EQ(x[1], 0);
    EXPECT_TRUE(std::isnan(x[2]));
    EXPECT_DOUBLE_EQ(x[3], 1);
    std::vector<double> flat = {4, 4, 4};
    EXPECT_FALSE(voikit::toZScores(flat.data(), flat.size()));
    EXPECT_EQ(flat[0], 4);

    std::vector<double> y = {99, 101, 100};
    ASSERT_TRUE(voikit::toPercentChange(y.data(), y.size(), 100));
    EXPECT_DOUBLE_EQ(y[0], -1);
    EXPECT_DOUBLE_EQ(y[1], 1);
    // A cleaned series of mean 0 is taken against the mean it had before.
    std::vector<double> cleaned = {-2, 2, 0};
    ASSERT_TRUE(voikit::toPercentChange(cleaned.data(), cleaned.size(), 400));
    EXPECT_DOUBLE_EQ(cleaned[1], 0.5);
    for (double baseline : {0.0, -5.0, kNaN}) {
        EXPECT_FALSE(voikit::toPercentChange(y.data(), y.size(), baseline)) << baseline;
    }
}

TEST(Connectivity, CorrelationPartialAndFisherZWithVoisWithoutASeries) {
    // Rows of four columns: a, b = 2a + 1, c unlike either, d all n/a.
    const std::vector<double> a = {1, 2, 4, 3, 5, 7};
    const std::vector<double> c = {1, -1, 1, -1, 2, 0};
    std::vector<double> series;
    for (std::size_t t = 0; t < a.size(); ++t) {
        series.insert(series.end(), {a[t], 2 * a[t] + 1, c[t], kNaN});
    }
    const voikit::SquareMatrix r = voikit::correlationMatrix(series, a.size(), 4);
    EXPECT_DOUBLE_EQ(r.at(0, 1), 1.0);
    EXPECT_DOUBLE_EQ(r.at(0, 0), 1.0);
    EXPECT_LT(std::fabs(r.at(0, 2)), 1.0);
    EXPECT_DOUBLE_EQ(r.at(0, 2), r.at(2, 0));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::isnan(r.at(3, i)) && std::isnan(r.at(i, 3))) << i;
    }
    // a and b say the same: no partial correlation, and the message says why.
    const std::string why = errorOf([&] {
        voikit::partialCorrelationMatrix(r, {"Amygdala_L", "Insula_R", "mPFC", "Off"});
    });
    EXPECT_TRUE(contains(why, "cannot be inverted")) << why;
    EXPECT_TRUE(contains(why, "Insula_R")) << why;

    // Three columns: the partial correlation of x and y given c is the correlation of what
    // is left of each once its fit on c is taken away.
    std::vector<double> three;
    std::vector<double> x(c.size()), y(c.size());
    for (std::size_t t = 0; t < c.size(); ++t) {
        x[t] = c[t] + std::sin(double(t));
        y[t] = c[t] + std::cos(3.0 * double(t));
        three.insert(three.end(), {x[t], y[t], c[t]});
    }
    voikit::SquareMatrix p = voikit::partialCorrelationMatrix(
        voikit::correlationMatrix(three, c.size(), 3), {"x", "y", "c"});
    const voikit::ConfoundSpace givenC({c}, std::vector<bool>(c.size(), true));
    givenC.removeFrom(x.data());
    givenC.removeFrom(y.data());
    std::vector<double> parts;
    for (std::size_t t = 0; t < c.size(); ++t) parts.insert(parts.end(), {x[t], y[t]});
    const double wanted = voikit::correlationMatrix(parts, c.size(), 2).at(0, 1);
    EXPECT_NEAR(p.at(0, 1), wanted, 1e-12);
    EXPECT_DOUBLE_EQ(p.at(2, 2), 1.0);
    voikit::toFisherZ(p);
    EXPECT_TRUE(std::isnan(p.at(1, 1)));
    EXPECT_NEAR(p.at(0, 1), std::atanh(wanted), 1e-12);
}

TEST(Eigenvariate, ARankOneRegionGivesItsTimeCourseScaledAndSigned) {
    // Each cell: its own level plus w_j times a time course (in 64ths, so that floats hold
    // every stored value exactly). The eigenvariate is the course, centred, times
    // |w| / sqrt(cells), signed to go with the mean series.
    for (const std::size_t cells : {3u, 40u}) {  // fewer, then more cells than volumes
        const std::size_t volumes = 20;
        std::vector<double> course(volumes), w(cells);
        double mean = 0, norm = 0;
        for (std::size_t t = 0; t < volumes; ++t) {
            course[t] = std::round((std::sin(0.4 * double(t)) + 0.05 * double(t)) * 64) / 64;
            mean += course[t] / double(volumes);
        }
        for (std::size_t j = 0; j < cells; ++j) {
            w[j] = -1.0 - 0.25 * double(j % 5);  // negative: the sign must turn
            norm += w[j] * w[j];
        }
        // Stored values with a slope of 0.5 and an intercept of 100.
        std::vector<float> stored(volumes * cells);
        for (std::size_t t = 0; t < volumes; ++t) {
            for (std::size_t j = 0; j < cells; ++j) {
                stored[t * cells + j] = static_cast<float>(200 + double(j) + 2 * w[j] * course[t]);
            }
        }
        const voikit::VoxelSeries<float> series{stored.data(), volumes, cells, 0.5, 100};
        const std::vector<double> got = voikit::firstEigenvariate(series);
        ASSERT_EQ(got.size(), volumes);
        for (std::size_t t = 0; t < volumes; ++t) {
            // The mean series falls as the course rises (every w is negative).
            const double wanted = -(course[t] - mean) * std::sqrt(norm / double(cells));
            EXPECT_NEAR(got[t], wanted, 1e-9) << cells << " cells, volume " << t;
        }
    }
    EXPECT_TRUE(voikit::firstEigenvariate(voikit::VoxelSeries<double>{}).empty());
}

TEST(SeriesCleaning, AnImageThatCannotBeCleanedSaysWhy) {
    voikit::SeriesTable series;
    series.volumes = 40;
    series.vois = 1;
    for (int t = 0; t < 40; ++t) series.values.push_back(100 + std::sin(t));
    voikit::ConfoundsTable table;
    table.path = "c.tsv";
    table.rows = 39;
    table.names = {"csf"};
    table.columns = {std::vector<double>(39, 1.0)};
    voikit::RepetitionTime none, two;
    two.seconds = 2.0;
    two.source = "--t-r";
    const auto clean = [&](const voikit::CleaningSettings& settings,
                           const voikit::ConfoundsTable* confounds,
                           const voikit::RepetitionTime& tr) {
        return errorOf([&] {
            std::vector<std::string> warnings;
            voikit::CleaningRecord record;
            voikit::cleanSeries(series, "bold.nii", confounds, tr, settings, {"A"}, warnings,
                                record);
        });
    };
    voikit::CleaningSettings regress;
    regress.confoundColumns = {"csf"};
    EXPECT_TRUE(
        contains(clean(regress, &table, two), "c.tsv has 39 rows of volumes, the image 40"));
    voikit::CleaningSettings low;
    low.lowPass = 0.1;
    EXPECT_TRUE(contains(clean(low, nullptr, none), "needs the repetition time"));
    low.lowPass = 0.3;
    EXPECT_TRUE(contains(clean(low, nullptr, two),
                         "--low-pass 0.3 Hz is not below the Nyquist frequency 0.25 Hz"));
    low.lowPass = 0.1;
    low.dropVolumes = 25;  // 15 left, the filter pads each end with 18
    EXPECT_TRUE(contains(clean(low, nullptr, two), "too few for the band filter"));
    low.dropVolumes = 40;
    EXPECT_TRUE(contains(clean(low, nullptr, two), "--drop-volumes 40 leaves nothing"));
    voikit::CleaningSettings censor;
    censor.censorColumn = "csf";
    table.rows = 40;
    table.columns = {std::vector<double>(40, 0.0)};
    table.columns[0][7] = 2;
    EXPECT_TRUE(contains(clean(censor, &table, two), "holds 2 in row 9: it takes 0 (keep) or 1"));
    table.columns[0][7] = 1;
    EXPECT_EQ(clean(censor, &table, two), "");
    voikit::CleaningSettings band;
    band.highPass = 0.1;
    band.lowPass = 0.05;
    EXPECT_TRUE(contains(errorOf([&] { voikit::checkCleaning(band); }), "must lie below"));
}

TEST(ConnectivityFile, NamedBesideTheSeries) {
    EXPECT_EQ(voikit::connectivityFileFor("out/sub-01_bold_voi_timeseries.tsv"),
              "out/sub-01_bold_voi_connectivity.tsv");
    EXPECT_EQ(voikit::connectivityFileFor("d/sub-01_task-rest_desc-dmn_timeseries.tsv"),
              "d/sub-01_task-rest_desc-dmn_connectivity.tsv");
    EXPECT_EQ(voikit::connectivityFileFor("means.tsv"), "means_connectivity.tsv");
    EXPECT_EQ(voikit::connectivityFileFor("means.txt"), "means.txt_connectivity.tsv");
}

// The command on small images: each refusal clear, with its exit status, nothing half written.
class ExtractCleaningCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(folder.file("peaks.tsv"),
                  "region\tx\ty\tz\tradius\nA\t2\t2\t2\t2\nB\t6\t6\t6\t2\n");
        TestImage image;
        image.dims = {9, 9, 9, 60};
        image.sformCode = NIFTI_XFORM_MNI_152;
        image.timeStep = 2;
        image.timeUnit = NIFTI_UNITS_SEC;
        for (int t = 0; t < 60; ++t) {
            for (int c = 0; c < 729; ++c) {
                image.values.push_back(100 + c % 7 + std::sin(0.3 * t + c % 3) + 0.05 * t);
            }
        }
        image.write(folder.file("bold.nii.gz"));
        image.write(folder.file("other.nii.gz"));
        image.dims = {9, 9, 9};
        image.write(folder.file("anat.nii.gz"));
        std::string table = "csf\tframewise_displacement\n";
        for (int t = 0; t < 60; ++t) {
            table += std::to_string(std::cos(t)) + "\t" + (t == 0 ? "n/a" : "0.1") + "\n";
        }
        writeFile(folder.file("confounds.tsv"), table);
        writeFile(folder.file("short.tsv"),
                  table.substr(0, table.rfind('\n', table.size() - 2) + 1));
        writeFile(folder.file("text.tsv"), "csf\n" + std::string("1\n") + "one\n");
    }
    ProgramResult run(const std::string& arguments) {
        return runProgram(folder.path(), GLOMERA_VOI,
                          "extract --peaks peaks.tsv --space mni " + arguments);
    }
    TempFolder folder;
};

TEST_F(ExtractCleaningCommand, UsageErrorsBeforeAnyWork) {
    const struct {
        const char* arguments;
        const char* why;
    } cases[] = {
        {"bold.nii.gz --stats --detrend", "--stats and --json write each volume's statistics"},
        {"bold.nii.gz --json --summary eig1", "--stats and --json"},
        {"bold.nii.gz --connectivity correlation", "give -o PATH.tsv or --out-dir"},
        {"bold.nii.gz --fisher-z -o x.tsv", "requires --connectivity"},
        {"bold.nii.gz --confounds confounds.tsv -o x.tsv", "a table that nothing uses"},
        {"bold.nii.gz --confound-columns csf -o x.tsv", "give --confounds TSV for each image"},
        {"bold.nii.gz other.nii.gz --confounds confounds.tsv --confound-columns csf --out-dir .",
         "1 confounds tables for 2 images"},
        {"bold.nii.gz --t-r 2 --low-pass 0.3 -o x.tsv",
         "--low-pass 0.3 Hz is not below the Nyquist frequency 0.25 Hz"},
        {"bold.nii.gz --high-pass 0.1 --low-pass 0.05 -o x.tsv", "must lie below"},
        {"bold.nii.gz --high-pass 0 -o x.tsv", "a frequency in Hz above 0"},
        {"bold.nii.gz --standardize zcore -o x.tsv", "zcore not in {zscore,psc}"},
        {"bold.nii.gz --summary mode -o x.tsv", "mode not in {mean,median,eig1}"},
        {"bold.nii.gz --mask-threshold 0.5 -o x.tsv", "requires --mask"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = run(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments << ": " << r.err;
        EXPECT_TRUE(contains(r.err, c.why)) << c.arguments << ": " << r.err;
    }
    EXPECT_FALSE(fileExists(folder.file("x.tsv")));
}

TEST_F(ExtractCleaningCommand, BadTablesStopTheRunAndBadImagesFailAlone) {
    // A column no table has, or text among the numbers: refused before any image is read.
    ProgramResult r =
        run("bold.nii.gz --confounds confounds.tsv --confound-columns csf,rot_* -o x.tsv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "no column matches rot_*")) << r.err;
    r = run("bold.nii.gz --confounds text.tsv --confound-columns csf -o x.tsv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "row 3, column csf: 'one' is neither a number nor n/a")) << r.err;
    EXPECT_FALSE(fileExists(folder.file("x.tsv")));

    // A table of another length fails its image alone; the other is written with its matrix.
    r =
        run("bold.nii.gz other.nii.gz --confounds short.tsv --confounds confounds.tsv "
            "--confound-columns csf --fd-threshold 0.5 --connectivity correlation --out-dir .");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "short.tsv has 59 rows of volumes, the image 60")) << r.err;
    EXPECT_TRUE(contains(r.err, "1 of 2 images failed")) << r.err;
    EXPECT_FALSE(fileExists(folder.file("bold_voi_timeseries.tsv")));
    EXPECT_FALSE(fileExists(folder.file("bold_voi_connectivity.tsv")));
    EXPECT_TRUE(fileExists(folder.file("other_voi_timeseries.tsv")));
    EXPECT_TRUE(fileExists(folder.file("other_voi_connectivity.tsv")));
    // The first row's n/a of framewise displacement is no number above the threshold.
    EXPECT_FALSE(contains(readFile(folder.file("other_voi_timeseries.tsv")), "n/a"));

    // A 3D image has no series to clean; a broken sidecar stops the filter it would serve.
    for (const char* asked : {"--detrend", "--summary eig1"}) {
        r = run(std::string("anat.nii.gz -o x.tsv ") + asked);
        EXPECT_EQ(r.status, 1) << asked;
        EXPECT_TRUE(contains(r.err, "a 3D image (one volume) has no time series")) << r.err;
    }
    writeFile(folder.file("bold.json"), "{\"RepetitionTime\": 2,");
    r = run("bold.nii.gz --low-pass 0.1 -o x.tsv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "bold.json: the sidecar is no JSON")) << r.err;
    // The sidecar's repetition time sets the Nyquist frequency the filter must stay below.
    writeFile(folder.file("bold.json"), "{\"RepetitionTime\": 4}");
    r = run("bold.nii.gz --low-pass 0.2 -o x.tsv");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Nyquist frequency 0.125 Hz of a repetition time of 4 s")) << r.err;
    EXPECT_FALSE(fileExists(folder.file("x.tsv")));
    // Without a sidecar the header's 2 s serves, and the series is written whole.
    std::remove(folder.file("bold.json").c_str());
    r = run("bold.nii.gz --low-pass 0.2 --standardize zscore -o x.tsv -q");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string written = readFile(folder.file("x.tsv"));
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 61);  // the header, 60 volumes
}

}  // namespace
