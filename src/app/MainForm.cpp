#include "app/MainForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QSystemTrayIcon>

#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupForm.h"
#include "support/Diagnostics.h"
#include "support/ExePath.h"
#include "support/FileUtils.h"

namespace MainForm {

using platform::Q;
namespace {

const QColor clRed(0xFF, 0x00, 0x00);
const QColor clBlue(0x00, 0x00, 0xFF);
const QColor clLime(0x00, 0xFF, 0x00);
const QColor clBlack(0x00, 0x00, 0x00);
const QColor clWhite(0xFF, 0xFF, 0xFF);

// The form's font: a Linux sans at 8 points.
QFont FormFont() { return QFont(QStringLiteral("Sans Serif"), 8); }

platform::HICON ResourceIcon(const char* path) {
  QFile file(QString::fromLatin1(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return platform::MakeIcon(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void SetTextColour(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::Text, colour);
  w->setPalette(p);
}

void SetBold(QWidget* w, int pixelSize = 0) {
  QFont f = w->font();
  f.setBold(true);
  if (pixelSize > 0) f.setPixelSize(pixelSize);
  w->setFont(f);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry, bool autoSize) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setProperty("AutoSize", autoSize);
  label->setGeometry(geometry);
  if (autoSize) label->adjustSize();
  return label;
}

// A panel with a lowered bevel on a white background and a centred picture in it.
QFrame* MakePicturePanel(QWidget* parent, const char* name, QRect geometry, QLabel*& image, const char* imageName) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAutoFillBackground(true);
  QPalette p = panel->palette();
  p.setColor(QPalette::Window, clWhite);
  panel->setPalette(p);
  panel->setGeometry(geometry);
  image = new QLabel(panel);
  image->setObjectName(QString::fromLatin1(imageName));
  image->setAlignment(Qt::AlignCenter);
  image->setGeometry(1, 1, geometry.width() - 2, geometry.height() - 2);
  return panel;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  return button;
}

}  // namespace

void SetCaption(QLabel* Label, const std::string& Text) {
  Label->setText(Q(Text));
  if (Label->property("AutoSize").toBool()) Label->adjustSize();
}

QColor StatusColour(const std::string& StatusText) { return StatusShowsRunning(StatusText) ? clBlack : clRed; }

TIconImage::TIconImage(QWidget* Parent, platform::HICON Icon) : QLabel(Parent), icon_(std::move(Icon)) {
  if (icon_) {
    QPixmap pixmap;
    pixmap.loadFromData(reinterpret_cast<const uchar*>(icon_->data()), static_cast<uint>(icon_->size()));
    setPixmap(pixmap);
  }
}

TfrmMain::TfrmMain(std::vector<std::string> Args, tMainFormPorts Ports)
    : QWidget(nullptr), args_(std::move(Args)), ports_(std::move(Ports)) {
  if (!ports_.TrayAvailable) ports_.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  if (!ports_.SetPathToEXEPath) ports_.SetPathToEXEPath = [] { return brix32::SetPathToEXEPath(); };
  CreateControls();
  ConnectCommands();
  CreateComponents();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // The components talk to this window; they go first, the watcher before the icon.
  ServiceWatcher.reset();
  TrayIcon.reset();
  application_.reset();
}

void TfrmMain::CreateControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Corvan service settings"));
  // A tool window without border icons that stays above the others. The close hint
  // asks for no button: it lets the window manager's close action (Alt+F4) through,
  // which a title bar without any button hint would forbid.
  setWindowFlags(kToolWindowFlags);
  setFont(FormFont());
  // Fixed: the controls sit at fixed places, so the window cannot be resized or
  // maximised, and keeps this size whatever frame the window manager puts around it.
  setFixedSize(kFormSize);

  Label2 = MakeLabel(this, "Label2", QStringLiteral("Corvan Service "), QRect(4, 4, 285, 13), false);
  Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  SetBold(Label2);

  pnlLogo = MakePicturePanel(this, "pnlLogo", QRect(100, 44, 177, 85), imgLogo, "imgLogo");
  imgLogo->setPixmap(QPixmap(QStringLiteral(":/corvan/logo.png")));
  pnlLogo->setToolTip(QStringLiteral("Logo. Double click to show data packets"));
  imgLogo->setToolTip(pnlLogo->toolTip());

  memTarnexConnectionHeartbeat = new QPlainTextEdit(this);
  memTarnexConnectionHeartbeat->setObjectName(QStringLiteral("memTarnexConnectionHeartbeat"));
  memTarnexConnectionHeartbeat->setReadOnly(true);
  memTarnexConnectionHeartbeat->setGeometry(160, 28, 181, 85);
  memTarnexConnectionHeartbeat->setToolTip(QStringLiteral("Data packets. Double click to show the time."));

  pnlClock = new QLabel(this);
  pnlClock->setObjectName(QStringLiteral("pnlClock"));
  pnlClock->setGeometry(128, 60, 181, 85);
  pnlClock->setAlignment(Qt::AlignCenter);
  pnlClock->setAutoFillBackground(true);
  pnlClock->setFrameStyle(QFrame::Panel | QFrame::Raised);
  {
    QPalette p = pnlClock->palette();
    p.setColor(QPalette::Window, clBlack);
    p.setColor(QPalette::WindowText, clLime);
    pnlClock->setPalette(p);
  }
  SetBold(pnlClock, 53);
  pnlClock->setToolTip(QStringLiteral("Time. Double click to show logo."));

  pnlGoingGraph = MakePicturePanel(this, "pnlGoingGraph", QRect(280, 16, 177, 85), imgGoingGraph, "imgGoingGraph");
  imgGoingGraph->setPixmap(QPixmap(QStringLiteral(":/corvan/going-placeholder.png")));

  lblStatus = MakeLabel(this, "lblStatus", QStringLiteral("Status: Not running."), QRect(8, 116, 277, 13), false);
  lblStatus->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  SetBold(lblStatus);

  imgDataSource = new QLabel(this);
  imgDataSource->setObjectName(QStringLiteral("imgDataSource"));
  imgDataSource->setGeometry(8, 136, 277, 9);
  imgDataSource->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  imgDataSource->setPixmap(QPixmap(QStringLiteral(":/corvan/datasource-placeholder.png")));
  imgDataSource->setToolTip(
      QStringLiteral("Data feed: Green=COM, Orange=TCP, Blue=UDP, Yellow=UDP/TCP, Red=No data, Teal=Corvan Log"));

  lblControlVersion = MakeLabel(this, "lblControlVersion", QStringLiteral("Version"), QRect(8, 148, 0, 13), true);
  lblServiceVersion = MakeLabel(this, "lblServiceVersion", QStringLiteral("Version"), QRect(8, 164, 0, 13), true);
  lblConnectedTo = MakeLabel(this, "lblConnectedTo", QStringLiteral("Connected to:"), QRect(8, 180, 0, 13), true);

  lblGoingRFAs = MakeLabel(this, "lblGoingRFAs", QStringLiteral("0"), QRect(184, 148, 77, 29), false);
  lblGoingRFAs->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetTextColour(lblGoingRFAs, clRed);
  SetBold(lblGoingRFAs, 32);
  lblGoingRFAs->setToolTip(QStringLiteral("Current going RFAs"));
  lblGoingRFAs->setVisible(false);

  lblGoingRFAsTitle = MakeLabel(this, "lblGoingRFAsTitle", QStringLiteral("GOING RFAs"), QRect(216, 180, 0, 13), true);
  SetTextColour(lblGoingRFAsTitle, clRed);
  lblGoingRFAsTitle->setVisible(false);

  lblURL = new TLinkLabel(this);
  lblURL->setObjectName(QStringLiteral("lblURL"));
  lblURL->setGeometry(6, 196, 275, 17);
  SetTextColour(lblURL, clBlue);
  {
    QFont f = lblURL->font();
    f.setUnderline(true);
    lblURL->setFont(f);
  }
  lblURL->setCursor(Qt::PointingHandCursor);

  imgPrint = new TIconImage(this, ResourceIcon(":/corvan/print.png"));
  imgPrint->setObjectName(QStringLiteral("imgPrint"));
  imgPrint->setGeometry(128, 156, 32, 32);
  imgNoPrint = new TIconImage(this, ResourceIcon(":/corvan/noprint.png"));
  imgNoPrint->setObjectName(QStringLiteral("imgNoPrint"));
  imgNoPrint->setGeometry(84, 156, 32, 32);
  imgAlarm = new TIconImage(this, ResourceIcon(":/corvan/alarm.png"));
  imgAlarm->setObjectName(QStringLiteral("imgAlarm"));
  imgAlarm->setGeometry(172, 156, 32, 32);
  for (QLabel* image :
       {static_cast<QLabel*>(imgPrint), static_cast<QLabel*>(imgNoPrint), static_cast<QLabel*>(imgAlarm)}) {
    image->setVisible(false);
    image->setEnabled(false);
  }

  Button3 = MakeButton(this, "Button3", "About", QRect(8, 216, 41, 21));
  Button1 = MakeButton(this, "Button1", "Task Sheets", QRect(56, 216, 73, 21));
  Button4 = MakeButton(this, "Button4", "Enter", QRect(136, 216, 49, 21));
  cmdSetup = MakeButton(this, "cmdSetup", "Setup", QRect(192, 216, 41, 21));
  cmdOK = MakeButton(this, "cmdOK", "OK", QRect(240, 216, 41, 21));
  cmdOK->setDefault(true);
  Button2 = MakeButton(this, "Button2", "Cancel", QRect(96, 164, 53, 21));
  Button2->setVisible(false);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  // The labels show versions, hosts and texts from the service's files and the settings:
  // as written, never as markup (a picture it named would be loaded at start-up).
  for (QLabel* label : findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

void TfrmMain::CreateComponents() {
  application_ = std::make_unique<platform::QtApplication>(this);
  // Ended from outside (SIGTERM, Ctrl-C): as closing the window ends it.
  application_->SetOnEndRequest([this] { close(); });
  opener_ = new TDocumentOpener(this, [this](const std::string& Problem) {
    Dialogs().MessageDlg(Problem, platform::tMsgDlgType::mtWarning, {platform::tMsgDlgBtn::mbOK});
  });

  TrayIcon = std::make_unique<components::TTrayIcon>(*ports_.Area, *application_);
  TrayIcon->AlwaysShowMenu = false;
  TrayIcon->HideMainForm = false;
  TrayIcon->OnClick = [this](components::TTrayIcon* Sender) { TrayIconClick(Sender); };
  hintBase_ = TrayIcon->Hint();

  tWatchOptions options;
  options.SettingsCaller = std::string("TfrmMain.tCorvanService.DirMonitorChange:") + "100";
  options.CreateMissingSettings = true;
  ServiceWatcher = std::make_unique<TServiceWatcher>(*this, options);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(60000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  timClock = new QTimer(this);
  timClock->setObjectName(QStringLiteral("timClock"));
  timClock->setInterval(1000);
  connect(timClock, &QTimer::timeout, this, [this] { timClockTimer(); });
  timWatchdog = new QTimer(this);
  timWatchdog->setObjectName(QStringLiteral("timWatchdog"));
  timWatchdog->setInterval(ports_.WatchdogIntervalMs);
  connect(timWatchdog, &QTimer::timeout, this, [this] { timWatchdogTimer(); });
  Timer1->start();
  timClock->start();

  // The components are complete once the form is: the icon goes into the area now, with
  // no picture yet and the application's title as its tip.
  TrayIcon->Loaded();
}

void TfrmMain::cmdOKClick() { HideToTray(); }

void TfrmMain::Button2Click() { HideToTray(); }

void TfrmMain::HideToTray() {
  if (ports_.TrayAvailable())
    hide();
  else
    showMinimized();
}

void TfrmMain::ShowOnStart() {
  if (!terminated_ && application_->ShowMainForm()) show();
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
  Event->accept();
  // Queued: a close before the message loop runs (a signal handled during start-up)
  // still ends the loop as soon as it starts.
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmMain::showEvent(QShowEvent* Event) {
  // However the window comes to be shown (the icon, a start without a notification area,
  // the window manager restoring it, the end of a command's dialog), the setup dialogs
  // hold the stored settings from then on: OK saves what the operator could see.
  FillSetupDialogs();
  if (!centred_) {
    centred_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  QWidget::showEvent(Event);
}

void TfrmMain::FillSetupDialogs() {
  SetupForm::TfrmSetup* setup = SetupForm::frmSetup;
  if (!setup) return;  // start-up runs before the dialogs are created
  DropErrors([&] {
    Lib::GetCorvanSettings(std::string("TfrmMain.FillSetupDialogs:") + "100");
    setup->FillSetupControls();
  });
}

void TfrmMain::SetTrayHint(const std::string& Hint) {
  hintBase_ = Hint;
  ShowTrayHint(Hint);
}

std::string TfrmMain::ProgramFolder() const { return brix32::gGlobalSettings.Path; }

std::string TfrmMain::ServiceFile(std::string_view Name) const { return MainForm::ServiceFile(ProgramFolder(), Name); }

bool TfrmMain::ServiceFileExists(std::string_view Name) const {
  return MainForm::ServiceFileExists(ProgramFolder(), Name);
}

}  // namespace MainForm
