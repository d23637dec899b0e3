#include "shell/main_window.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QMenuBar>
#include <QPainter>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

#include "core/launcher.h"
#include "shell/globals.h"
#include "shell/gradient.h"
#include "shell/screen_registry.h"
#include "ui/msg.h"
#include "ui/resources.h"

namespace zol {

namespace {

const QColor kClientBackground(64, 0, 128);

QString trimmed(const std::string& s) { return QString::fromStdString(s).trimmed(); }

}  // namespace

// ---- client area ----

GradientArea::GradientArea(QWidget* parent) : QWidget(parent) {
  QPalette p = palette();
  p.setColor(QPalette::Window, kClientBackground);
  p.setColor(QPalette::WindowText, Qt::black);
  setPalette(p);
  setAutoFillBackground(true);
}

void GradientArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kClientBackground);
  const int w = width();
  for (const GradientBand& b : gradientBands(height(), kMainGradientColour))
    painter.fillRect(0, b.top, w, kGradientBand, QColor(b.colour.red(), b.colour.green(), b.colour.blue()));
}

// ---- message bar ----

MessageBar::MessageBar(const QString& defaultText, QWidget* parent)
    : QStatusBar(parent), default_(defaultText) {
  setSizeGripEnabled(false);
  QPalette p = palette();
  p.setColor(QPalette::Window, p.color(QPalette::Button));
  p.setColor(QPalette::WindowText, Qt::black);
  setPalette(p);
  setAutoFillBackground(true);
  message_ = new QLabel(default_, this);
  message_->setAlignment(Qt::AlignCenter);
  addWidget(message_, 1);
  auto indicator = [this](const QString& sample) {
    auto* l = new QLabel(this);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(fontMetrics().horizontalAdvance(sample) + 12);
    addPermanentWidget(l);
    return l;
  };
  keys_ = indicator("Mayús Ctrl Alt");
  date_ = indicator("00/00/0000");
  clock_ = indicator("00:00:00");
  setFixedHeight(fontMetrics().height() + 8);
  tick();
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  timer_.start(250);
}

void MessageBar::showText(const QString& text) { message_->setText(text.isEmpty() ? default_ : text); }

void MessageBar::tick() {
  // Lock keys are not visible to the program here; the held modifiers are.
  const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
  QStringList keys;
  if (m & Qt::ShiftModifier) keys << QString::fromUtf8("Mayús");
  if (m & Qt::ControlModifier) keys << "Ctrl";
  if (m & Qt::AltModifier) keys << "Alt";
  keys_->setText(keys.isEmpty() ? QString("Ins") : keys.join(' '));
  date_->setText(QString::fromStdString(Date::today().toText()));
  clock_->setText(QTime::currentTime().toString("HH:mm:ss"));
}

// ---- main window ----

QString MainWindow::title() { return QString("Sistema Zolmar  -  (V.1.07)      ") + QString(12, ' '); }

QString MainWindow::defaultMessage() {
  return "Zolmar -  Tirsano Sistemas    [" + trimmed(WPATH) + " ]";
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  createFonts();
  setWindowTitle(title());
  setWindowIcon(Resources::icon("banner"));
  client_ = new GradientArea(this);
  setCentralWidget(client_);
  buildMenu();
  buildButtonBar();
  bar_ = new MessageBar(defaultMessage(), this);
  setStatusBar(bar_);
  // 28 text rows by 80 columns at the top left, before it is maximised.
  const QFontMetrics fm(font());
  resize(fm.averageCharWidth() * 80, fm.height() * 28);
  move(0, 0);
}

bool MainWindow::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    bar_->showText(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void MainWindow::exitCommand(const QString& question) {
  if (!MsgYesNo("Salida del Programa", question)) return;
  Resources::releaseAll();
  workAreas().closeAll();
  SysRefresh();
  close();
}

void MainWindow::buildMenu() {
  workAreas().closeAll();
  QMenuBar* bar = menuBar();
  auto entry = [this](QMenu* menu, const char* text, const char* tip, const char* screen) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setStatusTip(QString::fromUtf8(tip));
    a->setObjectName(screen);
    a->setEnabled(ScreenRegistry::has(screen));
    connect(a, &QAction::triggered, this, [s = std::string(screen)] { ScreenRegistry::run(s); });
    return a;
  };

  QMenu* files = bar->addMenu("&Archivos");
  entry(files, "&Artículos", "Altas de Artículos y Consultas", "ZOL0410");
  files->addSeparator();
  QAction* exit = files->addAction("&Salida");
  exit->setStatusTip("Salida del Sistema");
  exit->setObjectName("exit");
  connect(exit, &QAction::triggered, this, [this] { exitCommand("Seleccione..."); });

  QMenu* stock = bar->addMenu("&Movimiento de Stock");
  entry(stock, "&Salidas del Stock", "Salidas del Stock", "ZOL1200");
  entry(stock, "&Ingresos al Stock", "Ingresos al Stock", "ZOL1100");
  stock->addSeparator();
  QMenu* lists = stock->addMenu("&Listados Varios");
  entry(lists, "&Ingresos al Stock (Detalle)", "Detalle de Artículos Ingresados al Stock)", "ZOL1360");
  entry(lists, "&Salidas del Stock (Detalle)", "Detalle de Artículos Salidos del Stock (Detalle)", "ZOL1362");
  entry(lists, "&Total Entradas y Salidas del Stock", "Totales de Entradas y Salidas de Artículos al Stock",
        "ZOL1364");
  entry(lists, "&Artículos que Tuvieron Mayores Salidas", "Artículos que Tuvieron Mayores Salidas", "ZOL1366");
  lists->addSeparator();
  entry(lists, "Listado &Stock Artículos Alfabético", "Listado de Artículos Alfabético con Stock", "ZOL0411");
  entry(lists, "Listado Stock Artículos &Numérico", "Listado de Artículos Numérico con Stock", "ZOL0412");
  entry(lists, "Listado de Artículos Para el &Público (Alfabético)", "Listado de Artículos Público", "ZOL0415");
  entry(lists, "Listado Stock (&Valorizado)", "Listado Stock Valorizado", "ZOL0417");

  QMenu* upkeep = bar->addMenu("&Mantenimiento");
  entry(upkeep, "R&eordenamiento de Archivos", "Reordenamiento de Archivos y Compactado de los Mismos", "ZOL2000");
  upkeep->addSeparator();
  entry(upkeep, "&Depuración de Movimientos de Entradas y Salidas", "Depuración Movimientos", "ZOL2200");
  upkeep->addSeparator();
  entry(upkeep, "&Impresora", "Configuración de la Impresora", "PRINTERSETUP");
  upkeep->addSeparator();
  entry(upkeep, "&Acerca de...", "", "ZOLABO");
}

void MainWindow::buildButtonBar() {
  QToolBar* tools = addToolBar("Botones");
  tools->setObjectName("buttonBar");
  tools->setMovable(false);
  tools->setFloatable(false);
  tools->setIconSize(QSize(32, 32));
  tools->toggleViewAction()->setEnabled(false);
  auto button = [this, tools](const char* bitmap, const char* tip, std::function<void()> action,
                              bool enabled = true) {
    auto* a = new QAction(QIcon(Resources::bitmap(bitmap)), QString::fromUtf8(tip), tools);
    a->setToolTip(QString::fromUtf8(tip));
    a->setStatusTip(QString::fromUtf8(tip));
    a->setObjectName(bitmap);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, std::move(action));
    tools->addAction(a);
    if (auto* b = qobject_cast<QToolButton*>(tools->widgetForAction(a))) {
      b->setFixedSize(60, 45);
      b->setAutoRaise(false);  // the raised, three-dimensional look
      b->setObjectName(QString("btn_") + bitmap);
    }
    return a;
  };
  QAction* exit = button("Exit", "Salida", [this] { exitCommand(QString::fromUtf8("Seleccione La Opción")); });
  exit->setStatusTip("Finalizar El Programa");
  if (auto* b = tools->widgetForAction(exit)) b->setStatusTip("Finalizar El Programa");
  tools->addSeparator();
  button("Calcu2", "Calculadora", [] { startCalculator(); });
  button("paste", "Block De Notas", [] { startNotepad(); });
  button("calen32x32", "Calendario", [] { ScreenRegistry::run("CALEND"); }, ScreenRegistry::has("CALEND"));
  button("ayuda", "Ayuda General", [] { openHelp(); });
}

// ---- helper programs ----

void startCalculator() { Launcher::instance().startCalculator(); }

void startNotepad() { Launcher::instance().startTextEditor(""); }

void openHelp() {
  if (QFile::exists("zol0000.chm")) {
    Launcher::instance().openDocument("zol0000.chm");
    return;
  }
  const QString guide = QCoreApplication::applicationDirPath() + "/zol0000.html";
  Launcher::instance().openDocument(guide.toStdString());
}

}  // namespace zol
