// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings transfer: three 256-byte pages at 0x000, 0x100, 0x200, read into and written from the
// settings grid and its six lists one page per reply.
#include <span>
#include <string>

#include "core/codepage.h"
#include "core/grid.h"
#include "protocol/exchange.h"
#include "protocol/frame_trace.h"
#include "protocol/paged_transfer.h"
#include "settings/settings_codec.h"
#include "settings/settings_lists.h"

namespace torvane {

class TBasicInf : public Tsend_rec_command {
 public:
  TBasicInf(TExchange& exchange, TContext& context, TGrid& grid, TSettingsLists& lists,
            const TCodePage& codePage = TCodePage::System());
  // "Read Settings": asks first; a yes reads the three pages.
  void StartRead();
  // "Save Settings": the safe save (see Tsend_rec_command). A password that is not four digits stops
  // it before anything is sent.
  void StartSave();
  // What "Save Settings" checks before anything is sent: a password the login can match. False, with
  // the operator told why, when it would not save.
  bool CheckBeforeSave();

 protected:
  void DecodePage(int page, std::span<const uint8_t, kPageBytes> bytes) override;
  bool EncodePage(int page, std::span<uint8_t, kPageBytes> out, const TDevicePages* basis) override;
  std::string NotKeptText(const std::vector<uint8_t>& sent, const std::vector<uint8_t>& held) override;
  void BeforeWritePage() override;
  void LoadPages(const std::vector<uint8_t>& pages) override;

 private:
  void ReportFault(const TEncodeFault& fault);
  TGrid& grid_;
  TSettingsLists& lists_;
  const TCodePage& codePage_;
};

// True when the password cell holds exactly four decimal digits: anything else could never be typed
// at the login again once the device holds it.
bool PasswordSavable(const std::string& cell);

// Where the secrets lie in the settings pages (the device password, the GPRS and the MQTT password),
// for a trace that hides them.
std::vector<TSecretRange> SettingsSecrets();

// Headings, labels, descriptions and defaults of the settings grid, and the lists' defaults.
void SetUpSettingsGrid(TGrid& grid, TSettingsLists& lists);

}  // namespace torvane
