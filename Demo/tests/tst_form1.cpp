// The main form on the offscreen platform, with a scripted colour dialog and a scripted
// random source. Tests of a panel whose control is not built yet are skipped.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <deque>
#include <functional>

#include "AboutBox.h"
#include "Form1.h"
#include "Layout.h"
#include "TextValues.h"
#include "kyv/elements.h"

using kyv::Colour;
using kyv::Variant;
using kyvdemo::Form1;
using kyvqt::ControlWidget;

namespace {

// Answers ShowColor from a script: a colour chosen, or nothing (the dialog cancelled).
class ScriptedColours final : public kyvdemo::ColourPicker {
 public:
  std::deque<std::optional<uint32_t>> answers;
  int shown = 0;
  void ShowColor(QWidget*) override {
    ++shown;
    if (answers.empty()) return;
    if (answers.front()) colour_ = *answers.front();
    answers.pop_front();
  }
  uint32_t Color() const override { return colour_; }

 private:
  uint32_t colour_ = 0;
};

class ScriptedRandom final : public kyvdemo::RandomSource {
 public:
  std::deque<float> values;
  int seeds = 0;
  int draws = 0;
  void Randomize() override { ++seeds; }
  float Rnd() override {
    ++draws;
    if (values.empty()) return 0.5f;
    const float v = values.front();
    values.pop_front();
    return v;
  }
};

constexpr float kAlmostOne = 0.99999994f;  // the largest float below 1

const kyv::Element* findElement(const kyv::Control& c, std::string_view path) {
  for (const kyv::Element* e : c.UserControl().elements())
    if (e->path() == path) return e;
  return nullptr;
}

template <class T>
const T& elementOf(const kyv::Control& c, std::string_view path) {
  const kyv::Element* e = findElement(c, path);
  if (!e) throw std::runtime_error("no element " + std::string(path));
  return static_cast<const T&>(*e);
}

QString caption(ControlWidget* w) {
  return QString::fromStdString(elementOf<kyv::Label>(*w->control(), "cntlbl").Caption());
}

// Which of the four-digit display's segments of digit `index` are lit, as "0110000".
QString litSegments(ControlWidget* w, int index) {
  const auto& slot = elementOf<kyv::ControlSlot>(*w->control(), "digit(" + std::to_string(index) + ")");
  QString lit;
  for (int s = 0; s < 7; ++s)
    lit += elementOf<kyv::LineElement>(*slot.control(), "seg(" + std::to_string(s) + ")").Visible() ? '1' : '0';
  return lit;
}

// True when `box` shows all of `text` at once: with the cursor at the end, the line edit
// scrolls its text only when it is wider than the box, and the start then moves left.
bool showsWhole(QLineEdit* box, const QString& text) {
  const QString before = box->text();
  box->setText(text);
  box->setCursorPosition(0);
  box->grab();  // a paint settles the scrolling
  const int start = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
  box->setCursorPosition(int(text.size()));
  box->grab();
  box->setCursorPosition(0);  // read where the start is drawn now, before a paint scrolls back
  const bool whole = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() == start;
  box->setText(before);
  return whole;
}

kyv::ErrorKind kindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const kyv::Error& e) {
    return e.kind();
  }
  return kyv::ErrorKind{};
}

}  // namespace

// Skips the test unless the named controls were created.
#define REQUIRE_CONTROLS(...)                                               \
  do {                                                                      \
    const QString missing = missingControls({__VA_ARGS__});                 \
    if (!missing.isEmpty()) QSKIP(qPrintable("not built yet: " + missing)); \
  } while (0)

class TestForm1 : public QObject {
  Q_OBJECT

 public:
  std::unique_ptr<Form1> form;
  ScriptedColours* colours = nullptr;
  ScriptedRandom* random = nullptr;
  QString statusAtStart;

  void open(std::optional<kyv::FormDocument> document = std::nullopt) {
    form.reset();
    auto c = std::make_unique<ScriptedColours>();
    auto r = std::make_unique<ScriptedRandom>();
    colours = c.get();
    random = r.get();
    form = std::make_unique<Form1>(Form1::Services{std::move(c), std::move(r), std::move(document)});
    statusAtStart = form->statusText();
  }

  // The status line still shows what it showed after the load (controls not built yet).
  void noNewError() const { QCOMPARE(form->statusText(), statusAtStart); }

  template <class T = QWidget>
  T* find(const QString& name) const {
    T* w = form->findChild<T*>(name);
    if (!w) qFatal("no element %s", qPrintable(name));
    return w;
  }
  ControlWidget* control(const char* name) const { return find<ControlWidget>(QLatin1String(name)); }
  QLineEdit* box(const char* name) const { return find<QLineEdit>(QLatin1String(name)); }
  QTimer* timer(const char* name) const { return find<QTimer>(QLatin1String(name)); }
  void click(int command2) const { find<QPushButton>(QStringLiteral("Command2(%1)").arg(command2))->click(); }
  void tick(const char* name) const { QVERIFY(QMetaObject::invokeMethod(timer(name), "timeout")); }

  QString missingControls(std::initializer_list<const char*> names) const {
    QStringList missing;
    for (const char* n : names)
      if (!control(n)->control()) missing << QLatin1String(n);
    return missing.join(QStringLiteral(", "));
  }

  // Stores `value` under `key` for control `name`, in place of what `doc` held there.
  static void store(kyv::FormDocument& doc, const char* name, const char* key, const Variant& value) {
    for (kyv::FormControl& c : doc.controls) {
      if (c.name != name) continue;
      kyv::PropertyBag bag;
      for (const auto& e : c.properties.entries())
        if (!kyv::sameName(e.key, key)) bag.WriteProperty(e.key, e.value);
      bag.WriteProperty(key, value);
      c.properties = bag;
    }
  }

 private slots:
  void initTestCase() { kyvdemo::setApplicationIdentity(); }
  void init() { open(); }
  void cleanup() { form.reset(); }

  // Tests of a control skip while it cannot be created; with every control built, this one
  // fails instead, so that a control that stops loading cannot pass for one not built.
  void everyControlOfTheFormIsCreated() {
    for (const kyv::FormControl& entry : Form1::storedDocument().controls)
      QVERIFY2(control(entry.name.c_str())->control(), entry.name.c_str());
  }

  void textToNumberRules() {
    using namespace kyvdemo;
    QCOMPARE(leadingNumber(QStringLiteral("abc")), 0.0);
    QCOMPARE(leadingNumber(QStringLiteral("")), 0.0);
    QCOMPARE(leadingNumber(QStringLiteral("-")), 0.0);
    QCOMPARE(leadingNumber(QStringLiteral("  12abc")), 12.0);
    QCOMPARE(leadingNumber(QStringLiteral("+7")), 7.0);
    QCOMPARE(leadingNumber(QStringLiteral("-3.5e2x")), -350.0);
    QCOMPARE(leadingNumber(QStringLiteral("1D3")), 1000.0);
    QCOMPARE(leadingNumber(QStringLiteral(".5")), 0.5);
    QCOMPARE(leadingNumber(QStringLiteral("4e")), 4.0);
    QCOMPARE(leadingNumber(QStringLiteral("1e-999")), 0.0);
    QCOMPARE(integerValue(QStringLiteral("2.5")), int16_t(2));
    QCOMPARE(integerValue(QStringLiteral("3.5")), int16_t(4));
    QCOMPARE(integerValue(QStringLiteral("-2.5")), int16_t(-2));
    QCOMPARE(integerValue(QStringLiteral("-32768.5")), int16_t(-32768));
    QCOMPARE(kindOf([] { integerValue(QStringLiteral("32767.5")); }), kyv::ErrorKind::Overflow);
    QCOMPARE(kindOf([] { integerValue(QStringLiteral("1e999")); }), kyv::ErrorKind::Overflow);
    // Beyond a double, a number is too large or too small by where its first significant
    // digit stands, whatever the digits before it.
    for (const char* huge : {"0.5e400", ".5e400", "0.0001e313", "-0.5e400", "12e99999999999999999999"})
      QCOMPARE(std::abs(leadingNumber(QString::fromLatin1(huge))), HUGE_VAL);
    QCOMPARE(kindOf([] { integerValue(QStringLiteral(".5e400")); }), kyv::ErrorKind::Overflow);
    const QString tinyWithoutExponent = QStringLiteral("0.") + QString(400, QLatin1Char('0')) + QStringLiteral("1");
    for (const QString& tiny : {QStringLiteral("0.5e-400"), QStringLiteral("100e-400"), tinyWithoutExponent,
                                QStringLiteral("0.") + QString(400, QLatin1Char('0')) + QStringLiteral("1e+5")})
      QCOMPARE(leadingNumber(tiny), 0.0);
    QCOMPARE(longValue(QStringLiteral("40000")), int32_t(40000));
    QCOMPARE(kindOf([] { longValue(QStringLiteral("3e9")); }), kyv::ErrorKind::Overflow);
    QCOMPARE(floorInteger(-0.5), int16_t(-1));
    QCOMPARE(floorInteger(32767.9), int16_t(32767));
    QCOMPARE(kindOf([] { floorInteger(32768); }), kyv::ErrorKind::Overflow);
    QCOMPARE(floorLong(9999.99), int32_t(9999));
  }

  void windowAndLayout() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Kyv Demonstration"));
    QCOMPARE(form->centralWidget()->size(), QSize(693, 508));
    QCOMPARE(find(QStringLiteral("verticalBarPanel"))->geometry(), QRect(529, 192, 160, 313));
    // Laid out at (101, 269, 54, 16) and (139, 76, 34, 20): the button grows to its size
    // hint's 21 rows about its middle row, the box to 22 rows and to the width of five digits.
    QCOMPARE(find(QStringLiteral("Command2(5)"))->geometry(), QRect(101, 267, 54, 21));
    QCOMPARE(find(QStringLiteral("Text3(4)"))->geometry(), QRect(139, 75, 38, 22));
    const std::pair<const char*, QRect> controls[] = {
        {"KyvMovingBar1", {9, 15, 252, 150}}, {"KyvMultiBar1", {10, 18, 140, 87}}, {"fourseg1", {7, 14, 119, 39}},
        {"Kyvvstat1", {8, 19, 27, 284}},      {"Hstat1", {10, 14, 256, 24}},       {"HeartBeat1", {9, 17, 351, 132}}};
    for (const auto& [name, rect] : controls) QCOMPARE(control(name)->geometry(), rect);
    const char* const captions[] = {"Start", "Stop",  "Stop",  "Start", "Stop", "Start",
                                    "Stop",  "Start", "Start", "Stop",  "Stop", "Start"};
    for (int i = 0; i < 12; ++i)
      QCOMPARE(find<QPushButton>(QStringLiteral("Command2(%1)").arg(i))->text(), QLatin1String(captions[i]));
    auto* combo = find<QComboBox>(QStringLiteral("Combo1"));
    QCOMPARE(combo->count(), 10);
    QCOMPARE(combo->itemText(9), QStringLiteral("10"));
    for (const char* t : {"Timer1", "Timer2", "Timer3", "Timer4", "Timer5", "Timer6"}) QVERIFY(!timer(t)->isActive());
    QCOMPARE(form->findChild<QAction*>(QStringLiteral("abmenu"))->text(), QStringLiteral("About"));
  }

  // The window keeps the size its panels are laid out for.
  void theWindowKeepsItsDesignedSize() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QSize designed = form->size();
    QCOMPARE(form->minimumSize(), designed);
    QCOMPARE(form->maximumSize(), designed);
    form->resize(designed + QSize(300, 200));
    QCOMPARE(form->size(), designed);
  }

  // Every element shows whole: inside its panel, clear of its neighbours, a check box as
  // high as its indicator, a caption as wide as its text, a text box wide enough for five
  // digits.
  void everyElementIsWhole() {
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    for (const kyvdemo::PanelRow& p : kyvdemo::panels()) {
      QWidget* panel = find(QString::fromUtf8(p.name));
      QList<QWidget*> inPanel;
      for (const kyvdemo::ElementRow& e : kyvdemo::elements())
        if (e.kind != kyvdemo::Kind::Control && QLatin1String(e.panel) == QLatin1String(p.name))
          inPanel << find(QString::fromUtf8(e.name));
      for (QWidget* w : inPanel) {
        const QString name = w->objectName();
        QVERIFY2(panel->contentsRect().contains(w->geometry()), qPrintable(name));
        for (QWidget* other : inPanel)
          QVERIFY2(other == w || !other->geometry().intersects(w->geometry()),
                   qPrintable(name + QStringLiteral(" overlaps ") + other->objectName()));
        if (qobject_cast<QCheckBox*>(w)) {
          QVERIFY2(w->height() >= w->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w), qPrintable(name));
          QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(name));
        }
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap())
          QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(name));
        if (auto* box = qobject_cast<QLineEdit*>(w))
          QVERIFY2(showsWhole(box, QStringLiteral("40000")), qPrintable(name));
      }
    }
  }

  // Every control comes back with the values the form document stores for it.
  void storedPropertiesAreRestored() {
    int checked = 0;
    for (const kyv::FormControl& entry : Form1::storedDocument().controls) {
      ControlWidget* w = control(entry.name.c_str());
      QCOMPARE(w->className(), QString::fromStdString(entry.className));
      if (!w->control()) continue;
      for (const auto& [key, stored] : entry.properties.entries()) {
        if (kyv::sameName(key, "captionvisible")) continue;  // the load shows the captions
        const Variant actual = w->get(key);
        QCOMPARE(actual, stored.convertTo(actual.type()));
        ++checked;
      }
    }
    if (checked == 0) QSKIP("no control with stored properties is built yet");
  }

  void loadSteps() {
    kyv::FormDocument doc = Form1::storedDocument();
    store(doc, "HeartBeat1", "horizcount", int16_t(37));
    store(doc, "KyvMovingBar1", "MaxLimit", int32_t(250));
    open(doc);
    REQUIRE_CONTROLS("HeartBeat1", "KyvMovingBar1", "Kyvvstat1", "Hstat1");
    QCOMPARE(box("Text4(1)")->text(), QStringLiteral("37"));
    QCOMPARE(box("Text1")->text(), QStringLiteral("250"));
    QCOMPARE(control("Kyvvstat1")->get("CaptionVisible"), Variant(true));
    QCOMPARE(control("Hstat1")->get("CaptionVisible"), Variant(true));
    QCOMPARE(find<QComboBox>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("10"));
    QCOMPARE(form->verticalCounter(), int16_t(0));
    QCOMPARE(form->horizontalCounter(), int16_t(0));
    QVERIFY(!form->statusText().startsWith(QStringLiteral("Form_Load")));
  }

  // A control that cannot be created ends the load at the step that needs it; the rest of
  // the form goes on working.
  void aMissingControlShowsInTheStatusLine() {
    kyv::FormDocument doc = Form1::storedDocument();
    for (kyv::FormControl& c : doc.controls)
      if (c.name == "HeartBeat1") c.className = "KyvNowhere.Pulse";
    open(doc);
    QVERIFY(!control("HeartBeat1")->control());
    QVERIFY(form->statusText().startsWith(QStringLiteral("Form_Load: cannot-create-object: ")));
    QVERIFY(form->statusText().contains(QStringLiteral("KyvNowhere.Pulse")));
    QCOMPARE(find<QComboBox>(QStringLiteral("Combo1"))->currentText(), QString());
    click(7);
    QVERIFY(form->statusText().startsWith(QStringLiteral("Command2(7): cannot-create-object")));
    QVERIFY(!timer("Timer4")->isActive());
    REQUIRE_CONTROLS("Kyvvstat1");
    click(5);
    QVERIFY(timer("Timer2")->isActive());
    tick("Timer2");
    QCOMPARE(caption(control("Kyvvstat1")), QStringLiteral("1"));
  }

  void barGraphStartAndStop() {
    REQUIRE_CONTROLS("KyvMovingBar1");
    box("Text1")->setText(QStringLiteral("250.5"));
    click(0);
    QCOMPARE(control("KyvMovingBar1")->get("MaxLimit"), Variant(int32_t(250)));  // half to even
    QVERIFY(timer("Timer1")->isActive());
    QCOMPARE(timer("Timer1")->interval(), 500);
    QVERIFY(box("Text1")->isEnabled());
    QSignalSpy events(control("KyvMovingBar1"), &ControlWidget::eventRaised);
    random->values = {0.5f, kAlmostOne};
    tick("Timer1");  // floor(250.5 * 0.5 + 1) = 126 < 250
    tick("Timer1");  // floor(250.5 * 0.99999994 + 1) = 251 >= 250
    QCOMPARE(random->seeds, 2);
    QCOMPARE(events.count(), 2);
    QCOMPARE(events[0][0].toString(), QStringLiteral("NormalOPs"));
    QCOMPARE(events[1][0].toString(), QStringLiteral("MaxLimitReached"));
    click(1);
    QVERIFY(!timer("Timer1")->isActive());
    noNewError();
  }

  void digitStartAndStop() {
    REQUIRE_CONTROLS("fourseg1");
    click(3);
    QVERIFY(timer("Timer3")->isActive());
    QCOMPARE(timer("Timer3")->interval(), 500);
    random->values = {0.1234f};
    tick("Timer3");  // floor(0.1234 * 9999 + 1) = 1234
    QCOMPARE(random->seeds, 1);
    QCOMPARE(litSegments(control("fourseg1"), 0), QStringLiteral("1100000"));
    QCOMPARE(litSegments(control("fourseg1"), 3), QStringLiteral("1100101"));
    random->values = {0.0f};
    tick("Timer3");  // 1: 0001
    QCOMPARE(litSegments(control("fourseg1"), 0), QStringLiteral("1111110"));
    QCOMPARE(litSegments(control("fourseg1"), 3), QStringLiteral("1100000"));
    click(2);
    QVERIFY(!timer("Timer3")->isActive());
  }

  void verticalBarStartAndStop() {
    REQUIRE_CONTROLS("Kyvvstat1");
    box("Text3(0)")->setText(QStringLiteral("50"));
    box("Text3(1)")->setText(QStringLiteral("20.5"));
    box("Text3(2)")->setText(QStringLiteral("3x"));
    click(5);
    ControlWidget* bar = control("Kyvvstat1");
    QCOMPARE(bar->get("Maxlimit"), Variant(int16_t(50)));
    QCOMPARE(bar->get("MaxThreshold"), Variant(int16_t(20)));
    QCOMPARE(bar->get("MinThreshold"), Variant(int16_t(3)));
    for (const char* t : {"Text3(0)", "Text3(1)", "Text3(2)"}) QVERIFY(!box(t)->isEnabled());
    for (const char* t : {"Text3(3)", "Text3(4)", "Text3(5)"}) QVERIFY(box(t)->isEnabled());
    QVERIFY(timer("Timer2")->isActive());
    QCOMPARE(timer("Timer2")->interval(), 500);
    click(5);  // again while running: applied again, still running
    QVERIFY(timer("Timer2")->isActive());
    click(4);
    QVERIFY(!timer("Timer2")->isActive());
    for (const char* t : {"Text3(0)", "Text3(1)", "Text3(2)"}) QVERIFY(box(t)->isEnabled());
  }

  void horizontalBarStartAndStop() {
    REQUIRE_CONTROLS("Hstat1");
    box("Text3(5)")->setText(QStringLiteral("60"));
    box("Text3(4)")->setText(QStringLiteral("30"));
    box("Text3(3)")->setText(QStringLiteral("2"));
    click(8);
    ControlWidget* bar = control("Hstat1");
    QCOMPARE(bar->get("Maxlimit"), Variant(int16_t(60)));
    QCOMPARE(bar->get("MaxThreshold"), Variant(int16_t(30)));
    QCOMPARE(bar->get("MinThreshold"), Variant(int16_t(2)));
    for (const char* t : {"Text3(3)", "Text3(4)", "Text3(5)"}) QVERIFY(!box(t)->isEnabled());
    for (const char* t : {"Text3(0)", "Text3(1)", "Text3(2)"}) QVERIFY(box(t)->isEnabled());
    QVERIFY(timer("Timer5")->isActive());
    QCOMPARE(timer("Timer5")->interval(), 500);
    click(9);
    QVERIFY(!timer("Timer5")->isActive());
    for (const char* t : {"Text3(3)", "Text3(4)", "Text3(5)"}) QVERIFY(box(t)->isEnabled());
  }

  void heartbeatStartAndStop() {
    REQUIRE_CONTROLS("HeartBeat1");
    box("Text4(0)")->setText(QStringLiteral("20"));
    box("Text4(1)")->setText(QStringLiteral("50"));
    click(7);
    ControlWidget* trace = control("HeartBeat1");
    QCOMPARE(trace->get("MaxLimit"), Variant(int16_t(20)));
    QCOMPARE(trace->get("HorizCount"), Variant(int16_t(50)));
    QVERIFY(!box("Text4(0)")->isEnabled());
    QVERIFY(box("Text4(1)")->isEnabled());
    QVERIFY(timer("Timer4")->isActive());
    QCOMPARE(timer("Timer4")->interval(), 150);
    tick("Timer4");
    tick("Timer4");
    QCOMPARE(random->seeds, 2);
    QCOMPARE(elementOf<kyv::PictureBox>(*trace->control(), "Picture1").drawnLines().size(), size_t(2));
    noNewError();
    click(6);
    QVERIFY(!timer("Timer4")->isActive());
    QVERIFY(box("Text4(0)")->isEnabled());
  }

  void multiBarStartAndStop() {
    REQUIRE_CONTROLS("KyvMultiBar1");
    auto* combo = find<QComboBox>(QStringLiteral("Combo1"));
    combo->setCurrentText(QStringLiteral("3"));
    box("Text2")->setText(QStringLiteral("50"));
    click(11);
    QCOMPARE(control("KyvMultiBar1")->get("Columns"), Variant(int16_t(3)));
    QCOMPARE(control("KyvMultiBar1")->get("MaxLimit"), Variant(int16_t(50)));
    QVERIFY(!combo->isEnabled());
    QVERIFY(!box("Text2")->isEnabled());
    QVERIFY(timer("Timer6")->isActive());
    QCOMPARE(timer("Timer6")->interval(), 150);
    click(10);
    QVERIFY(!timer("Timer6")->isActive());
    QVERIFY(combo->isEnabled());
    QVERIFY(box("Text2")->isEnabled());
  }

  // Stop and Start again: the status bars go on counting from where they stopped.
  void countersContinueAfterStopAndStart() {
    REQUIRE_CONTROLS("Kyvvstat1", "Hstat1");
    for (const auto& [start, stop, t, name] : {std::tuple{5, 4, "Timer2", "Kyvvstat1"}, {8, 9, "Timer5", "Hstat1"}}) {
      click(start);
      for (int i = 0; i < 3; ++i) tick(t);
      QCOMPARE(caption(control(name)), QStringLiteral("3"));
      click(stop);
      click(start);
      tick(t);
      QCOMPARE(caption(control(name)), QStringLiteral("4"));
    }
    QCOMPARE(form->verticalCounter(), int16_t(4));
    QCOMPARE(form->horizontalCounter(), int16_t(4));
  }

  // Passing the upper threshold: the handler sets the count back to 0 from inside the
  // control's call, and the climb starts again.
  void theThresholdHandlerResetsTheCount() {
    REQUIRE_CONTROLS("Kyvvstat1", "Hstat1");
    for (const char* t : {"Text3(1)", "Text3(4)"}) box(t)->setText(QStringLiteral("3"));  // upper thresholds
    for (const char* t : {"Text3(2)", "Text3(3)"}) box(t)->setText(QStringLiteral("0"));  // lower thresholds
    for (const auto& [start, t, name] : {std::tuple{5, "Timer2", "Kyvvstat1"}, {8, "Timer5", "Hstat1"}}) {
      click(start);
      QSignalSpy events(control(name), &ControlWidget::eventRaised);
      for (int i = 0; i < 3; ++i) tick(t);
      QCOMPARE(caption(control(name)), QStringLiteral("3"));
      events.clear();
      tick(t);  // 4 > 3
      QCOMPARE(events.count(), 2);
      QCOMPARE(events[0][0].toString(), QStringLiteral("MinThreshReached"));  // the handler's incbar 0
      QCOMPARE(events[1][0].toString(), QStringLiteral("MaxThreshReached"));
      QCOMPARE(caption(control(name)), QStringLiteral("0"));
      tick(t);
      QCOMPARE(caption(control(name)), QStringLiteral("1"));
    }
    noNewError();
  }

  // "abc" reads as 0: the maximum becomes 0 and every tick sends floor(0 * r + 1) = 1.
  void abcInTheMaximumBox() {
    REQUIRE_CONTROLS("KyvMovingBar1");
    box("Text1")->setText(QStringLiteral("abc"));
    click(0);
    QCOMPARE(control("KyvMovingBar1")->get("MaxLimit"), Variant(int32_t(0)));
    QVERIFY(timer("Timer1")->isActive());
    tick("Timer1");  // 1 / 0
    QVERIFY(form->statusText().startsWith(QStringLiteral("Timer1: division-by-zero")));
    QVERIFY(timer("Timer1")->isActive());
    control("KyvMovingBar1")->put("MaxLimit", int32_t(2));
    QSignalSpy events(control("KyvMovingBar1"), &ControlWidget::eventRaised);
    random->values = {kAlmostOne, 0.0f};
    tick("Timer1");
    tick("Timer1");
    QCOMPARE(events.count(), 2);
    for (const auto& e : events) QCOMPARE(e[0].toString(), QStringLiteral("NormalOPs"));  // 1 < 2
    control("KyvMovingBar1")->put("MaxLimit", int32_t(1));
    tick("Timer1");
    QCOMPARE(events.last()[0].toString(), QStringLiteral("MaxLimitReached"));  // 1 >= 1
  }

  // The status line says which panel and when; a repeat is counted; the error clears when
  // its panel next runs without one, and stays in the list of recent errors.
  void theStatusLineSaysWhereAndWhenAndClears() {
    REQUIRE_CONTROLS("KyvMovingBar1");
    form->show();
    auto* line = find<QLabel>(QStringLiteral("statusLine"));
    auto* button = find<QToolButton>(QStringLiteral("errorsButton"));
    QCOMPARE(button->text(), QStringLiteral("No errors"));
    QVERIFY(!button->isEnabled());
    box("Text1")->setText(QStringLiteral("abc"));
    click(0);
    tick("Timer1");  // 1 / 0
    QCOMPARE(form->statusText(), QStringLiteral("Timer1: division-by-zero: Division by zero"));
    const QRegularExpression first(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  Bar graph: Timer1: division-by-zero: Division by zero$"));
    QVERIFY2(first.match(line->text()).hasMatch(), qPrintable(line->text()));
    tick("Timer1");
    QVERIFY2(line->text().endsWith(QStringLiteral("Bar graph: Timer1: division-by-zero (2 times): Division by zero")),
             qPrintable(line->text()));
    QCOMPARE(button->text(), QStringLiteral("Recent errors (1)"));
    box("Text1")->setText(QStringLiteral("100"));
    click(0);  // Start runs cleanly
    QCOMPARE(form->statusText(), QString());
    QCOMPARE(line->text(), QString());
    const QList<kyvdemo::StatusLine::Report> recent = form->recentErrors();
    QCOMPARE(recent.size(), 1);
    QCOMPARE(recent[0].panel, QStringLiteral("Bar graph"));
    QCOMPARE(recent[0].where, QStringLiteral("Timer1"));
    QCOMPARE(recent[0].count, 2);
    QVERIFY(!recent[0].standing);
    QVERIFY(recent[0].first <= recent[0].last);
  }

  // A long message is cut at the line's end; the tooltip holds all of it.
  void aLongErrorIsElidedWithTheWholeInItsTooltip() {
    REQUIRE_CONTROLS("Kyvvstat1");
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    box("Text3(1)")->setText(QStringLiteral("40000"));
    click(5);
    const QString message = form->statusText().mid(QStringLiteral("Command2(5): overflow: ").size());
    QVERIFY(message.size() > 20);
    auto* line = find<QLabel>(QStringLiteral("statusLine"));
    const QString shown = QStringLiteral("Vertical bar: Command2(5): overflow: ") + message;
    line->setFixedWidth(200);
    QTRY_VERIFY(line->text().endsWith(QChar(0x2026)));  // an ellipsis
    QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->contentsRect().width());
    QVERIFY2(line->toolTip().contains(shown.toHtmlEscaped()), qPrintable(line->toolTip()));
    line->setMinimumWidth(0);
    line->setMaximumWidth(QWIDGETSIZE_MAX);
  }

  // After Horiz Count was raised past the points of the last layout, every tick of the
  // heartbeat fails. A repeat counts without hiding a newer error of another panel; Stop
  // and Start do not help; New Trace lays the trace out again and the ticks draw again.
  void aRepeatingErrorKeepsOutOfTheWayAndNewTraceEndsIt() {
    REQUIRE_CONTROLS("HeartBeat1", "KyvMultiBar1");
    box("Text4(1)")->setText(QStringLiteral("200"));
    click(7);
    for (int i = 0; i < 100; ++i) tick("Timer4");  // points 1 to 100 of the 101 laid out
    noNewError();
    tick("Timer4");
    tick("Timer4");
    QVERIFY(form->statusText().startsWith(QStringLiteral("Timer4: subscript-out-of-range: ")));
    box("Text2")->setText(QStringLiteral("0"));
    click(11);
    const QString multiBar =
        QStringLiteral("Command2(11): invalid-property-value: Invalid property value: MaxLimit 0 is not above 0");
    QCOMPARE(form->statusText(), multiBar);
    tick("Timer4");
    QCOMPARE(form->statusText(), multiBar);  // the heartbeat's third failure is a repeat
    QList<kyvdemo::StatusLine::Report> recent = form->recentErrors();
    QCOMPARE(recent.size(), 2);
    QCOMPARE(recent[0].panel, QStringLiteral("Multi-bar"));
    QCOMPARE(recent[1].panel, QStringLiteral("Heartbeat"));
    QCOMPARE(recent[1].count, 3);
    QCOMPARE(recent[1].hint, QStringLiteral("press New Trace"));
    QVERIFY(recent[1].standing);

    click(6);
    click(7);  // Stop and Start run cleanly, but the next tick fails again
    tick("Timer4");
    QVERIFY(form->statusText().startsWith(QStringLiteral("Timer4: subscript-out-of-range: ")));
    QCOMPARE(form->recentErrors().size(), 3);

    find<QPushButton>(QStringLiteral("Command8"))->click();
    QCOMPARE(form->statusText(), multiBar);
    const auto& plot = elementOf<kyv::PictureBox>(*control("HeartBeat1")->control(), "Picture1");
    QCOMPARE(plot.drawnLines().size(), size_t(0));
    for (int i = 0; i < 200; ++i) tick("Timer4");  // HorizCount 200: 201 points now
    QCOMPARE(plot.drawnLines().size(), size_t(200));
    QCOMPARE(form->statusText(), multiBar);
    box("Text2")->setText(QStringLiteral("100"));
    click(11);
    QCOMPARE(form->statusText(), QString());
  }

  // With 3 columns and maximum 50 the values 1 to 49 go to columns 0 to 2 only.
  void threeColumnsWithMaximumFifty() {
    REQUIRE_CONTROLS("KyvMultiBar1");
    find<QComboBox>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("3"));
    box("Text2")->setText(QStringLiteral("50"));
    click(11);
    const kyv::Control& bars = *control("KyvMultiBar1")->control();
    tick("Timer6");  // lays out with the new maximum
    const float full = bars.UserControl().interiorHeight();
    const std::tuple<float, float, int, int> cases[] = {
        {0.0f, 0.0f, 0, 1}, {kAlmostOne, kAlmostOne, 2, 49}, {0.5f, 0.5f, 1, 25}, {0.34f, 0.1f, 1, 5}};
    for (const auto& [r1, r2, column, value] : cases) {
      random->values = {r1, r2};
      tick("Timer6");
      const auto& bar = elementOf<kyv::Shape>(bars, "indic(" + std::to_string(column) + ")");
      QVERIFY(qAbs(bar.heightTwips() - full * value / 50) < 1);
    }
    for (int i = 0; i < 10; ++i)
      QCOMPARE(elementOf<kyv::Shape>(bars, "indic(" + std::to_string(i) + ")").Visible(), i < 3);
    noNewError();
  }

  // Start writes Columns (which lays out) before MaxLimit (which does not): the first value
  // is measured against the old maximum, the next against the new one.
  void aMaximumChangedAtStartMeetsTheOldScaleFirst() {
    REQUIRE_CONTROLS("KyvMultiBar1");
    box("Text2")->setText(QStringLiteral("50"));  // was 100
    click(11);
    const kyv::Control& bars = *control("KyvMultiBar1")->control();
    const float full = bars.UserControl().interiorHeight();
    random->values = {0.0f, 0.5f, 0.0f, 0.5f};  // column 0, value floor(49 * 0.5 + 1) = 25
    tick("Timer6");
    QVERIFY(qAbs(elementOf<kyv::Shape>(bars, "indic(0)").heightTwips() - full * 25 / 100) < 1);
    tick("Timer6");
    QVERIFY(qAbs(elementOf<kyv::Shape>(bars, "indic(0)").heightTwips() - full * 25 / 50) < 1);
  }

  // Each colour button, by the caption a user reads, colours the element it names: one
  // colour a button, then each element's colour read back.
  void colourButtonsColourWhatTheySay() {
    using Read = std::function<uint32_t(ControlWidget*)>;
    const auto box = [](const char* path) {
      return Read(
          [path](ControlWidget* w) { return elementOf<kyv::PictureBox>(*w->control(), path).BackColor().value; });
    };
    const auto shape = [](const char* path) {
      return Read([path](ControlWidget* w) { return elementOf<kyv::Shape>(*w->control(), path).FillColor().value; });
    };
    const auto line = [](const char* path) {
      return Read(
          [path](ControlWidget* w) { return elementOf<kyv::LineElement>(*w->control(), path).BorderColor().value; });
    };
    const Read surface = [](ControlWidget* w) { return w->control()->UserControl().BackColor().value; };
    // The four-digit display's first digit: its face, and its top segment.
    const Read digitFace = [](ControlWidget* w) {
      const auto& slot = elementOf<kyv::ControlSlot>(*w->control(), "digit(0)");
      return elementOf<kyv::PictureBox>(*slot.control(), "digit(0)").BackColor().value;
    };
    const Read digitSegment = [](ControlWidget* w) {
      const auto& slot = elementOf<kyv::ControlSlot>(*w->control(), "digit(0)");
      return elementOf<kyv::LineElement>(*slot.control(), "seg(5)").BorderColor().value;
    };
    // The trace drawn after the click: two values make one segment.
    const Read trace = [](ControlWidget* w) {
      for (int i = 0; i < 2; ++i) {
        Variant v(int16_t(5));
        w->call("Plot", v);
      }
      return elementOf<kyv::PictureBox>(*w->control(), "Picture1").drawnLines().back().colour.value;
    };
    const std::tuple<const char*, const char*, const char*, Read> buttons[] = {
        {"Command1(0)", "Set Backcolor", "KyvMovingBar1", surface},  // behind the bars
        {"Command1(1)", "Set Barcolor", "KyvMovingBar1", shape("lvl(0)")},
        {"Command7(0)", "Set Backcolor", "KyvMultiBar1", surface},
        {"Command7(1)", "Set Barcolor", "KyvMultiBar1", shape("indic(0)")},
        {"Command3(0)", "Set Backcolor", "fourseg1", digitFace},
        {"Command3(1)", "Set Displaycolor", "fourseg1", digitSegment},
        {"Command4(0)", "FillColor", "Kyvvstat1", box("BarSeg(0)")},  // the normal band
        {"Command4(1)", "Above Max color", "Kyvvstat1", box("BarSeg(2)")},
        {"Command4(2)", "below Min color", "Kyvvstat1", box("BarSeg(1)")},
        {"Command4(3)", "Back Color", "Kyvvstat1", box("holdbar")},
        {"Command6(0)", "Fillcolor", "Hstat1", box("BarSeg(0)")},
        {"Command6(1)", "Above Max Color", "Hstat1", box("BarSeg(2)")},
        {"Command6(2)", "Below Min Color", "Hstat1", box("BarSeg(1)")},
        {"Command6(3)", "Back Color", "Hstat1", box("datpict")},  // the caption box takes it too
        {"Command5(0)", "Grid Color", "HeartBeat1", line("vgrd(9)")},
        {"Command5(1)", "Back Color", "HeartBeat1", box("Picture1")},
        {"Command5(2)", "Line Color", "HeartBeat1", trace},
    };
    int tested = 0;
    uint32_t colour = 0x102030;
    for (const auto& [button, caption, name, read] : buttons) {
      auto* b = find<QPushButton>(QLatin1String(button));
      QCOMPARE(b->text(), QLatin1String(caption));
      if (!control(name)->control()) continue;
      colour += 0x010101;
      colours->answers = {colour};
      b->click();
      QVERIFY2(read(control(name)) == colour, button);
      ++tested;
    }
    QCOMPARE(colours->shown, tested);
    noNewError();
    if (tested == 0) QSKIP("no control is built yet");
  }

  // Nothing chosen yet and black change nothing; closing the dialog without a new choice
  // applies the previous choice again.
  void theColourDialogKeepsItsColourAndNeverAppliesBlack() {
    REQUIRE_CONTROLS("Kyvvstat1");
    ControlWidget* bar = control("Kyvvstat1");
    auto* fill = find<QPushButton>(QStringLiteral("Command4(0)"));
    auto* back = find<QPushButton>(QStringLiteral("Command4(3)"));
    const Variant before = bar->get("FillColor");
    QSignalSpy changed(bar, &ControlWidget::propertyChanged);
    colours->answers = {std::nullopt, 0u};
    fill->click();  // cancelled before any choice
    fill->click();  // black
    QCOMPARE(colours->shown, 2);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(bar->get("FillColor"), before);
    colours->answers = {0x336699u, std::nullopt};
    fill->click();
    back->click();  // cancelled: the previous choice again
    QCOMPARE(bar->get("FillColor"), Variant(Colour{0x336699}));
    QCOMPARE(bar->get("BackColor"), Variant(Colour{0x336699}));
    colours->answers = {0u};
    back->click();  // black after a colour: nothing
    QCOMPARE(bar->get("BackColor"), Variant(Colour{0x336699}));
  }

  void optionBoxes() {
    const Variant one(int16_t(1)), zero(int16_t(0)), yes(true), no(false);
    const std::tuple<const char*, const char*, const char*, Variant, Variant> boxes[] = {
        {"Check1(0)", "KyvMovingBar1", "BorderStyle", one, zero},
        {"Check1(1)", "KyvMovingBar1", "showgrid", yes, no},
        {"Check1(2)", "KyvMovingBar1", "showLabel", yes, no},
        {"Check2", "fourseg1", "BorderStyle", one, zero},
        {"Check3(0)", "Kyvvstat1", "BorderStyle", one, zero},
        {"Check3(1)", "Kyvvstat1", "Bar3D", one, zero},
        {"Check3(2)", "Kyvvstat1", "CaptionVisible", yes, no},
        {"Check3(3)", "Kyvvstat1", "CaptionBorder", one, zero},
        {"Check5(0)", "Hstat1", "BorderStyle", one, zero},
        {"Check5(1)", "Hstat1", "Bar3D", one, zero},
        {"Check5(2)", "Hstat1", "CaptionBorder", one, zero},
        {"Check5(3)", "Hstat1", "CaptionVisible", yes, no},
        {"Check4(0)", "HeartBeat1", "BorderStyle", one, zero},
        {"Check4(1)", "HeartBeat1", "GridVisible", yes, no}};
    int tested = 0;
    for (const auto& [name, controlName, property, on, off] : boxes) {
      ControlWidget* w = control(controlName);
      if (!w->control()) continue;
      auto* box = find<QCheckBox>(QLatin1String(name));
      box->setCheckState(Qt::Unchecked);
      QCOMPARE(w->get(property), off);
      box->setCheckState(Qt::Checked);
      QCOMPARE(w->get(property), on);
      box->setCheckState(Qt::Unchecked);
      QSignalSpy changed(w, &ControlWidget::propertyChanged);
      box->setCheckState(Qt::PartiallyChecked);
      // Grey writes nothing, except on the digit panel's box, where it counts as checked.
      const bool greyIsOn = QLatin1String(name) == QLatin1String("Check2");
      QCOMPARE(w->get(property), greyIsOn ? on : off);
      QCOMPARE(changed.isEmpty(), !greyIsOn);
      ++tested;
    }
    noNewError();
    if (tested == 0) QSKIP("no control is built yet");
  }

  void aboutOpensModalAndOkDiscardsIt() {
    QPointer<QDialog> seen;
    QString name, title, version, appTitle;
    QSize picture;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
      seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!seen) return;
      modal = seen->isModal() && seen->parentWidget() == form.get();
      name = seen->objectName();
      title = seen->windowTitle();
      version = seen->findChild<QLabel*>(QStringLiteral("lblVersion"))->text();
      appTitle = seen->findChild<QLabel*>(QStringLiteral("lblTitle"))->text();
      picture = seen->findChild<QLabel*>(QStringLiteral("picIcon"))->pixmap().size();
      seen->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    form->findChild<QAction*>(QStringLiteral("abmenu"))->trigger();  // returns when closed
    QVERIFY(modal);
    QCOMPARE(name, QStringLiteral("frmAbout"));
    QCOMPARE(title, QStringLiteral("KyvDemo"));
    QCOMPARE(appTitle, QStringLiteral("KyvDemo"));
    QCOMPARE(version, QStringLiteral("Version 1.0.0"));
    QCOMPARE(picture, QSize(213, 142));
    QVERIFY(!seen);  // OK unloaded it
    bool again = false;
    QTimer::singleShot(0, this, [&] {
      seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      again = seen != nullptr;
      if (seen) seen->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    form->findChild<QAction*>(QStringLiteral("abmenu"))->trigger();
    QVERIFY(again);  // created and loaded again
    QVERIFY(!seen);
    noNewError();
  }

  // The picture is drawn by the controls themselves: the vertical bar stands at its place.
  void theAboutPictureShowsOurControls() {
    const QImage picture = kyvdemo::aboutPicture(ControlWidget::defaultRegistry());
    QCOMPARE(picture.size(), QSize(213, 142));
    QCOMPARE(picture.depth(), 24);
    REQUIRE_CONTROLS("Kyvvstat1");
    const QColor background = picture.pixelColor(186, 70);
    QVERIFY(picture.pixelColor(200, 110) != background);
    QCOMPARE(picture.pixelColor(200, 110), QColor(255, 0, 0));  // 70 is above the threshold 40
  }

  // A value out of range ends the handler at that step: the steps before it stay done, the
  // later ones do not happen, and the status line says why. The form goes on.
  void anOutOfRangeBoxValueShowsInTheStatusLine() {
    REQUIRE_CONTROLS("Kyvvstat1");
    ControlWidget* bar = control("Kyvvstat1");
    box("Text3(0)")->setText(QStringLiteral("75"));
    box("Text3(1)")->setText(QStringLiteral("40000"));
    click(5);
    QVERIFY(form->statusText().startsWith(QStringLiteral("Command2(5): overflow: ")));
    QCOMPARE(bar->get("Maxlimit"), Variant(int16_t(75)));
    QCOMPARE(bar->get("MaxThreshold"), Variant(int16_t(40)));
    QVERIFY(box("Text3(0)")->isEnabled());
    QVERIFY(!timer("Timer2")->isActive());
    box("Text3(1)")->setText(QStringLiteral("32767"));
    click(5);
    QVERIFY(timer("Timer2")->isActive());
    for (int i = 0; i < 32767; ++i) tick("Timer2");
    QCOMPARE(form->verticalCounter(), int16_t(32767));
    tick("Timer2");  // the counter would pass 32767
    QVERIFY(form->statusText().startsWith(QStringLiteral("Timer2: overflow: ")));
    QCOMPARE(form->verticalCounter(), int16_t(32767));
    QCOMPARE(caption(bar), QStringLiteral("32767"));
  }

  void startAllStartsEveryFeed() {
    REQUIRE_CONTROLS("KyvMovingBar1", "KyvMultiBar1", "fourseg1", "Kyvvstat1", "Hstat1", "HeartBeat1");
    form->startAll();
    const std::pair<const char*, int> intervals[] = {{"Timer1", 500}, {"Timer2", 500}, {"Timer3", 500},
                                                     {"Timer4", 150}, {"Timer5", 500}, {"Timer6", 150}};
    for (const auto& [name, ms] : intervals) {
      QVERIFY(timer(name)->isActive());
      QCOMPARE(timer(name)->interval(), ms);
    }
    noNewError();
  }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
