#include "core/operations/SerialNumber.h"

#include "core/link/Protocol.h"
#include "core/link/WakeUp.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

namespace {

// The value of an input box; 0 for empty or cancelled.
double Entered(const std::optional<std::string>& entry) {
  return entry ? ParseLeadingNumber(*entry) : 0.0;
}

}  // namespace

bool WriteSerialNumber(LinkContext& link, int serial) {
  const WakeResult wake =
      WakeLogger(WakeVariant::SerialNumber, link, protocol::Command(protocol::kSerialNumber));
  if (wake.outcome != WakeOutcome::CommandSent) return false;
  const int high = serial / 256;
  const int low = serial - 256 * high;
  link.port.Write(std::string{static_cast<char>(low), static_cast<char>(high)});
  link.clock.Wait(1.0);
  link.port.Close();
  return true;
}

void SerialNumberService::Run(PortSelection& ports, LinkContext& link) {
  try {
    ports.ReadRememberedPort();
    if (!granted_) {
      const double code = Entered(link.prompter.Input("ENTER SECURITY CODE", "SECURITY NUMBER"));
      if (code == 0) return;
      if (code != kServiceAccessCode) {
        link.prompter.Message("Security code is invalid.", "Invalid Security Code");
        return;
      }
    }
    granted_ = true;
    const double serial = Entered(link.prompter.Input("ENTER SERIAL NUMBER", "SERIAL NUMBER"));
    if (serial == 0) return;
    if (serial < 100 || serial > 65535) {
      link.prompter.Message("Invalid logger serial number.");
      return;
    }
    if (!ports.EnsurePortChosen()) return;
    if (!link.port.IsOpen()) {
      const PortOpenResult opened = link.port.Open(ports.PortNumber());
      if (!opened.Ok()) throw IoError(opened.description);
    }
    if (WriteSerialNumber(link, static_cast<int>(serial))) {
      link.prompter.Message("Data logger serial number is updated successfully.");
    }
  } catch (const std::exception& e) {
    if (link.port.IsOpen()) link.port.Close();
    link.prompter.Message(
        std::string(
            "An error occurred while updating the data logger serial number\r\nThe error is ") +
        e.what());
  }
}

}  // namespace pelvaro
