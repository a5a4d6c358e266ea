#include "packet/pkt_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <cmath>

#include "app/centre_form.h"
#include "app/message.h"
#include "app/number_check.h"
#include "app/qt_text.h"
#include "app/twips.h"
#include "packet/in_box.h"
#include "packet/packet_commands.h"
#include "packet/qt_keys.h"

namespace orvex {
namespace {

constexpr const char* kHelpContext = "helpContext";

QColor FromColour(int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

int RoundTwips(double twips) {
  return static_cast<int>(RoundHalfEven(twips, INT32_MIN, INT32_MAX).value_or(0));
}

}  // namespace

QString AvailableFontFamily(const QString& name) {
  if (QFontDatabase::families().contains(name, Qt::CaseInsensitive)) return name;
  return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

PktForm::PktForm()
    : editor_([this] { inBox_->update(); }),
      inBox_(nullptr),
      outBox_(nullptr) {
  setObjectName("PktForm");
  setWindowTitle(" Orvex");
  auto* client = new QWidget(this);
  setCentralWidget(client);
  inBox_ = new InBox(editor_, client);
  outBox_ = new QWidget(client);
  outBox_->setObjectName("OutBox");
  // Nothing is ever drawn into OutBox; over the right end of the line it
  // would only hide typing, so it stays hidden.
  outBox_->hide();
  auto px = [this](double twips) { return TwipsToPixels(this, twips); };
  inBox_->setGeometry(px(120), px(120), px(6975), px(375));
  outBox_->setGeometry(px(4920), px(120), px(855), px(375));
  inBox_->installEventFilter(this);
  setFocusProxy(inBox_);
  BuildMenus();
  cursorTimer_.setInterval(480);
  connect(&cursorTimer_, &QTimer::timeout, this, [this] {
    editor_.BlinkStep();
    if (tick_) tick_();
  });
  cursorTimer_.start();
}

QAction* PktForm::Add(QMenu* menu, const char* name, const char* caption, int helpContext,
                      QKeySequence shortcut) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  a->setProperty(kHelpContext, helpContext);
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  return a;
}

void PktForm::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("MenuFile");
  QMenu* cw = menuBar()->addMenu("&CW");
  cw->setObjectName("MenuCW");
  QMenu* options = menuBar()->addMenu("&Options");
  options->setObjectName("MenuOptions");
  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("MenuHelp");
  for (QMenu* m : {file, cw, options, help}) m->installEventFilter(this);

  connect(Add(file, "MenuExit", "E&xit", 0), &QAction::triggered, this, [this] { close(); });
  auto call = [this](void (PacketCommands::*f)()) {
    return [this, f] {
      if (commands_) (commands_->*f)();
    };
  };
  connect(Add(cw, "ReqNextCWSpeed", "F&aster", 150, Qt::Key_F9), &QAction::triggered, this,
          call(&PacketCommands::Faster));
  connect(Add(cw, "ReqPreviousCWSpeed", "S&lower", 150, Qt::SHIFT | Qt::Key_F9),
          &QAction::triggered, this, call(&PacketCommands::Slower));
  connect(Add(cw, "ReqSetCWSpeed", "S&et Speed", 150, Qt::CTRL | Qt::Key_F9), &QAction::triggered,
          this, call(&PacketCommands::SetSpeed));
  cw->addSeparator()->setObjectName("Bar8");
  connect(Add(cw, "ReqCWFileSend", "Send &File as CW", 160), &QAction::triggered, this,
          call(&PacketCommands::SendFile));
  connect(Add(cw, "ReqCWFileStop", "&Stop CW", 0, Qt::Key_F12), &QAction::triggered, this,
          call(&PacketCommands::Stop));
  cw->addSeparator()->setObjectName("bar14");
  connect(Add(cw, "ReqSetHim", "Set #&him", 160, Qt::Key_F11), &QAction::triggered, this,
          call(&PacketCommands::SetHim));
  connect(Add(cw, "ReqSetMe", "Set #&me", 160, Qt::CTRL | Qt::Key_F11), &QAction::triggered,
          this, call(&PacketCommands::SetMe));
  cw->addSeparator()->setObjectName("Bar9");
  Add(cw, "CWMsgHdr", "CW Messages...", 160);  // a heading: choosing it does nothing
  for (int n = 1; n <= 8; ++n) {
    const QByteArray name = "ReqCw" + QByteArray::number(n);
    const QByteArray caption = "&" + QByteArray::number(n) + ":";
    QAction* a = Add(cw, name.constData(), caption.constData(), n == 4 ? 0 : 160,
                     QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_F1 + n - 1)));
    connect(a, &QAction::triggered, this, [this, n] {
      if (commands_) commands_->SendMessage(n);
    });
    messages_[static_cast<size_t>(n - 1)] = a;
  }
  connect(Add(options, "MenuCWOptions", "&CW Options", 0), &QAction::triggered, this,
          call(&PacketCommands::CWOptions));
  connect(Add(help, "MenuDispHelp", "Display &Help", 0), &QAction::triggered, this,
          call(&PacketCommands::Help));
  connect(Add(help, "HelpAbout", "&About Orvex", 0), &QAction::triggered, this,
          call(&PacketCommands::About));
  help->addSeparator()->setObjectName("bar");
  connect(Add(help, "MenuReadMe", "Display &readme.txt", 0), &QAction::triggered, this,
          call(&PacketCommands::ShowReadme));
  connect(Add(help, "MenuChanges", "Display &changes.txt", 0), &QAction::triggered, this,
          call(&PacketCommands::ShowChanges));
}

void PktForm::SetCommands(PacketCommands* commands, std::function<void(int)> help) {
  commands_ = commands;
  help_ = std::move(help);
}

void PktForm::SetMessageCaption(int n, const Text& caption) {
  if (n < 1 || n > 8) return;
  // "&n: " marks the digit as the access key; an "&" in the message itself
  // must show as it is.
  const QString text = ToQString(caption);
  messages_[static_cast<size_t>(n - 1)]->setText(text.left(4) +
                                                 text.mid(4).replace("&", "&&"));
}

bool PktForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (auto* menu = qobject_cast<QMenu*>(watched)) {
    // F1 on a highlighted item opens its help topic.
    if (key->key() == Qt::Key_F1 && help_) {
      const QAction* item = menu->activeAction();
      const int context = item ? item->property(kHelpContext).toInt() : 0;
      help_(context != 0 ? context : 150);
      return true;
    }
    return false;
  }
  if (watched != inBox_ || !commands_) return QMainWindow::eventFilter(watched, event);
  const ClassicKey k = FromQtKey(key->key(), key->modifiers(), key->text());
  if (k.key == Key::F1 && k.modifiers == kNone) {
    if (help_) help_(150);
    return true;
  }
  commands_->Perform(editor_.KeyDown(k.key, k.modifiers));
  if (k.charCode >= 0) commands_->Perform(editor_.KeyPress(k.charCode));
  return true;
}

void PktForm::RestorePlacement(const EnvSettings& s) {
  auto px = [this](double twips) { return TwipsToPixels(this, twips); };
  // Top and left place the frame, width and height size the client area:
  // the pair Qt restores without drifting by the frame's size each run.
  if (s.PacketTop < 0) {
    resize(px(7350), px(1200));
    CentreForm(this);
  } else {
    move(px(s.PacketLeft), px(s.PacketTop));
    resize(px(s.PacketWidth), px(s.PacketHeight));
  }
  maximize_ = s.PacketState == 2;
}

void PktForm::ShowRestored() {
  if (maximize_)
    showMaximized();
  else
    show();
  inBox_->setFocus();
}

void PktForm::SetPacketColor(int kind, int32_t colour) {
  const QPalette::ColorRole roles[2][2] = {{QPalette::WindowText, QPalette::Text},
                                           {QPalette::Window, QPalette::Base}};
  if (kind != 3 && kind != 4) return;
  for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(inBox_), outBox_}) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles[kind - 3]) p.setColor(role, FromColour(colour));
    w->setPalette(p);
  }
  update();
}

bool PktForm::ApplyFont(const FontSpec& wanted, MessageSink& sink) {
  if (wanted.Name.empty()) return true;
  if (!(wanted.Size > 0 && wanted.Size <= 1638)) {
    Text size = std::to_string(wanted.Size);
    size.erase(size.find_last_not_of('0') + 1);
    if (!size.empty() && size.back() == '.') size.pop_back();
    const Text nl(CRLF);
    ShowMessage(sink,
                "Couldn't set font " + wanted.Name + (wanted.Size >= 0 ? " " : "") + size + "." + nl +
                    "Pick another font from the" + nl + wanted.MenuName + " menu." + nl,
                ErrorInfo{380, "Invalid property value"}, "Set Font");
    return false;
  }
  QFont font(AvailableFontFamily(ToQString(wanted.Name)));
  font.setPointSizeF(wanted.Size);
  font.setBold(wanted.Bold);
  font.setItalic(wanted.Italic);
  font.setUnderline(wanted.Underline);
  font.setStrikeOut(wanted.Strikethru);
  inBox_->setFont(font);
  outBox_->setFont(font);
  return true;
}

PaneMetrics PktForm::Measure() {
  const double tpp = TwipsPerPixelOf(this);
  const QFontMetrics fm(inBox_->font());
  PaneMetrics m;
  m.LineHeight = RoundTwips(fm.height() * tpp);
  m.SpaceWidth = std::max(1, RoundTwips(fm.horizontalAdvance(QString(100, ' ')) * tpp) / 100);
  m.LineColumns = RoundTwips(inBox_->width() * tpp) / m.SpaceWidth + 1;
  inBox_->resize(inBox_->width(), TwipsToPixels(this, m.LineHeight / 5.0 + m.LineHeight));
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

void PktForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (exitHandler_) exitHandler_();
}

}  // namespace orvex
