#pragma once

#include "core/link/LinkDialogs.h"
#include "core/link/PortSelection.h"

namespace pelvaro {

inline constexpr int kServiceAccessCode = 58207;

// The service function that writes a logger's serial number, guarded by an
// access code asked once per program run.
class SerialNumberService {
 public:
  // F12 on the main window.
  void Run(PortSelection& ports, LinkContext& link);
  bool AccessGranted() const { return granted_; }

 private:
  bool granted_ = false;
};

// Sends a serial number over an open port after the serial-number wake-up;
// true when the bytes were sent.
bool WriteSerialNumber(LinkContext& link, int serial);

}  // namespace pelvaro
