#include "shell/error_handler.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

#include "core/launcher.h"
#include "shell/globals.h"
#include "store/file_io.h"
#include "ui/resources.h"

namespace zol {

namespace {

bool gMainLoop = false;
bool gSharedUse = false;
bool gInDialog = false;
bool gEnding = false;
std::string gReportDir = "./";
std::string gReportFile = "error.log";
std::function<void(int)> gEnd;

[[noreturn]] void endNow(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

// Quit: the tables are closed first so every record written so far is on
// disk with a header that counts it.
[[noreturn]] void quitProgram() {
  if (!gEnding) {
    gEnding = true;
    if (gEnd) {
      gEnd(1);
    } else {
      workAreas().closeAll();
      Resources::releaseAll();
    }
  }
  endNow(1);
}

}  // namespace

void installErrorHandler() { setErrorHandler(generalErrorHandler); }

void setMainLoopRunning(bool running) { gMainLoop = running; }
bool mainLoopRunning() { return gMainLoop; }
bool sharedUseFailed() { return gSharedUse; }
void clearSharedUseFailed() { gSharedUse = false; }

void setReportLocation(const std::string& dir, const std::string& file) {
  gReportDir = dir;
  if (!gReportDir.empty() && gReportDir.back() != '/') gReportDir += '/';
  gReportFile = file;
}

std::string reportPath() { return gReportDir + gReportFile; }

void setProgramEnd(std::function<void(int)> end) { gEnd = std::move(end); }

bool generalErrorHandler(const ErrorEvent& e) {
  // A division by zero gives 0, as a default, without a word.
  if (e.genCode == ErrGen::ZeroDiv) return false;
  if (e.genCode == ErrGen::Open && (e.osCode == OsErr::SharingViolation || e.osCode == OsErr::AccessDenied) &&
      e.canDefault) {
    gSharedUse = true;
    return false;
  }
  if (e.genCode == ErrGen::AppendLock && e.canDefault) {
    gSharedUse = true;
    return false;
  }
  // A failure while the error dialog itself is up cannot be shown again.
  if (gInDialog || gEnding) {
    Resources::releaseAll();
    endNow(1);
  }

  // Skip this handler and the hook that called it.
  const std::vector<StackFrame> stack = currentStack(2);
  WorkAreas* areas = &workAreas();
  const std::string path = reportPath();
  writeReport(path, errorReport(e, stack, areas));  // a failure to write is ignored

  ErrorChoice choice = ErrorChoice::Quit;
  if (qApp) {
    gInDialog = true;
    choice = showErrorDialog(e, stack, path);
    gInDialog = false;
  } else {
    std::fprintf(stderr, "%s\n", e.messageLine().c_str());
  }
  if (choice == ErrorChoice::Default && e.canDefault) return false;
  if (choice == ErrorChoice::Retry && e.canRetry && gMainLoop) return true;
  quitProgram();
}

ErrorChoice showErrorDialog(const ErrorEvent& e, const std::vector<StackFrame>& stack,
                            const std::string& reportFile) {
  QDialog dlg(QApplication::activeWindow());
  dlg.setObjectName("errorDialog");
  dlg.setWindowTitle("Zolmar - Error");
  dlg.setModal(true);
  // No close box: one of the buttons decides.
  dlg.setWindowFlags((dlg.windowFlags() | Qt::CustomizeWindowHint) & ~Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(&dlg);

  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(&dlg);
  icon->setPixmap(dlg.style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* message = new QLabel(QString::fromStdString(e.messageLine()), &dlg);
  message->setObjectName("message");
  message->setWordWrap(true);
  message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(message, 1);
  layout->addLayout(top);

  auto* caption = new QLabel("&Stack List", &dlg);
  auto* list = new QListWidget(&dlg);
  list->setObjectName("stack");
  for (const auto& f : stack) list->addItem(QString::fromStdString(calledFromLine(f)));
  caption->setBuddy(list);
  layout->addWidget(caption);
  layout->addWidget(list, 1);

  ErrorChoice choice = ErrorChoice::Quit;
  auto* buttons = new QHBoxLayout;
  auto add = [&](const QString& text, ErrorChoice c) {
    auto* b = new QPushButton(text, &dlg);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, &dlg, [&dlg, &choice, c] {
      choice = c;
      dlg.accept();
    });
    buttons->addWidget(b);
    return b;
  };
  if (e.canRetry) add("&Retry", ErrorChoice::Retry);
  QPushButton* quit = add("&Quit", ErrorChoice::Quit);
  if (e.canDefault) add("&Default", ErrorChoice::Default);
  buttons->addStretch(1);
  const QString name = QString::fromStdString(reportFile.substr(reportFile.find_last_of('/') + 1));
  auto* see = new QPushButton("See " + name + " file", &dlg);
  see->setAutoDefault(false);
  QObject::connect(see, &QPushButton::clicked, &dlg, [reportFile] {
    Launcher::instance().startTextEditor(reportFile);
  });
  buttons->addWidget(see);
  layout->addLayout(buttons);
  quit->setDefault(true);
  quit->setFocus();

  // About 450 by 300 dialog units.
  const QFontMetrics fm(dlg.font());
  dlg.resize(fm.averageCharWidth() * 450 / 4, fm.height() * 300 / 8);
  // Escape or the window manager's close mean Quit, the one always allowed.
  dlg.exec();
  return choice;
}

}  // namespace zol
