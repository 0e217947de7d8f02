#include "ui/shell/TraceControl.h"

#include <QTimer>

#include "core/link/PortSelection.h"
#include "ui/operations/TraceDialog.h"

namespace pelvaro {

TraceControl::TraceControl(QWidget& window, OperationHost& host, MainWindowServices services,
                           StatusArea& status)
    : QObject(&window), window_(window), host_(host), services_(services), status_(status) {}

TraceControl::~TraceControl() = default;

void TraceControl::Begin(int portNumber) {
  SerialPort& port = services_.port;
  if (port.IsOpen()) port.Close();
  const PortOpenResult opened = port.Open(portNumber);
  if (!opened.Ok()) {
    const PortMessage m = PortOpenMessage(portNumber, opened);
    services_.prompter.Message(m.text, m.title);
    return;
  }
  port.SetReceiveNotify(false);
  port.ClearInput();
  TraceSensorsDialog dialog(&window_);
  dialog.exec();
  const int sensors = dialog.SensorCount();
  if (sensors == 0) {
    port.Close();
    status_.Hide();
    host_.ShowMainMenu();
    return;
  }
  host_.HideMainMenu();
  status_.Show();
  // A session that ended goes before the line it used.
  session_.reset();
  link_ = std::make_unique<LinkContext>(status_.Link(services_));
  session_ = std::make_unique<TraceSession>(*link_, [this] { status_.Clear(); });
  if (!session_->Start(sensors)) {
    End();
    return;
  }
  // Each scan that arrives, and then what it means for the window.
  port.SetReceiveHandler([this] {
    if (session_) session_->OnReceive();
    AfterReceive();
  });
  status_.OfferStop(tr("Exit Trace &Mode"));
}

void TraceControl::Stop() {
  if (!Active()) return;
  status_.Clear();
  session_->Stop();
  End();
}

void TraceControl::AfterReceive() {
  if (!session_ || session_->Active()) return;
  if (session_->Ended() == TraceEnd::LoggerEnded) {
    host_.RefreshSiteList();
    host_.ReselectRememberedSite();
  }
  End();
}

void TraceControl::End() {
  status_.Hide();
  host_.ShowMainMenu();
  // The session goes once the port's handler that may be running has returned.
  if (session_) {
    services_.port.SetReceiveHandler({});
    QTimer::singleShot(0, this, [this] {
      if (session_ && !session_->Active()) {
        session_.reset();
        link_.reset();
      }
    });
  }
}

}  // namespace pelvaro
