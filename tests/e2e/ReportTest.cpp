// The grower's report: written by pelvaro-cli without a display, and read back
// with poppler's tools as a reader's viewer would read it.
#include <gtest/gtest.h>

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <memory>
#include <utility>
#include <vector>

#include "core/events/EventReport.h"
#include "core/outlook/OutlookReport.h"
#include "e2e/Simulator.h"
#include "support/PdfTools.h"
#include "support/RowNames.h"
#include "support/SampleSites.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

const fs::path kSample = fs::path(PELVARO_BIN_DIR) / ".." / "share" / "pelvaro-sample";

// "2026-11-11" as the pages write it, "11-11-2026"; with a time, "11-11-2026 06:00:00".
std::string PageDate(const QString& iso) {
  const QString date = iso.mid(8, 2) + "-" + iso.mid(5, 2) + "-" + iso.left(4);
  return (iso.size() > 10 ? date + " " + iso.mid(11) : date).toStdString();
}

// Two sites from the sample: one as it is, one due for refill within days
// with a sensor out of range; reported once, by the first test of the suite
// to run, so that a failure to make it fails that test rather than skipping them all.
class TwoSiteReport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (root_) return;
    root_ = std::make_unique<TempRoot>();
    const Files files(root_->Path());
    InstallSample(kSample, files, "ALPHA_01", true);
    InstallSample(kSample, files, "BRAVO_02", true);
    SetRefill(files, "BRAVO_02", 85);
    BreakSensor(files, "BRAVO_02", 3, 1);
    pdf_ = root_->Path() / "report.pdf";
    // The author is the login name; a machine without one names none.
    const QByteArray user = qgetenv("USER");
    qputenv("USER", "Jo Grower");
    RunCliOk(root_->Path(), {"report", Q(pdf_)});
    qputenv("USER", user);
    text_ = PdfText(pdf_);
    // A site's page begins with its identification and its period.
    for (int page = 2; page <= std::stoi("0" + Info(pdf_, "Pages")); ++page) {
      std::string text = PdfText(pdf_, page);
      // The chart's font joins "fi" into one glyph, which pdftotext leaves as
      // U+FB01 (a viewer's search matches it to "fi").
      for (std::size_t at; (at = text.find("\xEF\xAC\x81")) != std::string::npos;)
        text.replace(at, 3, "fi");
      pages_[text.substr(0, text.find(" \xC2\xB7 "))] = text;
    }
    // What `status --json` and `events --json` print: the outlooks read
    // with their events, and each site's events.
    std::vector<SiteOutlook> outlooks;
    for (const char* site : {"ALPHA_01", "BRAVO_02"}) {
      SiteEvents read = ReadSiteEvents(files, site);
      outlooks.push_back(read.outlook);
      events_[site] =
          QJsonDocument::fromJson(QByteArray::fromStdString(EventsJson(read.list))).array();
    }
    status_ = QJsonDocument::fromJson(QByteArray::fromStdString(StatusJson(outlooks))).array();
  }
  static void TearDownTestSuite() { root_.reset(); }

  static inline std::unique_ptr<TempRoot> root_;
  static inline fs::path pdf_;
  static inline std::string text_;
  static inline std::map<std::string, std::string> pages_;  // by site
  static inline QJsonArray status_;
  static inline std::map<std::string, QJsonArray> events_;
};

// The texts a site's page must hold, from the JSON of its status and events.
using Expected = std::vector<std::string> (*)(const QJsonObject& status, const QJsonArray& events);

struct PageText {
  const char* guards;
  Expected expected;
};

// The graph window's line: "Root zone 10–40 cm: use 9.89 %/day over 3 dry days · refill in …".
std::vector<std::string> OutlookSentence(const QJsonObject& s, const QJsonArray&) {
  const QJsonArray depths = s["root_zone_depths_cm"].toArray();
  const std::string unit = s["unit"].toString().toStdString();
  return {"Root zone " + std::to_string(depths.first().toInt()) + "\xE2\x80\x93" +
          std::to_string(depths.last().toInt()) + " cm: use " +
          FixedText(s["daily_use"].toDouble(), 2) + " " + unit + "/day over " +
          std::to_string(s["dry_days"].toInt()) + " dry days \xC2\xB7 refill in " +
          FixedText(s["days_to_refill"].toDouble(), 1) + " days, about " +
          PageDate(s["refill_date"].toString())};
}

std::vector<std::string> RefillDate(const QJsonObject& s, const QJsonArray&) {
  return {PageDate(s["refill_date"].toString())};
}

std::vector<std::string> LastEvent(const QJsonObject& s, const QJsonArray&) {
  const QJsonObject e = s["last_event"].toObject();
  return {"Last wetting event: " + PageDate(e["start"].toString()) + ", " +
          e["kind"].toString().toStdString() + ", effective gain " +
          ShortDecimal(e["effective_gain"].toDouble(), 3) + " " +
          s["unit"].toString().toStdString() + ", reached " +
          std::to_string(e["deepest_cm"].toInt()) + " cm"};
}

std::vector<std::string> Faults(const QJsonObject& s, const QJsonArray&) {
  std::vector<std::string> texts;
  for (const QJsonValue f : s["faults"].toArray()) {
    texts.push_back(std::to_string(f["depth_cm"].toInt()) +
                    " cm: " + std::to_string(f["out_of_range"].toInt()) + " readings out of range");
  }
  if (texts.empty()) texts.push_back("Sensor faults: none");
  return texts;
}

// Each event of the last 14 days up to the last scan as a row of the table.
std::vector<std::string> EventRows(const QJsonObject& s, const QJsonArray& events) {
  std::vector<std::string> rows;
  const QString lastScan = s["last_scan"].toString();
  for (const QJsonValue e : events) {
    const QString start = e["start"].toString();
    if (QDateTime::fromString(start, Qt::ISODate)
            .daysTo(QDateTime::fromString(lastScan, Qt::ISODate)) >= 14) {
      continue;
    }
    rows.push_back(PageDate(start).substr(0, 16) + " " + e["kind"].toString().toStdString() + " " +
                   ShortDecimal(e["effective_gain"].toDouble(), 3) + " " +
                   e["unit"].toString().toStdString() + " " +
                   std::to_string(e["deepest_cm"].toInt()) + " cm");
  }
  return rows;
}

// The graph window's legend under its chart: the root zone's sum and its
// refill line, of this site and not the one the program has selected.
std::vector<std::string> GraphWindowLegend(const QJsonObject& s, const QJsonArray&) {
  return {"Sum Refill " + QString::number(s["refill"].toDouble()).toStdString() +
          s["unit"].toString().toStdString()};
}

class ReportPageTexts : public TwoSiteReport, public ::testing::WithParamInterface<PageText> {};

TEST_P(ReportPageTexts, AreAsTheStatusAndEventsGiveThem) {
  ASSERT_EQ(status_.size(), 2);
  for (const QJsonValue site : status_) {
    const QJsonObject s = site.toObject();
    const std::string id = s["site"].toString().toStdString();
    const std::vector<std::string> texts = GetParam().expected(s, events_[id]);
    EXPECT_FALSE(texts.empty()) << id;
    const std::string& page = pages_[id];
    for (const std::string& text : texts) {
      EXPECT_NE(page.find(text), std::string::npos) << id << ": \"" << text << "\" in " << page;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportPageTexts,
    ::testing::Values(PageText{"the outlook sentence", OutlookSentence},
                      PageText{"the refill date", RefillDate},
                      PageText{"the last event", LastEvent}, PageText{"the sensor faults", Faults},
                      PageText{"each event of the period", EventRows},
                      PageText{"the graph window's legend", GraphWindowLegend}),
    ByGuards());

TEST_F(TwoSiteReport, AFullSitesPageDrawsWhatItHasInsteadOfSayingItHasNone) {
  for (const auto& [id, page] : pages_) {
    for (const char* none : {"No daily use in this period", "No wetting events in this period",
                             "No data:", "One scan only"}) {
      EXPECT_EQ(page.find(none), std::string::npos) << id << ": " << none;
    }
  }
}

// Every word of every page where the reader's viewer finds it, none drawn
// over another: what a layout fault looks like on the page.
TEST_F(TwoSiteReport, NoWordIsDrawnOverAnother) {
  const QString boxes = QString::fromStdString(Poppler("pdftotext", {"-bbox", Q(pdf_), "-"}));
  const QRegularExpression word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  int page = 0;
  for (const QString& text : boxes.split("<page ").mid(1)) {
    ++page;
    std::vector<std::pair<QRectF, QString>> words;
    for (auto it = word.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      words.emplace_back(QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                         m.captured(5));
    }
    EXPECT_GT(words.size(), 20u) << "page " << page;
    for (std::size_t i = 0; i < words.size(); ++i) {
      for (std::size_t j = i + 1; j < words.size(); ++j) {
        const QRectF both = words[i].first.intersected(words[j].first);
        EXPECT_FALSE(both.width() > 0.5 && both.height() > 0.5)
            << "page " << page << ": " << words[i].second.toStdString() << " and "
            << words[j].second.toStdString();
      }
    }
  }
  EXPECT_EQ(page, 3);
}

TEST_F(TwoSiteReport, HasTheListPageAndAPagePerSite) { EXPECT_EQ(Info(pdf_, "Pages"), "3"); }

TEST_F(TwoSiteReport, ListsTheSitesMostUrgentFirst) {
  // BRAVO_02 reaches refill within days: first in the list and first of the pages.
  const auto bravo = text_.find("BRAVO_02");
  EXPECT_LT(bravo, text_.find("ALPHA_01"));
  EXPECT_LT(text_.find("BRAVO_02 \xC2\xB7", bravo + 1), text_.find("ALPHA_01 \xC2\xB7"));
}

TEST_F(TwoSiteReport, IsTitled) {
  EXPECT_EQ(Info(pdf_, "Title"), "Irrigation report: 2 sites");
  EXPECT_EQ(Info(pdf_, "Creator"), std::string("Pelvaro ") + PELVARO_VERSION);
  EXPECT_EQ(Info(pdf_, "Author"), "Jo Grower");
}

TEST_F(TwoSiteReport, NumbersItsPages) {
  for (const char* page : {"Page 1 of 3", "Page 2 of 3", "Page 3 of 3"}) {
    EXPECT_NE(text_.find(page), std::string::npos) << page;
  }
}

TEST_F(TwoSiteReport, EmbedsEveryFont) {
  const QStringList lines =
      QString::fromStdString(Poppler("pdffonts", {Q(pdf_)})).split('\n', Qt::SkipEmptyParts);
  ASSERT_GT(lines.size(), 2) << "no font at all";
  for (const QString& line : lines.mid(2)) {
    // name, type (one or two words), encoding, then emb, sub, uni, object, generation
    const QStringList columns = line.split(' ', Qt::SkipEmptyParts);
    ASSERT_GE(columns.size(), 7) << line.toStdString();
    EXPECT_EQ(columns[columns.size() - 5], "yes") << line.toStdString();
  }
}

struct LineColour {
  const char* guards;
  QColor colour;
};

class ReportColours : public TwoSiteReport, public ::testing::WithParamInterface<LineColour> {};

// Page 2, BRAVO_02's, rendered without smoothing so a line keeps its own colour.
TEST_P(ReportColours, ShowOnTheRenderedPage) {
  const fs::path stem = root_->Path() / "page";
  Poppler("pdftoppm", {"-r", "60", "-f", "2", "-l", "2", "-singlefile", "-aa", "no", "-aaVector",
                       "no", Q(pdf_), Q(stem)});
  const QImage page(Q(stem) + ".ppm");
  ASSERT_FALSE(page.isNull());
  int found = 0;
  for (int y = 0; y < page.height(); ++y) {
    for (int x = 0; x < page.width(); ++x) found += page.pixelColor(x, y) == GetParam().colour;
  }
  EXPECT_GT(found, 20) << GetParam().guards;
}

INSTANTIATE_TEST_SUITE_P(Report, ReportColours,
                         ::testing::Values(LineColour{"the refill line", QColor(160, 80, 0)},
                                           LineColour{"the forecast", QColor(120, 0, 180)}),
                         ByGuards());

struct PaperCase {
  const char* guards;
  const char* locale;  // the paper locale the command runs in (en_US); none: C
  QStringList options;
  const char* size;
};

class ReportPaper : public ::testing::TestWithParam<PaperCase> {};

TEST_P(ReportPaper, IsTheSizeAskedFor) {
  TempRoot root;
  InstallSample(kSample, Files(root.Path()), kSampleSite, true);
  const fs::path pdf = root.Path() / "one.pdf";
  // The locale is built once for these tests alone, where the machine has the sources.
  static const TempRoot locales;
  static const bool built = [] {
    QProcess make;
    make.start("localedef", {"-i", "en_US", "-f", "UTF-8", Q(locales.Path() / "en_US.UTF-8")});
    return make.waitForFinished() && make.exitCode() == 0;
  }();
  if (GetParam().locale != nullptr && !built) GTEST_SKIP() << "no localedef here";
  const QByteArray all = qgetenv("LC_ALL");
  const QByteArray paper = qgetenv("LC_PAPER");
  qunsetenv("LC_ALL");
  qputenv("LC_PAPER", "C");
  if (GetParam().locale != nullptr) {
    qputenv("LOCPATH", Q(locales.Path()).toLocal8Bit());
    qputenv("LC_PAPER", QByteArray(GetParam().locale) + ".UTF-8");
  }
  RunCliOk(root.Path(), QStringList{"report", Q(pdf)} + GetParam().options);
  qunsetenv("LOCPATH");
  qputenv("LC_PAPER", paper);
  if (!all.isEmpty()) qputenv("LC_ALL", all);
  EXPECT_NE(Info(pdf, "Page size").find(GetParam().size), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportPaper,
    ::testing::Values(
        PaperCase{"A4 where the locale names none", nullptr, {}, "595 x 842 pts (A4)"},
        PaperCase{"letter where the locale names it", "en_US", {}, "612 x 792 pts (letter)"},
        PaperCase{
            "A4 when asked for over the locale", "en_US", {"--paper", "a4"}, "595 x 842 pts (A4)"},
        PaperCase{
            "letter when asked for", nullptr, {"--paper", "letter"}, "612 x 792 pts (letter)"}),
    ByGuards());

TEST(ReportCli, RunsWithoutADisplay) {
  TempRoot root;
  InstallSample(kSample, Files(root.Path()), kSampleSite, true);
  const fs::path pdf = root.Path() / "unattended.pdf";
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  cli.setProcessEnvironment(env);
  StartCli(cli, root.Path(), {"report", Q(pdf)});
  ASSERT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  EXPECT_TRUE(fs::exists(pdf));
}

// Sites with little to draw: each page says what there is instead of an empty chart.
struct SparseSite {
  const char* guards;
  int scans;  // 0: no data block at all
  const char* says;
};

class ReportSparseSite : public ::testing::TestWithParam<SparseSite> {};

TEST_P(ReportSparseSite, SaysSoOnItsPage) {
  TempRoot root;
  const Files files(root.Path());
  SiteBuilder site(files, "SPARSE_01");
  const int scans = GetParam().scans;
  site.Header(LoggerSensors(2), scans > 0 ? 1 : 0);
  if (scans > 0) {
    // A steady drydown: the readings rise, the water falls, nothing wets.
    std::vector<std::uint16_t> words;
    for (int k = 0; k < scans; ++k) {
      for (int s = 0; s < 2; ++s) words.push_back(static_cast<std::uint16_t>(8000 + k));
    }
    site.Block(1, {10014, 0, 900, 2, words});
    RunCliOk(root.Path(), {"convert", "SPARSE_01"});
  }
  const fs::path pdf = root.Path() / "sparse.pdf";
  RunCliOk(root.Path(), {"report", Q(pdf), "SPARSE_01"});
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find(GetParam().says), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportSparseSite,
    ::testing::Values(SparseSite{"a site without data", 0, "No data: the site has no scans yet."},
                      SparseSite{"a site of one scan", 1, "One scan only in this period, at "},
                      SparseSite{"a site without events", 300,
                                 "No wetting events in this period."}),
    ByGuards());

}  // namespace
}  // namespace pelvaro::testing
