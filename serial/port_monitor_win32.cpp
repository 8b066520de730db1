// SPDX-License-Identifier: GPL-3.0-or-later
// Hot-plug on Windows: the serial drivers add and remove their values in the registry's port list as
// adapters come and go, and RegNotifyChangeKeyValue tells of each change. The key's parent is
// watched, with its subtree, because the list's own key is missing until the first port appears.
// The registry says only that something changed: the source reads the list anew and tells what
// came and went.
#include <windows.h>

#include <algorithm>
#include <future>
#include <thread>

#include "serial/port_monitor.h"
#include "serial/system_win32.h"

namespace torvane {

namespace {

class TRegistryPortEvents : public IPortEventSource {
 public:
  TRegistryPortEvents(std::string root, HKEY watched, HANDLE changed, HANDLE stop)
      : root_(std::move(root)), watched_(watched), changed_(changed), stop_(stop) {}
  ~TRegistryPortEvents() override {
    if (thread_.joinable()) {
      (void)::SetEvent(stop_);
      thread_.join();
    }
    ::CloseHandle(stop_);
    ::CloseHandle(changed_);
    ::RegCloseKey(watched_);
  }
  TRegistryPortEvents(const TRegistryPortEvents&) = delete;
  TRegistryPortEvents& operator=(const TRegistryPortEvents&) = delete;

  // The thread arms the first notification before Start returns, so that a change right after is
  // not lost; `why` gets the system's text when it cannot. (A notification is tied to the thread
  // that arms it, so only the source's own thread ever does.)
  bool Start(std::string* why) {
    std::promise<LONG> armed;
    std::future<LONG> result = armed.get_future();
    thread_ = std::thread([this, &armed] {
      const LONG r = Arm();
      if (r == ERROR_SUCCESS) last_ = Trecognitionserial(root_).FillPortList();
      armed.set_value(r);
      if (r == ERROR_SUCCESS) Run();
    });
    const LONG r = result.get();
    if (r == ERROR_SUCCESS) return true;
    thread_.join();
    if (why) *why = "RegNotifyChangeKeyValue: " + WindowsErrorText(static_cast<DWORD>(r));
    return false;
  }

  void Watch(ICommNotifyTarget& target, std::function<void()> ready) override {
    queue_.Watch(target, std::move(ready));
  }
  void StopWatching() override { queue_.StopWatching(); }
  std::vector<TPortEvent> ReadEvents() override { return queue_.Take(); }

 private:
  LONG Arm() {
    return ::RegNotifyChangeKeyValue(watched_, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                     changed_, TRUE);
  }

  void Run() {
    for (;;) {
      const HANDLE waits[2] = {stop_, changed_};
      const DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      // A failing wait or notification leaves the list as it is: a reread after a hang-up still
      // finds the truth.
      if (r != WAIT_OBJECT_0 + 1) return;
      // Armed again before the list is read: a change made while it is read is heard next time.
      if (Arm() != ERROR_SUCCESS) return;
      std::vector<std::string> now = Trecognitionserial(root_).FillPortList();
      std::vector<TPortEvent> events;
      for (const std::string& name : last_)
        if (std::find(now.begin(), now.end(), name) == now.end())
          events.push_back({TPortEvent::TAction::Removed, name});
      for (const std::string& name : now)
        if (std::find(last_.begin(), last_.end(), name) == last_.end())
          events.push_back({TPortEvent::TAction::Added, name});
      last_ = std::move(now);
      queue_.Add(std::move(events));
    }
  }

  std::string root_;
  HKEY watched_;
  HANDLE changed_;                 // auto reset, set by the registry
  HANDLE stop_;                    // manual reset: the source is going away
  std::vector<std::string> last_;  // the list as last read, on the thread
  TPortEventQueue queue_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<IPortEventSource> OpenPortEvents(std::string* why, const std::string& root) {
  auto fail = [why](const std::string& text) -> std::unique_ptr<IPortEventSource> {
    if (why) *why = text;
    return nullptr;
  };
  const win32::TPortKey list = win32::PortListKey(root);
  const size_t slash = list.Path.rfind(L'\\');
  const std::wstring parent = slash == std::wstring::npos ? std::wstring() : list.Path.substr(0, slash);
  HKEY watched = nullptr;
  const LONG r = ::RegOpenKeyExW(list.Hive, parent.c_str(), 0, KEY_NOTIFY, &watched);
  if (r != ERROR_SUCCESS)
    return fail("the registry key " + Utf8FromWide(parent) + ": " + WindowsErrorText(static_cast<DWORD>(r)));
  const HANDLE changed = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const HANDLE stop = changed ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
  if (!stop) {
    const DWORD e = ::GetLastError();
    if (changed) ::CloseHandle(changed);
    ::RegCloseKey(watched);
    return fail("CreateEvent: " + WindowsErrorText(e));
  }
  auto events = std::make_unique<TRegistryPortEvents>(root, watched, changed, stop);
  if (!events->Start(why)) return nullptr;
  return events;
}

}  // namespace torvane
