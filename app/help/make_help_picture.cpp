// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the Help page's quick-start picture (761 x 521) with the window's own widgets and writes it
// as a PNG: make_help_picture OUT.png. The picture is committed; rebuild it with the help_picture
// target after changing this file.
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadialGradient>
#include <QTableWidget>
#include <cstdio>

namespace {

constexpr int kWidth = 761;
constexpr int kHeight = 521;
const QColor kBlue(0, 0, 255);
const QColor kInk(30, 30, 30);
const QColor kCard(250, 250, 252);
const QColor kRule(190, 196, 210);

QFont Font(int pixels, bool bold = false) {
  QFont f("Sans Serif");
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// Renders a real widget into the picture, so the guide shows the controls as the window draws them.
void Put(QPainter& p, QWidget& w, int x, int y) {
  w.setFont(Font(11));
  w.ensurePolished();
  // The widget paints with whatever pen and brush the picture's painter holds; give it a clean one.
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::NoBrush);
  w.render(&p, QPoint(x, y), QRegion(), QWidget::DrawChildren);
  p.restore();
}

void Button(QPainter& p, const QString& caption, int x, int y, int w = 90, int h = 30, bool enabled = true) {
  QPushButton b(caption);
  b.resize(w, h);
  b.setEnabled(enabled);
  Put(p, b, x, y);
}

void Lamp(QPainter& p, int x, int y, const QColor& c) {
  QRadialGradient g(QPointF(x + 6, y + 6), 10);
  g.setColorAt(0, c.lighter(190));
  g.setColorAt(0.45, c);
  g.setColorAt(1, c.darker(170));
  p.setBrush(g);
  p.setPen(QPen(c.darker(220), 1));
  p.drawEllipse(QRectF(x + 1, y + 1, 15, 15));
}

void Arrow(QPainter& p, QPointF from, QPointF to) {
  p.setPen(QPen(kBlue, 2));
  p.drawLine(from, to);
  const QLineF l(to, from);
  QLineF a = l;
  a.setLength(7);
  a.setAngle(l.angle() + 30);
  QLineF b = l;
  b.setLength(7);
  b.setAngle(l.angle() - 30);
  p.drawLine(a);
  p.drawLine(b);
}

// One numbered step: a card with its number, a heading, an illustration area and a few lines of text.
QRect Card(QPainter& p, const QRect& r, int number, const QString& heading, const QString& text) {
  p.setPen(QPen(kRule, 1));
  p.setBrush(kCard);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawEllipse(QRect(r.left() + 10, r.top() + 8, 24, 24));
  p.setPen(Qt::white);
  p.setFont(Font(14, true));
  p.drawText(QRect(r.left() + 10, r.top() + 8, 24, 24), Qt::AlignCenter, QString::number(number));
  p.setPen(kBlue);
  p.setFont(Font(14, true));
  p.drawText(QRect(r.left() + 42, r.top() + 8, r.width() - 50, 24), Qt::AlignLeft | Qt::AlignVCenter,
             heading);
  p.setPen(kInk);
  p.setFont(Font(11));
  const QRect textRect(r.left() + 12, r.bottom() - 58, r.width() - 24, 56);
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
  return QRect(r.left() + 12, r.top() + 40, r.width() - 24, r.height() - 40 - 62);
}

void DrawConnect(QPainter& p, const QRect& area) {
  // A laptop on the left, the controller on the right, the USB cable between them.
  const int y = area.top() + 6;
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(QColor(220, 226, 238));
  p.drawRoundedRect(QRect(area.left() + 8, y, 70, 46), 3, 3);
  p.setBrush(QColor(120, 150, 200));
  p.drawRect(QRect(area.left() + 14, y + 6, 58, 34));
  p.setBrush(QColor(200, 204, 214));
  p.drawRoundedRect(QRect(area.left(), y + 46, 86, 8), 2, 2);

  const QRect box(area.right() - 66, y, 62, 54);
  p.setPen(QPen(QColor(90, 90, 90), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(box.right() - 10, box.top(), box.right() - 10, box.top() - 14);  // aerial
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(QColor(60, 64, 72));
  p.drawRoundedRect(box, 5, 5);
  p.setPen(Qt::white);
  p.setFont(Font(10, true));
  p.drawText(box.adjusted(0, 5, 0, 0), Qt::AlignHCenter | Qt::AlignTop, "GSM");
  p.setFont(Font(9));
  p.drawText(box.adjusted(0, 18, 0, 0), Qt::AlignHCenter | Qt::AlignTop, "RELAY");
  Lamp(p, box.left() + 6, box.bottom() - 20, QColor(30, 190, 40));

  const QPointF plugPc(area.left() + 86, y + 38), plugBox(box.left(), y + 38);
  QPainterPath cable(plugPc);
  cable.cubicTo(plugPc + QPointF(30, 30), plugBox + QPointF(-30, 30), plugBox);
  p.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
  p.setPen(kBlue);
  p.setFont(Font(11, true));
  p.drawText(QRect(int(plugPc.x()), y + 58, int(plugBox.x() - plugPc.x()), 16), Qt::AlignHCenter, "USB");
}

void DrawOpen(QPainter& p, const QRect& area) {
  p.setFont(Font(11));
  p.setPen(kInk);
  p.drawText(QPoint(area.left(), area.top() + 20), "COM Port:");
  QComboBox combo;
  combo.setEditable(true);
  combo.addItem("ttyUSB0");
  combo.resize(89, 21);
  Put(p, combo, area.left() + 57, area.top() + 6);
  Button(p, "Open", area.left() + 57, area.top() + 40, 80, 30);
  Arrow(p, QPointF(area.left() + 141, area.top() + 55), QPointF(area.left() + 158, area.top() + 55));
  // The status bar's lamp: red while closed, green once the port is open.
  Lamp(p, area.left() + 162, area.top() + 34, QColor(220, 30, 30));
  Lamp(p, area.left() + 162, area.top() + 60, QColor(30, 190, 40));
  p.setPen(kInk);
  p.setFont(Font(10));
  p.drawText(QPoint(area.left() + 182, area.top() + 47), "closed");
  p.drawText(QPoint(area.left() + 182, area.top() + 73), "open");
}

void DrawLogin(QPainter& p, const QRect& area) {
  p.setFont(Font(11));
  p.setPen(kInk);
  p.drawText(QPoint(area.left(), area.top() + 16), "Password:");
  QLineEdit edit("6853");
  edit.deselect();
  edit.setCursorPosition(4);
  edit.resize(93, 21);
  Put(p, edit, area.left() + 57, area.top() + 2);
  Button(p, "Log in", area.left() + 57, area.top() + 30);
  p.setPen(QColor(0, 120, 0));
  p.setFont(Font(11, true));
  p.drawText(QRect(area.left() + 57, area.top() + 64, 150, 16), Qt::AlignLeft, "Password confirmed!");
}

void DrawRead(QPainter& p, const QRect& area) {
  Button(p, "Read Settings", area.left(), area.top() + 2, 85, 31);
  Button(p, "Read", area.left() + 96, area.top() + 2, 85, 30);
  Button(p, "Read data", area.left(), area.top() + 40, 85, 31);
  QProgressBar bar;
  bar.setRange(0, 100);
  bar.setValue(60);
  bar.setTextVisible(false);
  bar.resize(85, 16);
  Put(p, bar, area.left() + 96, area.top() + 48);
}

void DrawEdit(QPainter& p, const QRect& area) {
  QTableWidget grid(3, 3);
  grid.setHorizontalHeaderLabels({"Parameter", "Value", "Note"});
  grid.verticalHeader()->hide();
  const char* rows[][3] = {
      {"Password", "6853", "4 digits"}, {"Relay time", "5", "seconds"}, {"APN", "internet", "GPRS"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) grid.setItem(r, c, new QTableWidgetItem(rows[r][c]));
  grid.setColumnWidth(0, 74);
  grid.setColumnWidth(1, 64);
  grid.setColumnWidth(2, 62);
  for (int r = 0; r < 3; ++r) grid.setRowHeight(r, 18);
  grid.horizontalHeader()->setFixedHeight(19);
  grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid.setCurrentCell(1, 1);
  grid.resize(204, 76);
  Put(p, grid, area.left() + 3, area.top() + 2);
}

void DrawSave(QPainter& p, const QRect& area) {
  Button(p, "Save Settings", area.left(), area.top() + 2, 85, 31);
  Button(p, "Save", area.left() + 96, area.top() + 2, 85, 30);
  p.setPen(QColor(0, 120, 0));
  p.setFont(Font(11, true));
  p.drawText(QRect(area.left(), area.top() + 42, area.width(), 40), Qt::AlignLeft | Qt::TextWordWrap,
             "Wait for the success message.");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_help_picture OUT.png\n");
    return 2;
  }
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  p.setPen(QPen(kRule, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1));
  p.setPen(kBlue);
  p.setFont(Font(22, true));
  p.drawText(QRect(16, 6, 500, 30), Qt::AlignLeft | Qt::AlignVCenter, "Quick start");
  p.setPen(kInk);
  p.setFont(Font(12));
  p.drawText(
      QRect(16, 36, 730, 20), Qt::AlignLeft | Qt::AlignVCenter,
      "From the cable to saved settings in six steps. Until you log in, the operation buttons stay grey.");

  const int cardW = 235, cardH = 184, gap = 10, left = 16, top1 = 62, top2 = top1 + cardH + gap;
  struct TStep {
    const char* Heading;
    const char* Text;
    void (*Draw)(QPainter&, const QRect&);
  };
  const TStep steps[] = {
      {"Connect",
       "Plug the controller's USB cable into the PC. It shows up as ttyUSB0 or ttyACM0; your user must "
       "be in the dialout group.",
       DrawConnect},
      {"Pick the port, Open",
       "Choose the port in the COM Port list (or type its name) and click Open. The lamp "
       "in the status bar turns green.",
       DrawOpen},
      {"Log in",
       "Type the device password (factory value 6853) and click Log in. The buttons unlock when it "
       "matches the device.",
       DrawLogin},
      {"Read",
       "On each page click Read Settings, Read or Read data and confirm with OK(Y). The bar at the "
       "bottom shows the progress.",
       DrawRead},
      {"Edit",
       "Change the cells: pick values from the lists, type numbers and texts, give each number Always "
       "or its time window.",
       DrawEdit},
      {"Save",
       "Click Save Settings or Save to write your changes into the device. Nothing is written until "
       "you do.",
       DrawSave},
  };
  for (int i = 0; i < 6; ++i) {
    const QRect r(left + (i % 3) * (cardW + gap), i < 3 ? top1 : top2, cardW, cardH);
    const QRect area = Card(p, r, i + 1, steps[i].Heading, steps[i].Text);
    steps[i].Draw(p, area);
  }

  const QRect files(16, top2 + cardH + gap, kWidth - 32, kHeight - (top2 + cardH + gap) - 8);
  p.setPen(QPen(kRule, 1));
  p.setBrush(QColor(238, 242, 252));
  p.drawRoundedRect(QRectF(files).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
  p.setPen(kBlue);
  p.setFont(Font(12, true));
  p.drawText(files.adjusted(12, 5, -12, 0), Qt::AlignLeft | Qt::AlignTop, "Where files go");
  p.setPen(kInk);
  p.setFont(Font(11));
  p.drawText(
      files.adjusted(12, 22, -12, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
      "Profiles, number lists and logs are exported to and imported from the configuration folder beside "
      "the program, or ~/.local/share/torvane-configurator/configuration when that cannot be made. "
      "No answer within 3 seconds shows \"Receive timeout\": check the cable, the port and the lamp.");
  p.end();

  if (!image.save(argv[1], "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
