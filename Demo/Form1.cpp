#include "Form1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <string_view>
#include <utility>

#include "AboutBox.h"
#include "ElementSizes.h"
#include "Layout.h"
#include "TextValues.h"
#include "kyv/arith.h"

using kyv::Variant;
using kyvqt::ControlWidget;

// The form document is a resource of the form's static library, which the linker would
// otherwise leave out.
static void initResources() { Q_INIT_RESOURCE(Demo); }

namespace kyvdemo {
namespace {

// Which property each colour button writes.
struct ColourButton {
  const char* button;
  const char* control;
  const char* property;
};

constexpr ColourButton kColourButtons[] = {
    {"Command1(0)", "KyvMovingBar1", "FillColor"},  // the graph's background
    {"Command1(1)", "KyvMovingBar1", "BackColor"},  // the graph's bars
    {"Command7(0)", "KyvMultiBar1", "BackColor"},   {"Command7(1)", "KyvMultiBar1", "BarColor"},
    {"Command3(0)", "fourseg1", "BackColor"},       {"Command3(1)", "fourseg1", "DisplayColor"},
    {"Command4(0)", "Kyvvstat1", "FillColor"},      {"Command4(1)", "Kyvvstat1", "maxthreshcolor"},
    {"Command4(2)", "Kyvvstat1", "minthreshcolor"}, {"Command4(3)", "Kyvvstat1", "BackColor"},
    {"Command6(0)", "Hstat1", "FillColor"},         {"Command6(1)", "Hstat1", "maxthreshcolor"},
    {"Command6(2)", "Hstat1", "minthreshcolor"},    {"Command6(3)", "Hstat1", "BackColor"},
    {"Command5(0)", "HeartBeat1", "GridColor"},     {"Command5(1)", "HeartBeat1", "BackColor"},
    {"Command5(2)", "HeartBeat1", "LineColor"},
};

// Which property each option box drives: True/False when `boolean`, else 1/0. The grey
// state writes nothing, except where it counts as checked.
struct OptionBox {
  const char* box;
  const char* control;
  const char* property;
  bool boolean;
  bool greyIsOn = false;
};

constexpr OptionBox kOptionBoxes[] = {
    {"Check1(0)", "KyvMovingBar1", "BorderStyle", false}, {"Check1(1)", "KyvMovingBar1", "showgrid", true},
    {"Check1(2)", "KyvMovingBar1", "showLabel", true},    {"Check2", "fourseg1", "BorderStyle", false, true},
    {"Check3(0)", "Kyvvstat1", "BorderStyle", false},     {"Check3(1)", "Kyvvstat1", "Bar3D", false},
    {"Check3(2)", "Kyvvstat1", "CaptionVisible", true},   {"Check3(3)", "Kyvvstat1", "CaptionBorder", false},
    {"Check5(0)", "Hstat1", "BorderStyle", false},        {"Check5(1)", "Hstat1", "Bar3D", false},
    {"Check5(3)", "Hstat1", "CaptionVisible", true},      {"Check5(2)", "Hstat1", "CaptionBorder", false},
    {"Check4(0)", "HeartBeat1", "BorderStyle", false},    {"Check4(1)", "HeartBeat1", "GridVisible", true},
};

constexpr const char* kTimers[] = {"Timer1", "Timer2", "Timer3", "Timer4", "Timer5", "Timer6"};

// The control each timer feeds, whose panel its ticks belong to.
constexpr std::pair<const char*, const char*> kFeeds[] = {{"Timer1", "KyvMovingBar1"}, {"Timer2", "Kyvvstat1"},
                                                          {"Timer3", "fourseg1"},      {"Timer4", "HeartBeat1"},
                                                          {"Timer5", "Hstat1"},        {"Timer6", "KyvMultiBar1"}};

// The window's own handlers (loading, the about box) report as the form.
const QString kForm = QStringLiteral("Form");

// The title of the panel that holds element `name`, or the form's.
QString panelTitle(std::string_view name) {
  const PanelRow* panel = panelOf(name);
  return panel ? QString::fromUtf8(panel->title) : kForm;
}

QString feedPanel(std::string_view timer) {
  for (const auto& [name, control] : kFeeds)
    if (timer == name) return panelTitle(control);
  return kForm;
}

QString indexed(const char* array, int index) { return QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(index); }

// Interval 0 stops the timer; a running timer given its own interval again keeps running.
void setInterval(QTimer* timer, int milliseconds) {
  if (milliseconds == 0) return timer->stop();
  if (!timer->isActive() || timer->interval() != milliseconds) timer->start(milliseconds);
}

QFont formFont() {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);  // 8 points at the reference 96 dpi
  return font;
}

QWidget* makeElement(const ElementRow& row, QWidget* panel) {
  const QString text = QString::fromUtf8(row.text);
  switch (row.kind) {
    case Kind::Control: return new ControlWidget(panel);
    case Kind::CheckBox: {
      auto* box = new QCheckBox(text, panel);
      box->setChecked(row.checked);
      return box;
    }
    case Kind::Button: return new QPushButton(text, panel);
    case Kind::TextBox: return new QLineEdit(text, panel);
    case Kind::Label: {
      auto* label = new QLabel(text, panel);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case Kind::ComboBox: {
      auto* combo = new QComboBox(panel);
      for (int i = 1; i <= 10; ++i) combo->addItem(QString::number(i));
      combo->setCurrentIndex(-1);  // the load sets its text
      return combo;
    }
  }
  return nullptr;
}

}  // namespace

template <class Steps>
void Form1::handle(const QString& handler, const QString& panel, Steps&& steps) {
  const int reportedBefore = reported_.value(panel);
  ++running_[panel];
  try {
    steps();
  } catch (const kyv::Error& e) {
    const std::string_view kind = kyv::kindName(e.kind());
    showError(panel, handler, QString::fromUtf8(kind.data(), qsizetype(kind.size())), QString::fromUtf8(e.what()));
  } catch (const std::exception& e) {
    showError(panel, handler, QStringLiteral("error"), QString::fromUtf8(e.what()));
  }
  if (--running_[panel] == 0 && reported_.value(panel) == reportedBefore) statusLine_->clear(panel);
}

template <class T>
T* Form1::element(const QString& name) const {
  return qobject_cast<T*>(elements_.value(name));
}

Form1::Form1(Services services, QWidget* parent)
    : QMainWindow(parent),
      colours_(services.colours ? std::move(services.colours) : std::make_unique<ColourDialog>()),
      random_(services.random ? std::move(services.random) : std::make_unique<ClockRandom>()) {
  build();
  createControls(services.document ? *services.document : storedDocument());
  connectHandlers();
  Form_Load();
}

Form1::~Form1() = default;

kyv::FormDocument Form1::storedDocument() {
  initResources();
  QFile file(QStringLiteral(":/kyvdemo/Form1.json"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return kyv::FormDocument::fromJson(file.readAll().toStdString());
}

void Form1::build() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Kyv Demonstration"));
  auto* client = new QWidget(this);
  client->setFont(formFont());
  client->setFixedSize(pixels(0, 0, kClientWidth, kClientHeight).size());
  setCentralWidget(client);
  QHash<QString, QFrame*> panelFrames;
  for (const PanelRow& p : panels()) {
    auto* frame = new QFrame(client);
    frame->setObjectName(QString::fromUtf8(p.name));
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(pixels(p.left, p.top, p.width, p.height));
    panelFrames.insert(frame->objectName(), frame);
  }
  for (const ElementRow& e : elements()) {
    QWidget* w = makeElement(e, panelFrames.value(QString::fromUtf8(e.panel)));
    w->setObjectName(QString::fromUtf8(e.name));
    w->setGeometry(pixels(e.left, e.top, e.width, e.height));
    elements_.insert(w->objectName(), w);
  }
  QFont caption(QStringLiteral("Times New Roman"));
  caption.setStyleHint(QFont::Serif);
  caption.setPixelSize(11);  // 8.25 points
  caption.setBold(true);
  element<QLabel>(QStringLiteral("Label6"))->setFont(caption);
  element<QLabel>(QStringLiteral("Label6"))->setWordWrap(true);
  // The hosted controls keep their extents; every other element grows where our fonts and
  // style need more room than the layout gives.
  for (QFrame* frame : std::as_const(panelFrames)) {
    QList<QWidget*> inPanel;
    for (const ElementRow& e : elements())
      if (e.kind != Kind::Control && frame->objectName() == QLatin1String(e.panel))
        inPanel.append(elements_.value(QString::fromUtf8(e.name)));
    fitToContents(inPanel, frame->contentsRect());
  }
  for (const char* name : kTimers) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QLatin1String(name));
    timers_.insert(timer->objectName(), timer);
  }
  QAction* about = menuBar()->addAction(QStringLiteral("About"));
  about->setObjectName(QStringLiteral("abmenu"));
  connect(about, &QAction::triggered, this, &Form1::abmenu_Click);
  statusBar()->setObjectName(QStringLiteral("status"));
  statusBar()->setSizeGripEnabled(false);
  statusLine_ = new StatusLine(statusBar());
  statusBar()->addWidget(statusLine_, 1);
  // The panels are laid out in twips for this size: the window neither shrinks nor grows.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

// Each control comes from the form document by its element name: class, extent and stored
// properties. A control that cannot be created leaves its place empty.
void Form1::createControls(const kyv::FormDocument& document) {
  for (const ElementRow& e : elements()) {
    if (e.kind != Kind::Control) continue;
    const QString name = QString::fromUtf8(e.name);
    ControlWidget* w = control(e.name);
    const QString panel = panelTitle(e.name);
    connect(w, &ControlWidget::errorOccurred, this,
            [this, name, panel](const QString& step, const QString& kind, const QString& message) {
              showError(panel, name + QLatin1Char('.') + step, kind, message);
            });
    const kyv::FormControl* entry = document.find(e.name);
    if (!entry) {
      showError(panel, name + QStringLiteral(".Create"), QStringLiteral("cannot-create-object"),
                QStringLiteral("the form document holds no control named ") + name);
      continue;
    }
    w->restore(*entry);
    w->move(pixels(e.left, e.top, e.width, e.height).topLeft());
  }
}

void Form1::connectHandlers() {
  for (int i = 0; i < 12; ++i)
    connect(element<QPushButton>(indexed("Command2", i)), &QPushButton::clicked, this,
            [this, i] { Command2_Click(i); });
  for (const ColourButton& b : kColourButtons) {
    ControlWidget* target = control(b.control);
    connect(element<QPushButton>(QLatin1String(b.button)), &QPushButton::clicked, this, [this, b, target] {
      handle(QLatin1String(b.button), panelTitle(b.button), [&] { colourClick(target, b.property); });
    });
  }
  for (const OptionBox& o : kOptionBoxes) {
    ControlWidget* target = control(o.control);
    connect(element<QCheckBox>(QLatin1String(o.box)), &QCheckBox::stateChanged, this, [this, o, target](int state) {
      handle(QLatin1String(o.box), panelTitle(o.box),
             [&] { optionClick(target, o.property, state, o.boolean, o.greyIsOn); });
    });
  }
  connect(element<QPushButton>(QStringLiteral("Command8")), &QPushButton::clicked, this, &Form1::Command8_Click);
  const std::pair<const char*, void (Form1::*)()> ticks[] = {
      {"Timer1", &Form1::Timer1_Timer}, {"Timer2", &Form1::Timer2_Timer}, {"Timer3", &Form1::Timer3_Timer},
      {"Timer4", &Form1::Timer4_Timer}, {"Timer5", &Form1::Timer5_Timer}, {"Timer6", &Form1::Timer6_Timer}};
  for (const auto& [name, tick] : ticks) {
    connect(timers_.value(QLatin1String(name)), &QTimer::timeout, this,
            [this, name = QLatin1String(name), panel = feedPanel(name), tick] {
              handle(name, panel, [&] { (this->*tick)(); });
            });
  }
  control("Kyvvstat1")->setEventHandler([this](ControlWidget&, const kyv::EventInfo& e) {
    if (kyv::sameName(e.name, "MaxThreshReached")) Kyvvstat1_MaxThreshReached();
  });
  control("Hstat1")->setEventHandler([this](ControlWidget&, const kyv::EventInfo& e) {
    if (kyv::sameName(e.name, "MaxThreshReached")) Hstat1_MaxThreshReached();
  });
}

void Form1::Form_Load() {
  handle(QStringLiteral("Form_Load"), kForm, [&] {
    verticalCounter_ = 0;
    horizontalCounter_ = 0;
    box(QStringLiteral("Text4(1)"))->setText(numberText(control("HeartBeat1")->get("HorizCount").toLong()));
    box(QStringLiteral("Text1"))->setText(numberText(control("KyvMovingBar1")->get("MaxLimit").toLong()));
    control("Kyvvstat1")->put("CaptionVisible", true);
    control("Hstat1")->put("CaptionVisible", true);
    element<QComboBox>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("10"));
  });
}

void Form1::Command2_Click(int index) {
  const QString handler = indexed("Command2", index);
  handle(handler, panelTitle(handler.toStdString()), [&] {
    const auto enable = [&](std::initializer_list<QWidget*> widgets, bool on) {
      for (QWidget* w : widgets) w->setEnabled(on);
    };
    QLineEdit* const text3[] = {box(indexed("Text3", 0)), box(indexed("Text3", 1)), box(indexed("Text3", 2)),
                                box(indexed("Text3", 3)), box(indexed("Text3", 4)), box(indexed("Text3", 5))};
    QLineEdit* const text40 = box(indexed("Text4", 0));
    QComboBox* const combo = element<QComboBox>(QStringLiteral("Combo1"));
    QLineEdit* const text2 = box(QStringLiteral("Text2"));
    switch (index) {
      case 0:
        control("KyvMovingBar1")->put("MaxLimit", longValue(box(QStringLiteral("Text1"))->text()));
        return setInterval(timers_["Timer1"], 500);
      case 1: return setInterval(timers_["Timer1"], 0);
      case 2: return setInterval(timers_["Timer3"], 0);
      case 3: return setInterval(timers_["Timer3"], 500);
      case 4: setInterval(timers_["Timer2"], 0); return enable({text3[0], text3[1], text3[2]}, true);
      case 5: {
        ControlWidget* bar = control("Kyvvstat1");
        bar->put("Maxlimit", integerValue(text3[0]->text()));
        bar->put("MaxThreshold", integerValue(text3[1]->text()));
        bar->put("MinThreshold", integerValue(text3[2]->text()));
        enable({text3[0], text3[1], text3[2]}, false);
        return setInterval(timers_["Timer2"], 500);
      }
      case 6: setInterval(timers_["Timer4"], 0); return enable({text40}, true);
      case 7: {
        ControlWidget* trace = control("HeartBeat1");
        trace->put("MaxLimit", integerValue(text40->text()));
        trace->put("HorizCount", integerValue(box(indexed("Text4", 1))->text()));
        enable({text40}, false);
        return setInterval(timers_["Timer4"], 150);
      }
      case 8: {
        ControlWidget* bar = control("Hstat1");
        bar->put("Maxlimit", integerValue(text3[5]->text()));
        bar->put("MaxThreshold", integerValue(text3[4]->text()));
        bar->put("MinThreshold", integerValue(text3[3]->text()));
        enable({text3[3], text3[4], text3[5]}, false);
        return setInterval(timers_["Timer5"], 500);
      }
      case 9: setInterval(timers_["Timer5"], 0); return enable({text3[3], text3[4], text3[5]}, true);
      case 10: setInterval(timers_["Timer6"], 0); return enable({combo, text2}, true);
      case 11: {
        ControlWidget* bars = control("KyvMultiBar1");
        bars->put("Columns", integerValue(combo->currentText()));
        combo->setEnabled(false);
        bars->put("MaxLimit", integerValue(text2->text()));
        text2->setEnabled(false);
        return setInterval(timers_["Timer6"], 150);
      }
      default: return;
    }
  });
}

// The dialog keeps its colour between uses; 0 (nothing chosen yet, or black) is never applied.
void Form1::colourClick(ControlWidget* target, const char* property) {
  colours_->ShowColor(this);
  if (colours_->Color() == 0) return;
  target->put(property, kyv::Colour{colours_->Color()});
}

void Form1::optionClick(ControlWidget* target, const char* property, int state, bool boolean, bool greyIsOn) {
  const Variant on = boolean ? Variant(true) : Variant(int16_t(1));
  const Variant off = boolean ? Variant(false) : Variant(int16_t(0));
  if (state == Qt::Checked || (greyIsOn && state == Qt::PartiallyChecked)) return target->put(property, on);
  if (state == Qt::Unchecked) target->put(property, off);
}

void Form1::Timer1_Timer() {
  random_->Randomize();
  Variant v(floorInteger(leadingNumber(box(QStringLiteral("Text1"))->text()) * random_->Rnd() + 1));
  control("KyvMovingBar1")->call("MoveBar", v);
}

// The counter is the argument; the control only reads it, and the threshold handler may
// set it back to 0 while the call runs.
void Form1::Timer2_Timer() {
  verticalCounter_ = kyv::toInt16(int32_t(verticalCounter_) + 1);
  Variant counter(verticalCounter_);
  control("Kyvvstat1")->call("incbar", counter);
}

void Form1::Timer3_Timer() {
  random_->Randomize();
  Variant v(floorLong(random_->Rnd() * 9999.0 + 1));
  control("fourseg1")->call("send", v);
}

void Form1::Timer4_Timer() {
  random_->Randomize();
  Variant v(floorInteger(leadingNumber(box(indexed("Text4", 0))->text()) * random_->Rnd() + 1));
  control("HeartBeat1")->call("Plot", v);
}

void Form1::Timer5_Timer() {
  horizontalCounter_ = kyv::toInt16(int32_t(horizontalCounter_) + 1);
  Variant counter(horizontalCounter_);
  control("Hstat1")->call("incbar", counter);
}

// One randomly chosen column gets a random height from 1 to MaxLimit - 1.
void Form1::Timer6_Timer() {
  ControlWidget* bars = control("KyvMultiBar1");
  random_->Randomize();
  Variant column(floorInteger(bars->get("Columns").toDouble() * random_->Rnd()));
  bars->call("Column", column);
  Variant value(floorInteger((bars->get("MaxLimit").toDouble() - 1) * random_->Rnd() + 1));
  bars->call("Value", value);
}

void Form1::Kyvvstat1_MaxThreshReached() {
  handle(QStringLiteral("Kyvvstat1_MaxThreshReached"), panelTitle("Kyvvstat1"), [&] {
    verticalCounter_ = 0;
    Variant counter(verticalCounter_);
    control("Kyvvstat1")->call("incbar", counter);
  });
}

void Form1::Hstat1_MaxThreshReached() {
  handle(QStringLiteral("Hstat1_MaxThreshReached"), panelTitle("Hstat1"), [&] {
    horizontalCounter_ = 0;
    Variant counter(horizontalCounter_);
    control("Hstat1")->call("incbar", counter);
  });
}

// A new layout of the trace: its point arrays are made again for the HorizCount in force
// and the trace starts again at the left edge. The only way out once Horiz Count has been
// raised past the points the last layout made (every Plot then fails), short of a resize.
void Form1::Command8_Click() {
  handle(QStringLiteral("Command8"), panelTitle("Command8"), [&] {
    ControlWidget* trace = control("HeartBeat1");
    trace->put("BackColor", trace->get("BackColor"));  // a BackColor write clears the drawn trace
    trace->control()->Resize();
  });
}

void Form1::abmenu_Click() {
  handle(QStringLiteral("abmenu"), kForm, [&] {
    if (!frmAbout_) frmAbout_ = new AboutBox(ControlWidget::defaultRegistry(), this);
    frmAbout_->exec();
  });
}

void Form1::startAll() {
  for (int i = 0; i < 12; ++i) {
    QPushButton* button = element<QPushButton>(indexed("Command2", i));
    if (button->text() == QLatin1String("Start")) button->click();
  }
}

QList<QTimer*> Form1::feedTimers() const {
  QList<QTimer*> timers;
  for (const char* name : kTimers) timers.append(timers_.value(QLatin1String(name)));
  return timers;
}

QString Form1::statusText() const { return statusLine_->currentError(); }

QList<StatusLine::Report> Form1::recentErrors() const { return statusLine_->recent(); }

int Form1::errorsReported() const {
  int total = 0;
  for (int n : reported_) total += n;
  return total;
}

void Form1::showError(const QString& panel, const QString& where, const QString& kind, const QString& message) {
  ++reported_[panel];
  // The heartbeat's points outnumber its arrays until the trace is laid out again.
  const bool tooManyPoints = panel == panelTitle("HeartBeat1") && kind == QLatin1String("subscript-out-of-range");
  statusLine_->report(panel, where, kind, message, tooManyPoints ? QStringLiteral("press New Trace") : QString());
}

ControlWidget* Form1::control(const char* name) const { return element<ControlWidget>(QLatin1String(name)); }
QLineEdit* Form1::box(const QString& name) const { return element<QLineEdit>(name); }

}  // namespace kyvdemo
