#include "ui/cw_options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstring>

#include "core/config/settings_table.h"
#include "core/frame/key_table.h"
#include "ui/centre_form.h"
#include "ui/qt_text.h"

namespace orvex {
namespace {

// A page of a tab: its rows in a grid, scrolled when the screen is small.
QGridLayout* Page(QTabWidget* tabs, Tab tab) {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  auto* scroll = new QScrollArea(tabs);
  scroll->setWidget(page);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  tabs->addTab(scroll, TabTitle(tab));
  return grid;
}

// The widths of what is typed: a number of the row's widest limit, a text
// of some 24 characters.
int CharsFor(const Setting& row) {
  if (!std::holds_alternative<Text EnvSettings::*>(row.field))
    return static_cast<int>(
        std::max(std::to_string(row.limits.lo).size(), std::to_string(row.limits.hi).size()));
  return 24;
}

}  // namespace

CWEnv::CWEnv(const CWOptionsEntries& e, CWOptionsActions& actions, QWidget* parent,
             const Text& playing, const std::vector<std::string>& devices)
    : QDialog(parent) {
  setObjectName("CWEnv");
  setWindowTitle(" CW Messages, Speed, ...");
  tabs_ = new QTabWidget(this);
  std::map<Tab, QGridLayout*> pages;
  for (Tab tab : {Tab::Keying, Tab::Radio, Tab::Sound, Tab::Loggers, Tab::Messages})
    pages[tab] = Page(tabs_, tab);
  for (const Setting& row : SettingsTable()) {
    if (row.tab == Tab::None) continue;
    QGridLayout* grid = pages.at(row.tab);
    QWidget* page = grid->parentWidget();
    const int at = grid->rowCount();
    const auto typed = e.typed.find(row.key);
    const QString value = typed == e.typed.end() ? QString() : ToQString(typed->second);
    if (row.how == Written::Numbered) {
      for (int n = 1; n <= 8; ++n) {
        auto* edit = new QLineEdit(ToQString(e.messages[static_cast<size_t>(n - 1)]), page);
        edit->setObjectName(QString("Msgs%1").arg(n - 1));
        edit->setMaxLength(32767);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(30, 'M')));
        // The number and the key that sends it.
        grid->addWidget(
            new QLabel(QString("%1  %2").arg(n).arg(ToQString(MessageKeyName(n))), page),
            at + n - 1, 0);
        grid->addWidget(edit, at + n - 1, 1);
        msgs_[static_cast<size_t>(n - 1)] = edit;
      }
      continue;
    }
    QWidget* field = nullptr;
    if (row.entry == Entry::Flag) {
      auto* box = new QCheckBox(row.caption, page);
      box->setChecked(value != "0");
      grid->addWidget(box, at, 0, 1, 2);
      field = box;
    } else if (row.entry == Entry::Options) {
      field = new QWidget(page);
      auto* column = new QVBoxLayout(field);
      column->setContentsMargins(0, 0, 0, 0);
      auto* group = new QButtonGroup(field);
      for (const QString& option : QString(row.options).split('|')) {
        auto* button = new QRadioButton(option.section('=', 1), field);
        button->setObjectName(QString(row.key) + option.section('=', 0, 0));
        button->setChecked(option.section('=', 0, 0) == value);
        group->addButton(button);
        column->addWidget(button);
      }
      grid->addWidget(field, at, 0, 1, 2);
    } else {
      if (row.choices || row.entry == Entry::Port) {
        auto* box = new QComboBox(page);
        if (row.entry == Entry::Port) {
          box->setEditable(true);
          box->addItems({"None", "LPT1", "LPT2", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6",
                         "COM7", "COM8"});
          // The adapters plugged in, by the names that say what they are.
          for (const std::string& device : devices) box->addItem(QString::fromStdString(device));
          box->setMinimumContentsLength(12);
          box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
          box->setInsertPolicy(QComboBox::NoInsert);
          box->setEditText(value);
        } else {
          box->addItems(QString(row.choices).split('|'));
          box->setCurrentText(value);
          connect(box, &QComboBox::currentTextChanged, this, [this] { FollowKeyer(); });
        }
        field = box;
      } else {
        auto* edit = new QLineEdit(value, page);
        const int chars = CharsFor(row);
        if (chars < 24) edit->setMaxLength(chars);
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(chars + 1, '0')) + 16);
        connect(edit, &QLineEdit::textChanged, this, [this] { FollowKeyer(); });
        field = edit;
      }
      auto* label = new QLabel(row.caption, page);
      label->setBuddy(field);
      grid->addWidget(label, at, 0);
      auto* after = new QHBoxLayout;
      after->addWidget(field);
      if (*row.unit) after->addWidget(new QLabel(row.unit, page));
      if (row.note) {
        auto* note = new QLabel(page);
        note->setObjectName(QString(row.key) + "Note");
        notes_[row.key] = note;
        after->addWidget(note);
      }
      after->addStretch();
      grid->addLayout(after, at, 1);
    }
    field->setObjectName(row.key);
    fields_[row.key] = field;
  }
  // Which output the operator hears: a missing PC speaker or MIDI synth
  // falls back to the sound card, and the sound card to silence.
  QGridLayout* sound = pages[Tab::Sound];
  auto* playingLabel =
      new QLabel("Playing through: " + ToQString(playing.empty() ? Text("none") : playing),
                 sound->parentWidget());
  playingLabel->setObjectName("SidetoneOutput");
  playingLabel->setWordWrap(true);
  sound->addWidget(playingLabel, sound->rowCount(), 0, 1, 2);
  for (const auto& [tab, grid] : pages) grid->setRowStretch(grid->rowCount(), 1);

  save_ = new QPushButton("&Save", this);
  save_->setObjectName("SaveButton");
  save_->setDefault(true);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("CancelButton");
  help_ = new QPushButton("&Help", this);
  help_->setObjectName("CmdHelp");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* b : {save_, cancel_, help_}) buttons->addWidget(b);
  auto* all = new QVBoxLayout(this);
  all->addWidget(tabs_);
  all->addLayout(buttons);

  connect(save_, &QPushButton::clicked, this, [this, &actions] {
    if (actions.Save(Collected())) accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [&actions] { actions.Help(); });
  FollowKeyer();
  // As large as the largest page wants, then no larger than the screen (the
  // pages scroll then).
  QSize content;
  for (const auto& [tab, grid] : pages)
    content = content.expandedTo(grid->parentWidget()->sizeHint());
  adjustSize();
  resize(size() + (content - tabs_->currentWidget()->size()).expandedTo({0, 0}) + QSize(8, 8));
  FitAndCentre(this);
  Field("CWPort")->setFocus();
}

QWidget* CWEnv::Field(const std::string& key) const {
  const auto found = fields_.find(key);
  return found == fields_.end() ? nullptr : found->second;
}

QLabel* CWEnv::Note(const std::string& key) const {
  const auto found = notes_.find(key);
  return found == notes_.end() ? nullptr : found->second;
}

CWOptionsEntries CWEnv::Collected() const {
  CWOptionsEntries e;
  for (const auto& [key, field] : fields_) {
    Text typed;
    if (const auto* edit = qobject_cast<const QLineEdit*>(field))
      typed = FromQString(edit->text());
    else if (const auto* box = qobject_cast<const QComboBox*>(field))
      typed = FromQString(box->currentText());
    else if (const auto* flag = qobject_cast<const QCheckBox*>(field))
      typed = flag->isChecked() ? "1" : "0";
    else
      for (const auto* button : field->findChildren<QRadioButton*>())
        if (button->isChecked()) typed = FromQString(button->objectName().mid(int(key.size())));
    e.typed[key] = typed;
  }
  for (size_t i = 0; i < msgs_.size(); ++i) e.messages[i] = FromQString(msgs_[i]->text());
  return e;
}

void CWEnv::FollowKeyer() {
  const CWOptionsEntries e = Collected();
  for (const Setting& row : SettingsTable()) {
    if (QWidget* field = Field(row.key)) field->setEnabled(InUse(row, e));
    if (QLabel* note = Note(row.key)) note->setText(ToQString(row.note(e.typed.at(row.key))));
  }
}

}  // namespace orvex
