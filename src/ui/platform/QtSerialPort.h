#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <vector>

#include "core/link/PortMap.h"
#include "core/platform/SerialPort.h"

namespace pelvaro {

// The real serial line, on the device the port map names for a port number.
class QtSerialPort : public QObject, public SerialPort {
 public:
  explicit QtSerialPort(QObject* parent = nullptr);
  // Opens this device whatever port number is asked for (a command line's --device).
  void SetDeviceOverride(std::string path) { deviceOverride_ = std::move(path); }
  PortOpenResult Open(int portNumber) override;
  void Close() override;
  bool IsOpen() const override { return port_.isOpen(); }
  int BytesWaiting() override;
  std::string Read(int n) override;
  void Write(std::string_view bytes) override;
  void ClearInput() override;
  void SetReceiveNotify(bool on) override;

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);

  QSerialPort port_;
  // Looks at the line while notification is on: bytes already in Qt's buffer
  // raise no further readyRead.
  QTimer poll_;
  bool notify_ = false;
  bool inHandler_ = false;
  bool missed_ = false;  // bytes arrived while the handler ran
  std::string deviceOverride_;
};

// The serial devices the system lists, for the USB cable lookup.
std::vector<SerialDevice> ListSerialDevices();

}  // namespace pelvaro
