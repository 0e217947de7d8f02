#include "core/link/PortSelection.h"

#include <gtest/gtest.h>

#include "support/Environment.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class PortSelectionTest : public ::testing::Test {
 protected:
  PortSelectionTest()
      : files(root.Path()), port(clock), selection(files, prompter, port, finder, dialogs) {
    selection.onSelectionChanged = [this](PortOption o) { shownOption = o; };
  }
  std::string LastText() const { return prompter.shown.empty() ? "" : prompter.shown.back().text; }

  TempRoot root;
  Files files;
  VirtualClock clock;
  ScriptedPort port;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  FixedFinder finder;
  PortSelection selection;
  PortOption shownOption = PortOption::None;
};

TEST_F(PortSelectionTest, NoChoiceAndNoStoredPortMeansNoOperation) {
  EXPECT_FALSE(selection.EnsurePortChosen());
  EXPECT_EQ(LastText(),
            "No Communication port is available.Please select an available communication port.");
  EXPECT_TRUE(port.opened.empty());
}

TEST_F(PortSelectionTest, StoredPortTwoSelectsAndTestsComTwo) {
  WriteBytes(root.Path() / "DEF.INS", " 2\r\n");
  EXPECT_TRUE(selection.EnsurePortChosen());
  EXPECT_EQ(port.opened, std::vector<int>{2});
  EXPECT_FALSE(port.IsOpen());  // opened and closed again
  EXPECT_EQ(selection.Selected(), PortOption::Com2);
  EXPECT_EQ(shownOption, PortOption::Com2);
  EXPECT_TRUE(selection.PortSelected());
  // Once chosen, later operations go ahead without testing again.
  EXPECT_TRUE(selection.EnsurePortChosen());
  EXPECT_EQ(port.opened.size(), 1u);
}

TEST_F(PortSelectionTest, PortInUseOrMissingIsExplainedAndNothingStaysSelected) {
  port.openResults = {{PortError::InUse, "busy", {}}};
  selection.ChooseComPort(1);
  EXPECT_EQ(LastText(),
            "An error occured while accessing the communications port,\r\nCOM 1 is in use.\r\n\r\n"
            "Select an available communications port.");
  EXPECT_EQ(prompter.shown.back().title, "Communications Port Error");
  EXPECT_EQ(selection.Selected(), PortOption::None);
  EXPECT_EQ(shownOption, PortOption::None);
  EXPECT_FALSE(selection.PortSelected());
  EXPECT_FALSE(fs::exists(root.Path() / "DEF.INS"));

  port.openResults = {{PortError::DoesNotExist, "gone", {}}};
  selection.ChooseComPort(2);
  EXPECT_EQ(LastText(), "Selected port does not exist with the system.\r\n");
  EXPECT_EQ(prompter.shown.back().title, "Port Does Not Exist");
  // Where the computer's device is known, it is named.
  port.openResults = {{PortError::DoesNotExist, "gone", "/dev/ttyUSB0"}};
  selection.ChooseComPort(3);
  EXPECT_EQ(LastText(),
            "Selected port does not exist with the system.\r\n\r\nCOM3 is /dev/ttyUSB0 on this "
            "computer.\r\n");

  port.openResults = {{PortError::Other, "Input/output error", {}}};
  selection.ChooseComPort(2);
  EXPECT_EQ(LastText(),
            "An error occurred while accessing the communications port.\r\nThe error is  "
            "Input/output error");
  EXPECT_EQ(selection.Selected(), PortOption::None);
}

TEST_F(PortSelectionTest, UsbLooksForTheCableThenTheDeviceMapThenAsks) {
  finder.otherUsbSerial = 9;
  finder.cable = 6;
  selection.ChooseUsbCable();
  EXPECT_EQ(port.opened.back(), 6);
  EXPECT_EQ(selection.Selected(), PortOption::Usb);
  EXPECT_EQ(ReadBytes(root.Path() / "DEF.INS"), " 6\r\n");

  finder.cable.reset();
  selection.ChooseUsbCable();
  EXPECT_EQ(port.opened.back(), 9);

  finder.otherUsbSerial.reset();
  dialogs.chosenPort = 12;
  selection.ChooseUsbCable();
  EXPECT_EQ(dialogs.portLists, 1);
  EXPECT_EQ(port.opened.back(), 12);
  EXPECT_EQ(ReadBytes(root.Path() / "DEF.INS"), " 12\r\n");

  // Cancelling the list leaves no option selected and opens nothing.
  dialogs.chosenPort.reset();
  const std::size_t opens = port.opened.size();
  selection.ChooseUsbCable();
  EXPECT_EQ(selection.Selected(), PortOption::None);
  EXPECT_FALSE(selection.PortSelected());
  EXPECT_EQ(port.opened.size(), opens);
}

TEST_F(PortSelectionTest, PortListTextAndStoredPortFile) {
  EXPECT_EQ(PortFromListText("COM12"), 12);
  EXPECT_EQ(PortFromListText("COM7"), 7);
  EXPECT_EQ(PortFromListText(" COM3 "), 3);
  EXPECT_EQ(PortFromListText("Select Port"), std::nullopt);
  WriteBytes(root.Path() / "DEF.INS", "");
  EXPECT_EQ(selection.ReadRememberedPort(), 0);
  // DEF.INS that cannot be written: one message, and the port stays chosen.
  fs::remove(root.Path() / "DEF.INS");
  fs::create_directories(root.Path() / "DEF.INS" / "x");
  selection.ChooseComPort(1);
  EXPECT_EQ(LastText(), "An error occurred while saving serial port settings.Serial Port Error.");
  EXPECT_TRUE(selection.PortSelected());
  EXPECT_EQ(selection.Selected(), PortOption::Com1);
}

TEST(PortMap, PortsMapToDevicesAndBack) {
  std::optional<testing::ScopedEnvironment> com3;
  com3.emplace("PELVARO_COM3", std::nullopt);
  const std::vector<std::pair<std::string, std::optional<int>>> devices = {
#ifdef _WIN32
      {"COM1", 1},
      {"COM4", 4},
      {"COM5", 5},
      {"COM19", 19},
      {"COM20", 20},
      {"COM21", std::nullopt},
      {"LPT1", std::nullopt},
      {"COM1/", std::nullopt},
      {"COM3", 3},
#else
      {"/dev/ttyS0", 1},
      {"/dev/ttyS3", 4},
      {"/dev/ttyUSB0", 5},
      {"/dev/ttyUSB9", 14},
      {"/dev/ttyUSB15", 20},
      {"/dev/ttyUSB16", std::nullopt},
      {"/dev/ttyACM0", std::nullopt},
      {"/dev/ttyUSB1/", std::nullopt},
      {"/dev/ttyS2", 3},
#endif
  };
  for (const auto& [device, port] : devices) {
    EXPECT_EQ(PortForDevicePath(device), port) << device;
    if (port) {
      EXPECT_EQ(DevicePathForPort(*port), device);
    }
  }
  // Pointed elsewhere, both ways; its own device no longer is COM3.
  com3.emplace("PELVARO_COM3", fs::path("/tmp/logger-pty"));
  EXPECT_EQ(DevicePathForPort(3), "/tmp/logger-pty");
  EXPECT_EQ(PortForDevicePath("/tmp/logger-pty"), 3);
  EXPECT_EQ(PortForDevicePath(devices.back().first), std::nullopt);  // its own device
  com3.reset();
  // Past each range's end, and numbers too long for any port.
#ifndef _WIN32
  const std::pair<std::string, std::optional<int>> paths[] = {
      {"/dev/ttyS4", {}}, {"/dev/ttyS", {}}, {"/dev/ttyS1x", {}}, {"/dev/ttyUSB99999999999", {}}};
  for (const auto& [path, port] : paths) EXPECT_EQ(PortForDevicePath(path), port) << path;
  // A port moved elsewhere is no longer its device path's port.
  const ScopedEnvironment ttyS("PELVARO_COM1", "/dev/ttyUSB7");
  const ScopedEnvironment ttyUSB("PELVARO_COM5", "/dev/ttyS3");
  std::string moved;
  for (const char* path : {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB7", "/dev/ttyS3"}) {
    moved += std::to_string(PortForDevicePath(path).value_or(0)) + " ";
  }
  EXPECT_EQ(moved, "0 0 1 5 ");
#endif
  // Registry names give their whole number.
  const std::pair<std::string, std::optional<int>> names[] = {
      {"COM20", 20}, {"COM0", {}},
      {"COM1", 1},   {"COM", {}},
      {" COM7 ", 7}, {"COM99999999999", {}},
      {"COM12", 12}, {"LPT1", {}},
      {"COM21", {}}, {std::string("COM5\0   ", 8), 5}};
  for (const auto& [name, port] : names) EXPECT_EQ(PortNumberFromName(name), port) << name;
}

TEST(PortMap, DeviceFinderPrefersTheFtdiCable) {
  // Another device of the cable's maker is any other USB serial device.
  std::vector<SerialDevice> devices = {{DevicePathForPort(5), 0x0403, 0x6015, true},
                                       {DevicePathForPort(8), 0x0403, 0x6001, true},
                                       {DevicePathForPort(6), 0x1a86, 0x7523, true},
                                       {DevicePathForPort(1), 0, 0, false}};
  DevicePortFinder finder([&] { return devices; });
  EXPECT_EQ(finder.UsbCablePort(), 8);
  EXPECT_EQ(finder.OtherUsbSerialPort(), 5);
  devices = {devices[3]};
  EXPECT_EQ(finder.UsbCablePort(), std::nullopt);
  EXPECT_EQ(finder.OtherUsbSerialPort(), std::nullopt);
}

}  // namespace
}  // namespace pelvaro::testing
