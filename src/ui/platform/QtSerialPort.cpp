#include "ui/platform/QtSerialPort.h"

#include <QSerialPortInfo>

namespace pelvaro {

namespace {
constexpr qint64 kReceiveBuffer = 32000;
constexpr int kPollMs = 100;  // well inside the logger's one scan a second
}  // namespace

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::OnError);
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] {
    if (BytesWaiting() > 0) OnReadyRead();
  });
}

void QtSerialPort::SetReceiveNotify(bool on) {
  notify_ = on;
  if (on) {
    poll_.start();
  } else {
    poll_.stop();
  }
}

PortOpenResult QtSerialPort::Open(int portNumber) {
  if (port_.isOpen()) port_.close();
  const std::string device =
      deviceOverride_.empty() ? DevicePathForPort(portNumber) : deviceOverride_;
  port_.setPortName(QString::fromStdString(device));
  port_.setReadBufferSize(kReceiveBuffer);
  if (!port_.open(QIODevice::ReadWrite)) {
    const QSerialPort::SerialPortError error = port_.error();
    const std::string description = port_.errorString().toStdString();
    port_.clearError();
    switch (error) {
      case QSerialPort::PermissionError:
      case QSerialPort::OpenError:
        return {PortError::InUse, description, {}};
      case QSerialPort::DeviceNotFoundError:
        return {PortError::DoesNotExist, description, device};
      default:
        return {PortError::Other, description, {}};
    }
  }
  const bool set = port_.setBaudRate(4800) && port_.setDataBits(QSerialPort::Data8) &&
                   port_.setParity(QSerialPort::NoParity) &&
                   port_.setStopBits(QSerialPort::OneStop) &&
                   port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!set) {
    const std::string description = port_.errorString().toStdString();
    port_.close();
    return {PortError::Other, description, {}};
  }
  port_.clear(QSerialPort::Input);
  return {};
}

void QtSerialPort::Close() {
  SetReceiveNotify(false);
  if (port_.isOpen()) port_.close();
}

int QtSerialPort::BytesWaiting() {
  if (!port_.isOpen()) return 0;
  // Picks up what the driver holds without waiting.
  port_.waitForReadyRead(0);
  return static_cast<int>(port_.bytesAvailable());
}

std::string QtSerialPort::Read(int n) {
  if (!port_.isOpen() || n <= 0) return {};
  return port_.read(n).toStdString();
}

void QtSerialPort::Write(std::string_view bytes) {
  if (!port_.isOpen()) return;
  port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  port_.flush();
}

void QtSerialPort::ClearInput() {
  if (!port_.isOpen()) return;
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

void QtSerialPort::OnReadyRead() {
  // The handler itself reads and waits, and Qt signals bytes that arrive
  // meanwhile only once, here: note them and run the handler again after.
  if (inHandler_) {
    missed_ = true;
    return;
  }
  inHandler_ = true;
  do {
    missed_ = false;
    if (!notify_ || !receiveHandler_) break;
    // A copy: the handler may replace itself when the operation ends.
    const std::function<void()> handler = receiveHandler_;
    handler();
  } while (missed_ && port_.isOpen() && port_.bytesAvailable() > 0);
  inHandler_ = false;
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
  // A device that vanished stays "open" to Qt; close it so the next step sees it.
  if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
    if (port_.isOpen()) port_.close();
  }
}

std::vector<SerialDevice> ListSerialDevices() {
  std::vector<SerialDevice> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    // The name the port map numbers: "COM5" on Windows (where the location
    // is "\\.\COM5"), the device path elsewhere.
#ifdef Q_OS_WIN
    const QString path = info.portName();
#else
    const QString path = info.systemLocation();
#endif
    devices.push_back({path.toStdString(), info.vendorIdentifier(), info.productIdentifier(),
                       info.hasVendorIdentifier()});
  }
  return devices;
}

}  // namespace pelvaro
