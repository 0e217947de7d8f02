#include "core/storage/SummaryFile.h"

#include "core/storage/NumberText.h"

namespace pelvaro {

SummaryFileWriter::SummaryFileWriter(const fs::path& path)
    : file_(CalibratedFile::CreateEmpty(path, kSummaryRecordSize)) {}

void SummaryFileWriter::WriteHead(const SummaryRun& run, const CalibratedStart& start) {
  using namespace summaryfile;
  file_.WriteRecord(kDate, run.dateText);
  file_.WriteRecord(kTime, run.timeText);
  file_.WriteRecord(kSerialNumber, Spaced(run.serialNumber));
  file_.WriteRecord(kSiteNumber, Spaced(run.siteNumber));
  file_.WriteRecord(kSensorCount, Spaced(run.sensorCount));
  file_.WriteRecord(kInterval, Spaced(run.interval));
  std::uint64_t record = kStart;
  for (const std::string& text : StartRecords(start)) file_.WriteRecord(record++, text);
  for (; record <= kHeaderRecords; ++record) file_.WriteRecord(record, "");
}

void SummaryFileWriter::WriteGroupTime(double dateTime) { Next(Spaced(dateTime)); }

void SummaryFileWriter::WriteSensor(int slotNumber, double value, float fieldCapacity, float refill,
                                    double rate) {
  Next(Plain(10 * slotNumber));
  Next(Plain(value));
  Next(PlainSingle(fieldCapacity));
  Next(PlainSingle(refill));
  Next(Plain(value - refill));
  Next(Plain(fieldCapacity - value));
  Next(Plain(rate));
}

void SummaryFileWriter::WriteTotals(double groupCount) {
  file_.WriteRecord(summaryfile::kGroupCount, Plain(groupCount));
  file_.WriteRecord(summaryfile::kLastRecord, Plain(static_cast<double>(next_ - 1)));
}

}  // namespace pelvaro
