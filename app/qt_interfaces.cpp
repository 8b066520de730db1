// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_interfaces.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>

#include "app/app_texts.h"
#include "app/backup_dialog.h"
#include "app/save_dialog.h"

namespace torvane {

QString ToQtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == "*.*") p = "*";
    }
    out << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
  }
  return out.join(";;");
}

QString DefaultSuffixOf(const QString& qtFilter) {
  const qsizetype open = qtFilter.lastIndexOf('(');
  const qsizetype close = qtFilter.lastIndexOf(')');
  if (open < 0 || close < open) return {};
  const QStringList patterns = qtFilter.mid(open + 1, close - open - 1).split(' ', Qt::SkipEmptyParts);
  if (patterns.isEmpty() || !patterns[0].startsWith("*.")) return {};
  const QString suffix = patterns[0].mid(2);
  for (QChar c : suffix)
    if (c == '*' || c == '?' || c == '[' || c == '.') return {};
  return suffix;
}

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace

void TQtOperator::Message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), Q(text), QMessageBox::Ok, parent_);
  box.exec();
}

void TQtOperator::Error(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString(), Q(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool TQtOperator::Confirm(const std::string& text) {
  QMessageBox box(QMessageBox::Question, QString(), Q(text), QMessageBox::NoButton, parent_);
  QPushButton* yes = box.addButton("OK(&Y)", QMessageBox::YesRole);
  box.addButton("Cancel(&N)", QMessageBox::NoRole);
  box.setDefaultButton(yes);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // Integer division rounds toward zero, also on a screen narrower than 200.
    const QRect s = screen->geometry();
    box.move(s.left() + (s.width() - 200) / 2, s.top() + (s.height() - 200) / 2);
  }
  box.exec();
  return box.clickedButton() == yes;
}

bool TQtOperator::WarnOkCancel(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString(), Q(text), QMessageBox::Ok | QMessageBox::Cancel, parent_);
  return box.exec() == QMessageBox::Ok;
}

TCloseAnswer TQtOperator::AskBeforeClose(const std::string& text, bool canSave) {
  QMessageBox box(QMessageBox::Warning, QString(), Q(text), QMessageBox::NoButton, parent_);
  QPushButton* save = canSave ? box.addButton(kCloseSave, QMessageBox::AcceptRole) : nullptr;
  QPushButton* discard = box.addButton(kCloseDiscard, QMessageBox::DestructiveRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(save ? save : discard);
  box.exec();
  if (save && box.clickedButton() == save) return TCloseAnswer::Save;
  if (box.clickedButton() == discard) return TCloseAnswer::Discard;
  return TCloseAnswer::Cancel;
}

std::optional<std::string> TQtOperator::ChooseBackup(const std::vector<TBackupEntry>& backups,
                                                     const std::string& filter, const std::string& folder) {
  TBackupDialog dialog(backups, parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  if (dialog.WantsOtherFile()) return ChooseOpenFile(filter, folder);
  return dialog.Chosen();
}

std::optional<std::string> TQtOperator::ChooseOpenFile(const std::string& filter, const std::string& folder) {
  return Chosen(QFileDialog::getOpenFileName(parent_, QString(), Q(folder), ToQtFilter(filter)));
}

std::optional<std::string> TQtOperator::ChooseSaveFile(const std::string& filter, const std::string& folder,
                                                       const std::string& proposedName) {
  QString start = Q(folder);
  if (!proposedName.empty()) {
    if (!start.isEmpty() && !start.endsWith('/')) start += '/';
    start += Q(proposedName);
  }
  // The dialog adds the chosen filter's extension itself, before it asks whether to replace an
  // existing file (save_dialog.h): Qt's own dialog where the native one may not.
  QFileDialog dialog(parent_, QString(), start, ToQtFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!NativeSaveDialogAddsTheExtensionFirst()) dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setDefaultSuffix(DefaultSuffixOf(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& chosen) { dialog.setDefaultSuffix(DefaultSuffixOf(chosen)); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Chosen(dialog.selectedFiles().first());
}

namespace {

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TQtTimer::TQtTimer(int intervalMs, TNow now)
    : now_(now ? std::move(now) : TNow(SteadyNs)), intervalMs_(intervalMs) {
  // The status line's 3000 ms is shown to the operator; a coarse timer could be 150 ms off.
  wake_.setTimerType(Qt::PreciseTimer);
  wake_.setSingleShot(true);
  QObject::connect(&wake_, &QTimer::timeout, [this] { Wake(); });
}

void TQtTimer::Start() {
  // Starting a running timer keeps its period.
  if (enabled_) return;
  enabled_ = true;
  deadlineNs_ = now_() + int64_t{intervalMs_} * 1'000'000;
  // A QTimer still armed for an earlier deadline wakes first and waits on from there.
  if (!wake_.isActive() || armedForNs_ > deadlineNs_) ArmFor(deadlineNs_);
}

void TQtTimer::SetInterval(int ms) {
  if (ms == intervalMs_) return;
  intervalMs_ = ms;
  // A running timer starts a fresh period of the new length, as QTimer does.
  if (enabled_) {
    enabled_ = false;
    Start();
  }
}

void TQtTimer::ArmFor(int64_t deadlineNs) {
  const int64_t leftNs = std::max<int64_t>(0, deadlineNs - now_());
  // Rounded up: waking a little late is harmless, waking early costs another round.
  wake_.start(static_cast<int>((leftNs + 999'999) / 1'000'000));
  armedForNs_ = deadlineNs;
  ++armCount_;
}

void TQtTimer::Wake() {
  if (!enabled_) return;  // stopped since it was armed; the next Start arms it again
  const int64_t now = now_();
  if (now < deadlineNs_) {
    ArmFor(deadlineNs_);
    return;
  }
  // The next period counts from this one's due time, not from a late wake-up, unless a whole
  // period has already gone by.
  deadlineNs_ += int64_t{intervalMs_} * 1'000'000;
  if (deadlineNs_ <= now) deadlineNs_ = now + int64_t{intervalMs_} * 1'000'000;
  ArmFor(deadlineNs_);
  // Last: the handler may stop, restart or even delete this timer.
  if (OnTimer) OnTimer();
}

struct TQtNotifyTarget::TQueue {
  std::mutex Mutex;
  std::deque<std::function<void()>> Items;
  QObject* Receiver = nullptr;
  bool Scheduled = false;  // a drain event is posted and has not begun
  bool Closed = false;
  int Events = 0;
};

namespace {

using TQueuePtr = std::shared_ptr<TQtNotifyTarget::TQueue>;

void Drain(TQueuePtr queue);

// Called with the queue's mutex held, which also keeps the receiver from going away meanwhile.
bool ScheduleLocked(const TQueuePtr& queue) {
  if (!QMetaObject::invokeMethod(
          queue->Receiver, [queue] { Drain(queue); }, Qt::QueuedConnection))
    return false;
  queue->Scheduled = true;
  ++queue->Events;
  return true;
}

void Drain(TQueuePtr queue) {
  {
    std::lock_guard lock(queue->Mutex);
    queue->Scheduled = false;
  }
  for (;;) {
    std::function<void()> next;
    {
      std::lock_guard lock(queue->Mutex);
      if (queue->Closed || queue->Items.empty()) return;
      // Taken off before it runs: a nested drain never sees it again.
      next = std::move(queue->Items.front());
      queue->Items.pop_front();
      // A delivery may open a modal box whose event loop must go on delivering what is left (and
      // what arrives meanwhile) in order, so while anything is queued a drain stays scheduled.
      if (!queue->Items.empty() && !queue->Scheduled) ScheduleLocked(queue);
    }
    next();
  }
}

}  // namespace

TQtNotifyTarget::TQtNotifyTarget() : queue_(std::make_shared<TQueue>()) {
  queue_->Receiver = &receiver_;
}

TQtNotifyTarget::~TQtNotifyTarget() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard lock(queue_->Mutex);
  queue_->Closed = true;
  queue_->Receiver = nullptr;
  dropped.swap(queue_->Items);
}

bool TQtNotifyTarget::Post(std::function<void()> deliver) {
  std::lock_guard lock(queue_->Mutex);
  if (queue_->Closed) return false;
  queue_->Items.push_back(std::move(deliver));
  if (queue_->Scheduled || ScheduleLocked(queue_)) return true;
  queue_->Items.pop_back();
  return false;
}

int TQtNotifyTarget::EventsPosted() const {
  std::lock_guard lock(queue_->Mutex);
  return queue_->Events;
}

}  // namespace torvane
