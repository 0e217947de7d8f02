#pragma once

#include <QObject>
#include <memory>

#include "core/operations/Trace.h"
#include "ui/shell/MainWindowServices.h"
#include "ui/shell/OperationHost.h"
#include "ui/shell/StatusArea.h"

namespace pelvaro {

// TRACE MODE on the main window: the logger's live readings, a row a scan in
// the status area, until the stop button, the logger or a fault ends them.
class TraceControl : public QObject {
  Q_OBJECT

 public:
  TraceControl(QWidget& window, OperationHost& host, MainWindowServices services,
               StatusArea& status);
  ~TraceControl() override;

  // Opens the port, asks for the sensor count and starts the trace.
  void Begin(int portNumber);
  // "Exit Trace Mode": the logger leaves trace mode and the menu comes back.
  void Stop();
  bool Active() const { return session_ && session_->Active(); }
  const TraceSession* Session() const { return session_.get(); }

 private:
  // After each scan: what the end of the trace, if it came, means for the window.
  void AfterReceive();
  void End();

  QWidget& window_;
  OperationHost& host_;
  MainWindowServices services_;
  StatusArea& status_;
  std::unique_ptr<LinkContext> link_;
  std::unique_ptr<TraceSession> session_;
};

}  // namespace pelvaro
