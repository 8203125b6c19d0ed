// SPDX-License-Identifier: MIT
// The serial ports a Linux system lists, from a folder standing for "/" with /dev and /sys as
// udev and the kernel fill them: links to pseudo-terminals stand for the devices.
#include "core/serial_ports.hpp"
#include "options/send_options.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace tova;
namespace fs = std::filesystem;

namespace {

struct FakeRoot {
    QTemporaryDir dir;
    fs::path root{dir.path().toStdString()};
    int pty = posix_openpt(O_RDWR | O_NOCTTY);
    ~FakeRoot() { ::close(pty); }
    // A tty the kernel knows: its node (a link to the pseudo-terminal), and in sysfs its driver and bus.
    void tty(const std::string& name, const std::string& driver, const std::string& bus) {
        fs::create_directories(root / "dev");
        fs::create_symlink(ptsname(pty), root / "dev" / name);
        const fs::path device = root / "sys/devices" / name / "device";
        fs::create_directories(device);
        fs::create_directories(root / "sys/class/tty");
        fs::create_directory_symlink(device.parent_path(), root / "sys/class/tty" / name);
        if (!driver.empty()) fs::create_directory_symlink("../../../bus/x/drivers/" + driver, device / "driver");
        fs::create_directory_symlink("../../../bus/" + bus, device / "subsystem");
    }
    void byId(const std::string& name, const std::string& node) {
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_symlink("../../" + node, root / "dev/serial/by-id" / name);
    }
    void console(const std::string& active) {
        fs::create_directories(root / "sys/class/tty/console");
        std::ofstream(root / "sys/class/tty/console/active") << active << "\n";
    }
};

} // namespace

TEST(SerialPorts, StableNamesFirstThenHardwareNodesNeverTheConsole) {
    FakeRoot f;
    ASSERT_GE(f.pty, 0);
    f.tty("ttyUSB0", "ftdi_sio", "usb-serial");
    f.tty("ttyUSB1", "pl2303", "usb-serial");
    f.tty("ttyACM0", "cdc_acm", "usb");
    f.tty("ttyS0", "serial8250", "platform"); // one of the 32 placeholders
    f.tty("ttyS4", "serial", "pnp");          // a real port on the board
    f.tty("ttyS5", "serial", "pci");          // a real port, and the console
    f.tty("ttyUSB2", "", "usb-serial");       // no driver bound
    f.tty("tty1", "", "virtual");
    f.byId("usb-FTDI_FT232R_USB_UART_A1234567-if00-port0", "ttyUSB0");
    f.byId("usb-gone_adapter-if00-port0", "ttyUSB9"); // a stale link
    f.console("tty1 ttyS5");
    const std::string dev = (f.root / "dev").string();
    EXPECT_EQ(serialPortsUnder(f.root.string()),
              (std::vector<SerialPortInfo>{
                  {dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234567-if00-port0", "FTDI FT232R USB UART A1234567, ttyUSB0"},
                  {dev + "/ttyUSB1", "pl2303"},
                  {dev + "/ttyACM0", "cdc_acm"},
                  {dev + "/ttyS4", "serial"},
              }));
    // Through the variable the panel and tova-send read; and as tova-send prints them.
    setenv("TOVA_PORTS_ROOT", f.root.c_str(), 1);
    const auto ports = serialPorts();
    unsetenv("TOVA_PORTS_ROOT");
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(portListing({ports[1], ports[3]}, false), dev + "/ttyUSB1\tpl2303\n" + dev + "/ttyS4\tserial\n");
    EXPECT_EQ(portListing({{"COM5", "USB Serial Port"}}, true), "{\"device\":\"COM5\",\"description\":\"USB Serial Port\"}\n");
    EXPECT_EQ(portLabel({"COM5", "USB Serial Port"}), "COM5 (USB Serial Port)");
}

TEST(SerialPorts, AnEmptyOrMissingRootListsNothing) {
    QTemporaryDir dir;
    EXPECT_TRUE(serialPortsUnder(dir.path().toStdString()).empty());
    EXPECT_TRUE(serialPortsUnder(dir.path().toStdString() + "/absent").empty());
}
