#include "ui/pkt_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

#include "base/message.h"
#include "base/numbers.h"
#include "core/config/settings_table.h"
#include "ui/centre_form.h"
#include "ui/echo_box.h"
#include "ui/in_box.h"
#include "ui/key_translation.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

namespace orvex {
namespace {

constexpr const char* kHelpContext = "helpContext";

// The lamp: red with white letters when lit (readable on light and dark
// themes alike), the window's own colours when not.
void SetLamp(QLabel* lamp, bool lit) {
  if (!lamp || lamp->property("lit").toBool() == lit) return;
  lamp->setProperty("lit", lit);
  QPalette p = lamp->parentWidget() ? lamp->parentWidget()->palette() : lamp->palette();
  if (lit) {
    p.setColor(QPalette::Window, QColor(200, 0, 0));
    p.setColor(QPalette::WindowText, Qt::white);
  } else {
    p.setColor(QPalette::WindowText, p.color(QPalette::Disabled, QPalette::WindowText));
  }
  lamp->setPalette(p);
}

// "F2: CQ TEST DE #ME", cut with an ellipsis to the button's width; the
// whole message in the tooltip.
void ShowMessageButton(QPushButton* button, int n, const Text& message) {
  const QString key = ToQString(MessageKeyName(n));
  const QString text = ToQString(message);
  const QString full = text.isEmpty() ? key : key + ": " + text;
  const int room = button->width() - 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin) - 4;
  // The message matters more than the key's full name: on a narrow button
  // Ctrl is written ^, so some of the text still shows ("^F1: CQ T...").
  QString shown = full;
  if (!text.isEmpty() && button->fontMetrics().horizontalAdvance(full) > room)
    shown = QString(key).replace("Ctrl+", "^") + ": " + text;
  button->setText(button->fontMetrics()
                      .elidedText(shown, Qt::ElideRight, std::max(room, 10))
                      .replace("&", "&&"));
  button->setToolTip(text.isEmpty() ? key + ": no message (Options/CW Options)" : full);
  button->setEnabled(!text.isEmpty());
}

QColor FromColour(int32_t c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

int RoundTwips(double twips) {
  return static_cast<int>(RoundHalfEven(twips, INT32_MIN, INT32_MAX).value_or(0));
}

}  // namespace

QFont PaneFont(const QString& name, const QFont& themeFixed) {
  if (QFontDatabase::families().contains(name, Qt::CaseInsensitive)) return QFont(name);
  // The echo lines characters up in columns: a theme whose "fixed" font
  // has narrow and wide letters (or names one the system lacks, so that
  // a proportional one stands in) would space them unevenly.
  QFont font = themeFixed;
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  if (QFontInfo(font).fixedPitch()) return font;
  // A scalable one first: a bitmap font has only the sizes it was drawn in.
  for (const bool scalable : {true, false})
    for (const QString& family : QFontDatabase::families())
      if (QFontDatabase::isFixedPitch(family) &&
          (!scalable || QFontDatabase::isSmoothlyScalable(family)))
        return QFont(family);
  return font;
}

PktForm::PktForm(LineEditor& editor, WindowCommands& commands, SentEcho& echo)
    : editor_(editor), commands_(commands), echo_(echo), inBox_(nullptr) {
  setObjectName("PktForm");
  setWindowTitle(" Orvex");
  auto* client = new QWidget(this);
  setCentralWidget(client);
  echoBox_ = new EchoBox(echo_, client);
  // The line in a frame of its own, stretching with the window.
  auto* frame = new QFrame(client);
  frame->setObjectName("LineFrame");
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  inBox_ = new InBox(editor_, frame);
  editor_.SetView(inBox_);
  auto* inFrame = new QVBoxLayout(frame);
  inFrame->setContentsMargins(3, 3, 3, 3);
  inFrame->addWidget(inBox_);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(6, 6, 6, 2);
  layout->addWidget(echoBox_, 1);
  layout->addWidget(BuildNotKeying(client));
  layout->addWidget(frame);
  layout->addWidget(BuildButtons(client));
  qApp->installEventFilter(this);
  setFocusProxy(inBox_);
  BuildMenus();
  BuildStatusBar();
  cursorTimer_.setInterval(480);
  connect(&cursorTimer_, &QTimer::timeout, this, [this] { editor_.BlinkStep(); });
  cursorTimer_.start();
  statusTimer_.setInterval(100);
  connect(&statusTimer_, &QTimer::timeout, this, [this] { RefreshStatus(); });
  statusTimer_.start();
  followTimer_.setInterval(15);
  followTimer_.setTimerType(Qt::PreciseTimer);
  connect(&followTimer_, &QTimer::timeout, this, [this] {
    if (echo_.Update()) echoBox_->update();
    const bool tx = commands_.Transmitting();  // only the lamp: the rest at the 100 ms refresh
    SetLamp(txLamp_, tx);
    if (!echo_.Busy() && !tx) followTimer_.stop();
  });
  echo_.SetListener([this] { FollowKeying(); });
}

QWidget* PktForm::BuildButtons(QWidget* parent) {
  auto* row = new QWidget(parent);
  row->setObjectName("MessageButtons");
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(3);
  for (int n = 1; n <= 8; ++n) {
    auto* b = new QPushButton(row);
    b->setObjectName(QString("MsgButton%1").arg(n));
    b->setFocusPolicy(Qt::NoFocus);  // the keyboard stays on the line
    b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    b->installEventFilter(this);  // re-cut its text when its width changes
    connect(b, &QPushButton::clicked, this, [this, n] { commands_.Run(Command::SendMessage, n); });
    buttons_[static_cast<size_t>(n - 1)] = b;
    layout->addWidget(b);
    ShowMessageButton(b, n, commands_.Message(n));
  }
  return row;
}

void PktForm::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar");
  txLamp_ = new QLabel(" TX ", bar);
  txLamp_->setObjectName("TxLamp");
  txLamp_->setAlignment(Qt::AlignCenter);
  txLamp_->setAutoFillBackground(true);
  txLamp_->setToolTip("Lit while the transmitter is keyed: PTT on or the key down");
  SetLamp(txLamp_, false);
  port_ = new QLabel(bar);
  port_->setObjectName("PortStatus");
  sidetone_ = new QLabel(bar);
  sidetone_->setObjectName("SidetoneStatus");
  file_ = new QLabel(bar);
  file_->setObjectName("FileStatus");
  nr_ = new QLabel(bar);
  nr_->setObjectName("NrStatus");
  nr_->setToolTip("The contest serial number #NR sends next (Ctrl+N sets it)");
  speed_ = new QSpinBox(bar);
  speed_->setObjectName("SpeedBox");
  speed_->setRange(kSpeedLimits.lo, kSpeedLimits.hi);
  speed_->setSuffix(" WPM");
  speed_->setToolTip("The speed in effect (F9 faster, Shift+F9 slower)");
  connect(speed_, &QSpinBox::valueChanged, this, [this](int wpm) { commands_.SetSpeedTo(wpm); });
  connect(speed_, &QSpinBox::editingFinished, this, [this] { inBox_->setFocus(); });
  bar->addWidget(txLamp_);
  bar->addWidget(port_);
  bar->addWidget(sidetone_, 1);
  bar->addWidget(file_);
  bar->addPermanentWidget(nr_);
  bar->addPermanentWidget(speed_);
  RefreshStatus();
}

QWidget* PktForm::BuildNotKeying(QWidget* parent) {
  // Right above the line the operator types into: nothing he types is
  // keyed, why, and the way to try the port again. Hidden while keying.
  notKeying_ = new QWidget(parent);
  notKeying_->setObjectName("NotKeying");
  auto* row = new QHBoxLayout(notKeying_);
  row->setContentsMargins(0, 0, 0, 0);
  notKeyingText_ = new QLabel(notKeying_);
  notKeyingText_->setWordWrap(true);
  notKeyingText_->setStyleSheet("color: #b00000; font-weight: bold");
  auto* retry = new QPushButton("&Try the port again", notKeying_);
  retry->setObjectName("RetryPort");
  connect(retry, &QPushButton::clicked, this, [this] {
    commands_.Run(Command::RetryPort, 0);
    RefreshStatus();
    inBox_->setFocus();
  });
  row->addWidget(notKeyingText_, 1);
  row->addWidget(retry);
  notKeying_->hide();
  return notKeying_;
}

void PktForm::FollowKeying() {
  if (!followTimer_.isActive()) followTimer_.start();
}

void PktForm::RefreshStatus() {
  const StatusLine s = commands_.Status();
  SetLamp(txLamp_, s.transmitting);
  // Each field's whole text as its tooltip too: a narrow window cuts them.
  auto show = [](QLabel* label, const QString& text) {
    label->setText(text);
    label->setToolTip(text);
  };
  show(port_, "Port: " + ToQString(s.port));
  show(sidetone_, "Sidetone: " + ToQString(s.sidetone));
  const Text& note = s.file.empty() ? s.notice : s.file;
  show(file_, ToQString(note));
  file_->setVisible(!note.empty());
  nr_->setText(ToQString(s.serial));
  notKeyingText_->setText(ToQString(s.notKeying));
  notKeying_->setVisible(!s.notKeying.empty());
  if (speed_->value() != s.speed) {
    const QSignalBlocker quiet(speed_);  // shown, not a new speed asked for
    speed_->setValue(s.speed);
  }
  if (echo_.Update()) echoBox_->update();
}

QAction* PktForm::Add(QMenu* menu, const char* name, const char* caption, int helpContext,
                      Command command, int message) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  a->setProperty(kHelpContext, helpContext);
  // The menu shows the item's key; the window's key handling acts on it.
  if (const KeyBinding* key = MenuShortcutOf(command, message)) {
    a->setShortcut(ToQtShortcut(key->key, key->modifiers));
    a->setShortcutContext(Qt::WidgetShortcut);
  }
  if (command != Command::None)
    connect(a, &QAction::triggered, this,
            [this, command, message] { commands_.Run(command, message); });
  return a;
}

void PktForm::BuildMenus() {
  // The menus and their items in order: a caption of null is a separator;
  // the message items close the CW menu, after their heading.
  struct Item {
    const char* name;
    const char* caption;
    int helpContext;
    Command command;
  };
  struct Menu {
    const char* name;
    const char* caption;
    std::vector<Item> items;
  };
  const Menu menus[] = {
      {"MenuFile", "&File", {{"MenuExit", "E&xit", 0, Command::Exit}}},
      {"MenuCW",
       "&CW",
       {{"ReqNextCWSpeed", "F&aster", 150, Command::Faster},
        {"ReqPreviousCWSpeed", "S&lower", 150, Command::Slower},
        {"ReqSetCWSpeed", "S&et Speed", 150, Command::SetSpeed},
        {"Bar8", nullptr, 0, Command::None},
        {"ReqCWFileSend", "Send &File as CW", 160, Command::SendFile},
        {"ReqCWFileStop", "&Stop CW", 0, Command::Stop},
        {"ReqTune", "&Tune", 150, Command::Tune},
        {"bar14", nullptr, 0, Command::None},
        {"ReqSetHim", "Set #&him", 160, Command::SetHim},
        {"ReqSetNumber", "Serial &number...", 160, Command::SetNumber},
        {"ReqSetMe", "Set #&me", 160, Command::SetMe},
        {"Bar9", nullptr, 0, Command::None},
        {"CWMsgHdr", "CW Messages...", 160, Command::None}}},  // a heading: does nothing
      {"MenuOptions", "&Options", {{"MenuCWOptions", "&CW Options", 0, Command::CWOptions}}},
      {"MenuHelp",
       "&Help",
       {{"MenuDispHelp", "Display &Help", 0, Command::Help},
        {"HelpAbout", "&About Orvex", 0, Command::About},
        {"bar", nullptr, 0, Command::None},
        {"MenuReadMe", "Display &readme.txt", 0, Command::ShowReadme},
        {"MenuChanges", "Display &changes.txt", 0, Command::ShowChanges}}}};
  for (const Menu& m : menus) {
    QMenu* menu = menuBar()->addMenu(m.caption);
    menu->setObjectName(m.name);
    for (const Item& item : m.items) {
      if (!item.caption) {
        menu->addSeparator()->setObjectName(item.name);
        continue;
      }
      // Exit closes the window; closing it by any means ends the program.
      const bool exit = item.command == Command::Exit;
      QAction* action =
          Add(menu, item.name, item.caption, item.helpContext, exit ? Command::None : item.command);
      if (exit) connect(action, &QAction::triggered, this, [this] { close(); });
    }
    if (m.name == std::string_view("MenuCW"))
      for (int n = 1; n <= 8; ++n) {
        const QByteArray name = "ReqCw" + QByteArray::number(n);
        const QByteArray caption = "&" + QByteArray::number(n) + ":";
        messages_[static_cast<size_t>(n - 1)] = Add(menu, name.constData(), caption.constData(),
                                                    n == 4 ? 0 : 160, Command::SendMessage, n);
      }
  }
}

void PktForm::CaptionChanged(int n, const Text& caption) {
  if (n < 1 || n > 8) return;
  // "&n: " marks the digit as the access key; an "&" in the message itself
  // must show as it is.
  const QString text = ToQString(caption);
  messages_[static_cast<size_t>(n - 1)]->setText(text.left(4) +
                                                 QString(text.mid(4)).replace("&", "&&"));
  if (buttons_[static_cast<size_t>(n - 1)])
    ShowMessageButton(buttons_[static_cast<size_t>(n - 1)], n, commands_.Message(n));
}

bool PktForm::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Resize)
    for (int n = 1; n <= 8; ++n)
      if (watched == buttons_[static_cast<size_t>(n - 1)])
        ShowMessageButton(buttons_[static_cast<size_t>(n - 1)], n, commands_.Message(n));
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
    return QMainWindow::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (auto* menu = qobject_cast<QMenu*>(watched)) {
    // F1 on a highlighted item opens its help topic.
    if (type == QEvent::KeyPress && key->key() == Qt::Key_F1) {
      const QAction* item = menu->activeAction();
      const int context = item ? item->property(kHelpContext).toInt() : 0;
      commands_.Help(context != 0 ? context : 150);
      return true;
    }
    return false;
  }
  // Every key of the window passes here, whatever has the keyboard in it:
  // the keys of the key table act window-wide.
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;
  const ClassicKey k = FromQtKey(key->key(), key->modifiers(), key->text());
  const bool functionKey = k.key == Key::Esc || (k.key >= Key::F1 && k.key <= Key::F12);
  if (type == QEvent::KeyRelease) {
    if (functionKey) released_[static_cast<int>(k.key)] = key->timestamp();
    return false;
  }
  // While the transmitter is keyed for tuning, any key stops it.
  if (commands_.Tuning()) {
    commands_.Run(Command::Stop);
    return true;
  }
  // A held key repeats as release and press at one instant; Qt does not
  // always see it. Held, a function key acts once (the speed steps repeat).
  const bool repeat =
      key->isAutoRepeat() || (functionKey && key->timestamp() != 0 &&
                              key->timestamp() == released_[static_cast<int>(k.key)]);
  if (const KeyBinding* binding = FindKeyBinding(k.key, k.modifiers)) {
    if (!repeat || binding->repeats) commands_.Run(binding->command, binding->message);
    return true;
  }
  if (functionKey && repeat) return true;
  if (k.key == Key::F1 && k.modifiers == kNone) {
    commands_.Help(150);
    return true;
  }
  if (watched != inBox_) return false;
  commands_.Run(editor_.KeyDown(k.key, k.modifiers));
  if (k.charCode >= 0) {
    commands_.Run(editor_.KeyPress(k.charCode));
    commands_.Typed();
  }
  return true;
}

void PktForm::RestorePlacement(const EnvSettings& s) {
  auto px = [this](double twips) { return TwipsToPixels(this, twips); };
  // Top and left place the frame, width and height size the client area:
  // the pair Qt restores without drifting by the frame's size each run.
  if (s.PacketTop < 0) {
    // Wide enough for the message buttons, tall enough for a few lines of
    // echo above the line.
    resize(px(10500), px(3600));
    FitAndCentre(this);
  } else {
    move(px(s.PacketLeft), px(s.PacketTop));
    resize(px(s.PacketWidth), px(s.PacketHeight));
    KeepOnScreen(this);
  }
  maximize_ = s.PacketState == 2;
}

void PktForm::ShowWindow() {
  if (maximize_)
    showMaximized();
  else
    show();
  inBox_->setFocus();
  cursorTimer_.setInterval(100);
}

void PktForm::SetPacketColor(int kind, int32_t colour) {
  const QPalette::ColorRole roles[2][2] = {{QPalette::WindowText, QPalette::Text},
                                           {QPalette::Window, QPalette::Base}};
  if (kind != 3 && kind != 4) return;
  for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(inBox_),
                     static_cast<QWidget*>(echoBox_)}) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles[kind - 3]) p.setColor(role, FromColour(colour));
    w->setPalette(p);
  }
  update();
}

void PktForm::ApplyFont(const FontSpec& wanted) {
  if (wanted.Name.empty()) return;
  QFont font =
      PaneFont(ToQString(wanted.Name), QFontDatabase::systemFont(QFontDatabase::FixedFont));
  font.setPointSizeF(wanted.Size);
  font.setBold(wanted.Bold);
  font.setItalic(wanted.Italic);
  font.setUnderline(wanted.Underline);
  font.setStrikeOut(wanted.Strikethru);
  inBox_->setFont(font);
  echoBox_->setFont(font);
}

PaneMetrics PktForm::Metrics() {
  const double tpp = TwipsPerPixelOf(this);
  const QFontMetrics fm(inBox_->font());
  PaneMetrics m;
  m.LineHeight = RoundTwips(fm.height() * tpp);
  m.SpaceWidth = std::max(1, RoundTwips(fm.horizontalAdvance(QString(100, ' ')) * tpp) / 100);
  m.LineColumns = RoundTwips(inBox_->width() * tpp) / m.SpaceWidth + 1;
  inBox_->setFixedHeight(TwipsToPixels(this, m.LineHeight / 5.0 + m.LineHeight));
  return m;
}

WindowState PktForm::State() const {
  if (isMinimized()) return WindowState::Minimized;
  if (isMaximized()) return WindowState::Maximized;
  return WindowState::Normal;
}

TwipsRect PktForm::PlacementTwips() const {
  const double tpp = TwipsPerPixelOf(this);
  return {y() * tpp, x() * tpp, width() * tpp, height() * tpp};
}

bool PktForm::event(QEvent* event) {
  // Back from a dialog, the help or a viewer, the keyboard goes to the line.
  if (event->type() == QEvent::WindowActivate) inBox_->setFocus();
  return QMainWindow::event(event);
}

void PktForm::closeEvent(QCloseEvent* event) {
  event->accept();
  commands_.Run(Command::Exit);
}

}  // namespace orvex
