// The udev rule must grant the desktop user every camera the watcher knows, and no more.
#include "device/CameraDeviceWatcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>

TEST (CameraUdevRule, TagsExactlyTheCamerasOfTheTableForTheSeatUser)
{
    std::ifstream rules (VORNIQ_CAMERA_RULES_FILE);
    ASSERT_TRUE (rules.good()) << VORNIQ_CAMERA_RULES_FILE;

    char vendorText[8] = {};
    std::snprintf (vendorText, sizeof (vendorText), "%04x", unsigned (cameraVendorId));

    const std::regex rule (R"re(^SUBSYSTEM=="usb", ENV\{DEVTYPE\}=="usb_device", ATTR\{idVendor\}=="([0-9a-f]{4})", )re"
                           R"re(ATTR\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re");

    std::set<std::string> products;
    std::string line;

    while (std::getline (rules, line))
    {
        if (line.empty() || line[0] == '#')
            continue;

        std::smatch match;
        ASSERT_TRUE (std::regex_match (line, match, rule)) << line;
        EXPECT_EQ (match[1].str(), vendorText);
        EXPECT_TRUE (products.insert (match[2].str()).second) << "twice: " << line;
    }

    std::set<std::string> expected;

    for (auto id : cameraProductIds)
    {
        char text[8] = {};
        std::snprintf (text, sizeof (text), "%04x", unsigned (id));
        expected.insert (text);
    }

    EXPECT_EQ (products, expected);
}
