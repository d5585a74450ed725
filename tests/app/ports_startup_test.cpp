// The ports at start-up: remembered devices are found by name when the
// devices are listed in another order, and when a remembered device cannot be
// opened the MIDI Ports & Devices dialog opens by itself.
#include "piece/settings_store.h"
#include "shell_fixture.h"

namespace tuttiro::test {
namespace {

class PortsStartupTest : public ShellTest {
 protected:
  // What the last run kept: output port A on `name`, which was device `index`.
  void SaveOutputA(int index, const std::string& name) {
    SystemSettings kept;
    kept.outputDevice[0] = static_cast<uint16_t>(index);
    kept.outputDeviceName[0] = name;
    ASSERT_TRUE(SaveSystemSettings(settings.Str(), kept));
  }
};

TEST_F(PortsStartupTest, ARememberedDeviceIsFoundByNameAfterTheOrderChanged) {
  platform.AddOutputDevice("Pads");
  const int module = platform.AddOutputDevice("Module");
  SaveOutputA(1, "Module");  // it was device 1 in the last run
  ASSERT_TRUE(Start());
  EXPECT_EQ(app->system.outputDevice[0], module);
  EXPECT_TRUE(platform.OutIsOpen(module));
  EXPECT_EQ(host.portsDialogs, 0);
  EXPECT_EQ(host.labels[kCmdChangeAllTracksToPort], "&A--Module");
}

TEST_F(PortsStartupTest, ARememberedDeviceThatCannotBeOpenedOpensThePortsDialog) {
  const int module = platform.AddOutputDevice("Module");
  platform.SetRefuseOpen(false, module, true);
  SaveOutputA(module, "Module");
  ASSERT_TRUE(Start());
  EXPECT_EQ(host.portsDialogs, 1);
  ASSERT_FALSE(host.texts.empty());
  EXPECT_NE(host.texts.back().find("'Module' is apparently already in use"), std::string::npos);
}

// With settings kept from the last run, start-up opens the devices they name
// and no others: a busy default device is never reported, nor the dialog
// shown, for ports that were never meant to use it.
TEST_F(PortsStartupTest, StartUpOpensOnlyTheRememberedDevices) {
  const int fallback = MidiDefaultOutputDevice(platform);
  platform.SetRefuseOpen(false, fallback, true);
  const int module = platform.AddOutputDevice("Module");
  SystemSettings kept;
  kept.outputDevice.fill(static_cast<uint16_t>(module));
  kept.outputDeviceName.fill("Module");
  ASSERT_TRUE(SaveSystemSettings(settings.Str(), kept));
  ASSERT_TRUE(Start());
  EXPECT_EQ(host.portsDialogs, 0);
  EXPECT_EQ(host.texts, std::vector<std::string>{});
  EXPECT_TRUE(platform.OutIsOpen(module));
  EXPECT_EQ(platform.OutOpenCount(fallback), 0);
}

}  // namespace
}  // namespace tuttiro::test
