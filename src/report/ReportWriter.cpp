#include "report/ReportWriter.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cstdio>
#include <regex>
#include <string_view>

#include "core/outlook/OutlookReport.h"
#include "core/platform/FileOps.h"
#include "core/platform/Program.h"
#include "report/ReportPages.h"
#include "ui/platform/QtText.h"

#if defined(__GLIBC__)
#include <langinfo.h>
#include <locale.h>
#elif defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#endif

namespace pelvaro {

namespace {

constexpr std::size_t kWriteChunk = 1 << 20;
const QMarginsF kMarginsMm(14, 12, 14, 10);
constexpr unsigned kLetterWidthMm = 216;
constexpr double kNoSpacing = 0.05;  // device units: nothing to see, but not zero once rounded

// The PDF's bytes on their way to a file of the program's own file layer,
// in chunks of a megabyte. A write that fails is kept, and said at the end.
class ReportFile : public QIODevice {
 public:
  explicit ReportFile(const fs::path& path) : file_(path, FileHandle::Open::Create) {
    open(QIODevice::WriteOnly);
  }
  bool isSequential() const override { return true; }
  // The first and the last bytes written, where a PDF keeps its document
  // information and its trailer, and how many were written in all.
  const std::string& Head() const { return head_; }
  std::string_view Tail() const {
    return std::string_view(tail_).substr(tail_.size() - std::min(tail_.size(), kEnds));
  }
  std::uint64_t Length() const { return written_ + pending_.size(); }
  void Append(const std::string& bytes) {
    writeData(bytes.data(), static_cast<qint64>(bytes.size()));
  }

  // Everything on the disk and the file closed; the first failure otherwise.
  std::optional<std::string> Finish() {
    if (!error_) Write();
    try {
      if (!error_) file_.Sync();
      file_.Close();
    } catch (const IoError& e) {
      if (!error_) error_ = e.what();
    }
    return error_;
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 length) override {
    if (error_) return -1;
    const std::string_view bytes(data, static_cast<std::size_t>(length));
    if (head_.size() < kEnds) head_.append(bytes.substr(0, kEnds - head_.size()));
    tail_.append(bytes.substr(bytes.size() - std::min(bytes.size(), kEnds)));
    if (tail_.size() > 2 * kEnds) tail_.erase(0, tail_.size() - kEnds);
    pending_.append(data, static_cast<std::size_t>(length));
    if (pending_.size() >= kWriteChunk) Write();
    return error_ ? -1 : length;
  }

 private:
  void Write() {
    try {
      file_.WriteAt(written_, pending_);
      written_ += pending_.size();
      pending_.clear();
    } catch (const IoError& e) {
      error_ = e.what();
    }
  }

  static constexpr std::size_t kEnds = 4096;
  FileHandle file_;
  std::string head_;
  std::string tail_;
  std::string pending_;
  std::uint64_t written_ = 0;
  std::optional<std::string> error_;
};

// Qt's PDF writer names no author: an incremental update, appended after
// its end, gives the document information an author and leaves every byte
// before it as it was. Nothing when the file is not laid out as expected.
std::optional<std::string> AuthorUpdate(const std::string& head, std::string_view tail,
                                        std::uint64_t length, const QString& author) {
  const std::string end(tail.substr(std::min(tail.size(), tail.rfind("trailer"))));
  std::smatch size, info, root, prev;
  static const std::regex kSize(R"(/Size (\d+))"), kInfo(R"(/Info (\d+) 0 R)"),
      kRoot(R"(/Root (\d+) 0 R)"), kPrev(R"(startxref\s+(\d+))");
  if (!std::regex_search(end, size, kSize) || !std::regex_search(end, info, kInfo) ||
      !std::regex_search(end, root, kRoot) || !std::regex_search(end, prev, kPrev)) {
    return std::nullopt;
  }
  const std::string object = info[1].str() + " 0 obj";
  const std::size_t at = head.find("\n" + object);
  const std::size_t open = head.find("<<", at);
  const std::size_t close = head.find(">>\nendobj", open);
  if (at == std::string::npos || open == std::string::npos || close == std::string::npos) {
    return std::nullopt;
  }
  std::string name = "<FEFF";  // UTF-16BE, as Qt writes the title
  for (const QChar c : author)
    name += QString("%1").arg(c.unicode(), 4, 16, QChar('0')).toUpper().toStdString();
  name += ">";
  const std::string body =
      "\n" + object + "\n" + head.substr(open, close - open) + "/Author " + name + "\n>>\nendobj\n";
  const std::uint64_t xref = length + body.size();
  char entry[24];
  std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                static_cast<unsigned long long>(length + 1));
  return body + "xref\n" + info[1].str() + " 1\n" + entry + "trailer\n<<\n/Size " + size[1].str() +
         "\n/Info " + info[1].str() + " 0 R\n/Root " + root[1].str() + " 0 R\n/Prev " +
         prev[1].str() + "\n>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// The sibling a report is written to, gone unless it was renamed over the target.
class Sibling {
 public:
  explicit Sibling(const fs::path& target) : path_(fileops::UniqueSibling(target)) {}
  ~Sibling() {
    if (!renamed_) fileops::Remove(path_);
  }
  Sibling(const Sibling&) = delete;
  Sibling& operator=(const Sibling&) = delete;
  const fs::path& Path() const { return path_; }
  void RenameTo(const fs::path& target) {
    fileops::Rename(path_, target);
    renamed_ = true;
  }

 private:
  fs::path path_;
  bool renamed_ = false;
};

PageStyle StyleFor(QPdfWriter& writer) {
  PageStyle style;
  style.device = &writer;
  style.unitsPerMm = writer.resolution() / 25.4;
  QFont font;
  font.setFamilies({"DejaVu Sans", "Arial", "Helvetica"});
  font.setStyleHint(QFont::SansSerif);
  // Any letter spacing turns the ligatures off: "fi" stays two letters, so
  // the text copied or searched out of the PDF is the text written.
  font.setLetterSpacing(QFont::AbsoluteSpacing, kNoSpacing);
  style.body = font;
  style.body.setPointSizeF(9);
  style.small = font;
  style.small.setPointSizeF(7.5);
  style.bold = style.small;
  style.bold.setBold(true);
  style.heading = font;
  style.heading.setPointSizeF(12);
  style.heading.setBold(true);
  return style;
}

QString Escaped(const QString& text) { return text.toHtmlEscaped(); }

// The title and author where every reader finds them: Qt writes the title
// and creator into the document's information, the author only goes here.
QByteArray Metadata(const QString& title, const QString& author, const QString& creator) {
  return QString(
             "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
             "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
             "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
             "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
             "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">"
             "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>"
             "<dc:creator><rdf:Seq><rdf:li>%2</rdf:li></rdf:Seq></dc:creator>"
             "<xmp:CreatorTool>%3</xmp:CreatorTool>"
             "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>")
      .arg(Escaped(title), Escaped(author), Escaped(creator))
      .toUtf8();
}

QString Author(const ReportRequest& request) {
  if (!request.author.isEmpty()) return request.author;
  const QString user = qEnvironmentVariable("USER");
  return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

QString Title(const std::vector<SitePage>& pages) {
  if (pages.size() == 1) {
    return QObject::tr("Irrigation report: %1").arg(ToQt(pages.front().outlook.site));
  }
  return QObject::tr("Irrigation report: %1 sites").arg(pages.size());
}

// Every site's page, read one after the other; nothing when cancelled.
std::optional<std::vector<SitePage>> ReadPages(const Files& files, const ReportRequest& request,
                                               const ReportProgress& progress, int total) {
  std::vector<SitePage> pages;
  bool stopped = false;
  for (const std::string& site : request.sites) {
    const int done = static_cast<int>(pages.size());
    const ReadProgress reading = [&](int) {
      stopped = stopped || (progress && !progress(done, total));
      return stopped ? ReadOn::Stop : ReadOn::Continue;
    };
    pages.push_back(ReadSitePage(files, site, request.period, reading));
    if (stopped || (progress && !progress(done + 1, total))) return std::nullopt;
  }
  if (pages.size() > 1) {
    std::stable_sort(pages.begin(), pages.end(), [](const SitePage& a, const SitePage& b) {
      return MoreUrgent(a.outlook, b.outlook);
    });
  }
  return pages;
}

// Draws every page; false when cancelled.
bool DrawPages(const Files& files, QPdfWriter& writer, const std::vector<SitePage>& pages,
               const QDate& made, const ReportProgress& progress, int total, int& count) {
  QPainter painter(&writer);
  const PageStyle style = StyleFor(writer);
  const QRectF content(QPointF(0, 0),
                       writer.pageLayout().paintRectPixels(writer.resolution()).size());
  std::vector<SiteOutlook> outlooks;
  for (const SitePage& page : pages) outlooks.push_back(page.outlook);
  std::vector<std::size_t> starts;
  if (pages.size() > 1) starts = ListPageStarts(style, content, outlooks);
  ReportHead head{made.toString("dd-MM-yyyy"), QString("Pelvaro %1").arg(kVersion),
                  static_cast<int>(starts.size() + pages.size())};
  count = 0;
  const auto next = [&] {
    if (count++ > 0) writer.newPage();
    return count;
  };
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : outlooks.size();
    DrawListPage(painter, style, content, outlooks, starts[i], end, head, next());
  }
  for (std::size_t i = 0; i < pages.size(); ++i) {
    DrawSitePage(painter, style, content, pages[i], head, next(), files);
    if (progress && !progress(static_cast<int>(pages.size() + i + 1), total)) return false;
  }
  return painter.end();
}

ReportResult Write(const Files& files, const ReportRequest& request, const fs::path& target,
                   const ReportProgress& progress) {
  ReportResult result;
  const int total = 2 * static_cast<int>(request.sites.size());
  const auto pages = ReadPages(files, request, progress, total);
  if (!pages) return {ReportResult::Outcome::Cancelled, {}, 0, {}};
  for (const SitePage& page : *pages) {
    if (!page.outlook.error.empty())
      result.unread.emplace_back(page.outlook.site, page.outlook.error);
  }
  Sibling sibling(target);
  ReportFile file(sibling.Path());
  {
    QPdfWriter writer(&file);
    const QString program = QString("Pelvaro %1").arg(kVersion);
    writer.setTitle(Title(*pages));
    writer.setCreator(program);
    writer.setDocumentXmpMetadata(Metadata(Title(*pages), Author(request), program));
    writer.setPageLayout(
        QPageLayout(QPageSize(request.paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4),
                    QPageLayout::Portrait, kMarginsMm, QPageLayout::Millimeter));
    if (!DrawPages(files, writer, *pages, request.made, progress, total, result.pages)) {
      return {ReportResult::Outcome::Cancelled, {}, 0, {}};
    }
  }
  // Without it the author stays in the XMP metadata alone.
  const QString author = Author(request);
  if (const auto update = author.isEmpty()
                              ? std::nullopt
                              : AuthorUpdate(file.Head(), file.Tail(), file.Length(), author)) {
    file.Append(*update);
  }
  if (const auto error = file.Finish()) return {ReportResult::Outcome::Failed, *error, 0, {}};
  sibling.RenameTo(target);
  try {
    fileops::SyncFolder(target.has_parent_path() ? target.parent_path() : fs::path("."));
  } catch (const IoError&) {
    // The report is in place; only its name may not yet be on the disk.
  }
  return result;
}

}  // namespace

std::optional<Paper> ParsePaper(const std::string& text) {
  const QString name = QString::fromStdString(text).toLower();
  if (name == "a4") return Paper::A4;
  if (name == "letter") return Paper::Letter;
  return std::nullopt;
}

Paper LocalePaper() {
#if defined(__GLIBC__)
  // The width of the locale's paper in millimetres, as glibc keeps it.
  if (const locale_t locale = newlocale(LC_PAPER_MASK, "", locale_t{}); locale != locale_t{}) {
    union {
      const char* text;
      unsigned int number;
    } width{nl_langinfo_l(_NL_PAPER_WIDTH, locale)};
    freelocale(locale);
    if (width.number == kLetterWidthMm) return Paper::Letter;
  }
#elif defined(_WIN32)
  DWORD size = 0;
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IPAPERSIZE | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<LPWSTR>(&size), sizeof size / sizeof(wchar_t)) > 0 &&
      size == 1) {
    return Paper::Letter;  // 1 is letter, 9 A4
  }
#endif
  return Paper::A4;
}

ReportResult WriteReport(const Files& files, const ReportRequest& request, const fs::path& target,
                         const ReportProgress& progress) {
  try {
    return Write(files, request, target, progress);
  } catch (const std::exception& e) {
    return {ReportResult::Outcome::Failed, e.what(), 0, {}};
  }
}

QString ReportFileName(const QString& chosen) {
  return chosen.endsWith(".pdf", Qt::CaseInsensitive) ? chosen : chosen + ".pdf";
}

}  // namespace pelvaro
